<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ProgressText</name>
    <message>
        <source>%1 records</source>
        <translation>%1 записей</translation>
    </message>
    <message>
        <source>%1 of %2 records, %3%</source>
        <translation>%1 из %2 записей, %3%</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>, осталось %1</translation>
    </message>
</context>
<context>
    <name>TDM</name>
    <message>
        <source>Folder of the data files</source>
        <translation>Папка файлов данных</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>Сохранить как</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Открыть</translation>
    </message>
</context>
<context>
    <name>TMainFrm</name>
    <message>
        <source>Quorvath: export of Btrieve files to SQL scripts</source>
        <translation>Quorvath: экспорт файлов Btrieve в сценарии SQL</translation>
    </message>
    <message>
        <source>&amp;Load settings...</source>
        <translation>&amp;Загрузить настройки...</translation>
    </message>
    <message>
        <source>Load the settings from a file</source>
        <translation>Загрузить настройки из файла</translation>
    </message>
    <message>
        <source>&amp;Save settings...</source>
        <translation>&amp;Сохранить настройки...</translation>
    </message>
    <message>
        <source>Save the settings to a file</source>
        <translation>Сохранить настройки в файл</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>Close the window</source>
        <translation>Закрыть окно</translation>
    </message>
    <message>
        <source>&amp;Start export</source>
        <translation>&amp;Начать экспорт</translation>
    </message>
    <message>
        <source>Write the SQL script (F9)</source>
        <translation>Записать сценарий SQL (F9)</translation>
    </message>
    <message>
        <source>S&amp;top export</source>
        <translation>&amp;Остановить экспорт</translation>
    </message>
    <message>
        <source>Stop the running export (Esc)</source>
        <translation>Остановить идущий экспорт (Esc)</translation>
    </message>
    <message>
        <source>&amp;List tables</source>
        <translation>&amp;Список таблиц</translation>
    </message>
    <message>
        <source>List the tables of the dictionary and their data files (Ctrl+T)</source>
        <translation>Показать таблицы словаря и их файлы данных (Ctrl+T)</translation>
    </message>
    <message>
        <source>&amp;About Quorvath</source>
        <translation>&amp;О программе Quorvath</translation>
    </message>
    <message>
        <source>The program and its engine</source>
        <translation>Программа и её ядро</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>&amp;Экспорт</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Справка</translation>
    </message>
    <message>
        <source>Choose in a dialog</source>
        <translation>Выбрать в диалоге</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Источник</translation>
    </message>
    <message>
        <source>One data file</source>
        <translation>Один файл данных</translation>
    </message>
    <message>
        <source>Whole database (the dictionary&apos;s tables)</source>
        <translation>Вся база данных (таблицы словаря)</translation>
    </message>
    <message>
        <source>Data file</source>
        <translation>Файл БД</translation>
    </message>
    <message>
        <source>the dictionary&apos;s folder</source>
        <translation>папка словаря</translation>
    </message>
    <message>
        <source>Folder of the data files</source>
        <translation>Папка файлов данных</translation>
    </message>
    <message>
        <source>List tables</source>
        <translation>Список таблиц</translation>
    </message>
    <message>
        <source>Table</source>
        <translation>Таблица</translation>
    </message>
    <message>
        <source>Found</source>
        <translation>Найден</translation>
    </message>
    <message>
        <source>Columns</source>
        <translation>Столбцы</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Примечание</translation>
    </message>
    <message>
        <source>Dictionary</source>
        <translation>Путь к словарю БД</translation>
    </message>
    <message>
        <source>A dictionary file (.def) or a DDF data dictionary (FILE.DDF or its folder); empty: the data file&apos;s own keys give the columns</source>
        <translation>Файл словаря (.def) или словарь DDF (FILE.DDF или его папка); пусто: столбцы дают ключи самого файла данных</translation>
    </message>
    <message>
        <source>the dictionary&apos;s choice</source>
        <translation>выбор словаря</translation>
    </message>
    <message>
        <source>The DDF dictionary&apos;s table to read the data file by</source>
        <translation>Таблица словаря DDF, по которой читается файл данных</translation>
    </message>
    <message>
        <source>Dictionary table</source>
        <translation>Таблица словаря</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Назначение</translation>
    </message>
    <message>
        <source>The SQL script to write; for a whole database one file for every table, or a folder ending in / for a script per table</source>
        <translation>Записываемый сценарий SQL; для всей базы один файл на все таблицы или папка с / на конце для сценария на каждую таблицу</translation>
    </message>
    <message>
        <source>SQL script</source>
        <translation>Файл с SQL</translation>
    </message>
    <message>
        <source>Table name</source>
        <translation>Имя таблицы</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>СУБД</translation>
    </message>
    <message>
        <source>the target&apos;s own</source>
        <translation>своя для СУБД</translation>
    </message>
    <message>
        <source>cp1251 for classic, utf8 for every other target unless chosen</source>
        <translation>cp1251 для classic, utf8 для остальных, если не выбрана другая</translation>
    </message>
    <message>
        <source>Script encoding</source>
        <translation>Кодировка сценария</translation>
    </message>
    <message>
        <source>Code page of the data&apos;s text: OEM 866, 437, 850, 852 or Windows 1250, 1251, 1252</source>
        <translation>Кодовая страница текста данных: OEM 866, 437, 850, 852 или Windows 1250, 1251, 1252</translation>
    </message>
    <message>
        <source>Code page of the data</source>
        <translation>Кодовая страница данных</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>COMMIT WORK after every N records</source>
        <translation>COMMIT WORK после каждых N записей</translation>
    </message>
    <message>
        <source>Records per INSERT</source>
        <translation>Записей в одном INSERT</translation>
    </message>
    <message>
        <source>Write the table definition (CREATE TABLE)</source>
        <translation>Записать описание таблицы (CREATE TABLE)</translation>
    </message>
    <message>
        <source>The CREATE TABLE statement before the data</source>
        <translation>Оператор CREATE TABLE перед данными</translation>
    </message>
    <message>
        <source>Drop an existing table first (DROP TABLE)</source>
        <translation>Сначала удалить таблицу (DROP TABLE)</translation>
    </message>
    <message>
        <source>Drop an existing table of the same name before the definition</source>
        <translation>Удалить существующую таблицу с тем же именем перед описанием</translation>
    </message>
    <message>
        <source>Primary key and indexes after the data</source>
        <translation>Первичный ключ и индексы после данных</translation>
    </message>
    <message>
        <source>The key statements of a target&apos;s script</source>
        <translation>Операторы ключей в сценарии СУБД</translation>
    </message>
    <message>
        <source>COPY blocks instead of INSERTs</source>
        <translation>Блоки COPY вместо INSERT</translation>
    </message>
    <message>
        <source>COPY ... FROM STDIN blocks instead of INSERTs (postgresql)</source>
        <translation>Блоки COPY ... FROM STDIN вместо INSERT (postgresql)</translation>
    </message>
    <message>
        <source>Btrieve engine: %1</source>
        <translation>Ядро Btrieve: %1</translation>
    </message>
    <message>
        <source>no</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>да</translation>
    </message>
    <message>
        <source>No dictionary given: the tables are the dictionary&apos;s</source>
        <translation>Не указан словарь: таблицы берутся из словаря</translation>
    </message>
    <message>
        <source>Quorvath %1<byte value="xd"/>
Exports Btrieve data files, one file or every table of a dictionary, as SQL scripts for classic, firebird, postgresql, mysql and sqlite.<byte value="xd"/>
Btrieve engine: %2</source>
        <translation>Quorvath %1<byte value="xd"/>
Экспорт файлов данных Btrieve, одного файла или всех таблиц словаря, в сценарии SQL для classic, firebird, postgresql, mysql и sqlite.<byte value="xd"/>
Ядро Btrieve: %2</translation>
    </message>
    <message>
        <source>About Quorvath</source>
        <translation>О программе Quorvath</translation>
    </message>
    <message>
        <source>locked by another process; waiting, Stop export to stop</source>
        <translation>заблокирован другим процессом; ожидание, «Остановить экспорт» прервёт его</translation>
    </message>
    <message>
        <source>No SQL script given: a file for every table, or a folder ending in / for a script per table</source>
        <translation>Не указан файл с SQL: один файл на все таблицы или папка с / на конце для сценария на каждую таблицу</translation>
    </message>
    <message>
        <source>No table chosen in the list</source>
        <translation>В списке не выбрано ни одной таблицы</translation>
    </message>
    <message>
        <source>Export finished</source>
        <translation>Экспорт завершён</translation>
    </message>
    <message>
        <source>Dictionary</source>
        <comment>group</comment>
        <translation>Словарь</translation>
    </message>
    <message>
        <source>Stop at a value the target cannot store</source>
        <translation>Остановиться на значении, которое СУБД не может хранить</translation>
    </message>
    <message>
        <source>Stop at a value the target cannot store (NaN, infinity) or stored bytes without a number, instead of writing NULL with a warning</source>
        <translation>Остановиться на значении, которое СУБД не может хранить (NaN, бесконечность), или на байтах без числа, вместо записи NULL с предупреждением</translation>
    </message>
    <message>
        <source>A file of new names for tables and columns: TABLE=NEW and TABLE.COLUMN=NEW lines (targets other than classic)</source>
        <translation>Файл новых имён таблиц и столбцов: строки ТАБЛИЦА=НОВОЕ и ТАБЛИЦА.СТОЛБЕЦ=НОВОЕ (все СУБД, кроме classic)</translation>
    </message>
    <message>
        <source>New names</source>
        <translation>Новые имена</translation>
    </message>
</context>
</TS>
