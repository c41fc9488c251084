#include "btrieve/btr_error.h"

#include <cstdio>
#include <utility>

#include "platform/codepage.h"
#include "recman/btrieve_codes.h"

namespace {

struct TCodeText {
    int32_t code;
    const char* text;
};

// The texts are CP1251 bytes; each line shows its text as UTF-8 beside it.
const TCodeText kOperationTexts[] = {
    {recman::kOpOpen, "\xCE\xF2\xEA\xF0\xFB\xF2\xE8\xE5 \xF4\xE0\xE9\xEB\xE0"},  // Открытие файла
    {recman::kOpClose, "\xC7\xE0\xEA\xF0\xFB\xF2\xE8\xE5 \xF4\xE0\xE9\xEB\xE0"},  // Закрытие файла
    {recman::kOpInsert,
     "\xC4\xEE\xE1\xE0\xE2\xEB\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8"},  // Добавление
                                                                            // записи
    {recman::kOpUpdate,
     "\xC8\xE7\xEC\xE5\xED\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8"},  // Изменение записи
    {recman::kOpDelete,
     "\xD3\xE4\xE0\xEB\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8"},  // Удаление записи
    {recman::kOpGetEqual,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xF0\xE0\xE2\xED\xEE\xE9 "
     "\xEA\xEB\xFE\xF7\xF3"},  // Чтение записи равной ключу
    {recman::kOpGetNext,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xF1\xEB\xE5\xE4\xF3\xFE\xF9\xE5\xE9 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение следующей записи
    {recman::kOpGetPrevious,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE5\xE9 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение предыдущей записи
    {recman::kOpGetGreater,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xE1\xEE\xEB\xFC\xF8\xE5\xE9 "
     "\xEA\xEB\xFE\xF7\xE0"},  // Чтение записи большей ключа
    {recman::kOpGetGreaterOrEqual,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xE1\xEE\xEB\xFC\xF8\xE5\xE9 "
     "\xE8\xEB\xE8 \xF0\xE0\xE2\xED\xEE\xE9 \xEA\xEB\xFE\xF7\xF3"},  // Чтение записи
                                                                     // большей или равной
                                                                     // ключу
    {recman::kOpGetLess,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xEC\xE5\xED\xFC\xF8\xE5\xE9 "
     "\xEA\xEB\xFE\xF7\xE0"},  // Чтение записи меньшей ключа
    {recman::kOpGetLessOrEqual,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xEC\xE5\xED\xFC\xF8\xE5\xE9 "
     "\xE8\xEB\xE8 \xF0\xE0\xE2\xED\xEE\xE9 \xEA\xEB\xFE\xF7\xF3"},  // Чтение записи
                                                                     // меньшей или равной
                                                                     // ключу
    {recman::kOpGetFirst,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xE5\xF0\xE2\xEE\xE9 \xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение
                                                                                     // первой
                                                                                     // записи
    {recman::kOpGetLast,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE9 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение последней записи
    {recman::kOpCreate, "\xD1\xEE\xE7\xE4\xE0\xED\xE8\xE5 \xF4\xE0\xE9\xEB\xE0"},  // Создание файла
    {recman::kOpStat,
     "\xCF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xE5 \xE8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xE8 \xEE "
     "\xF4\xE0\xE9\xEB\xE5"},  // Получение информации о файле
    {recman::kOpBeginTransaction,
     "\xCD\xE0\xF7\xE0\xEB\xEE \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Начало
                                                                            // транзакции
    {recman::kOpEndTransaction,
     "\xC7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xE8\xE5 "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Завершение транзакции
    {recman::kOpAbortTransaction,
     "\xCF\xF0\xE5\xF0\xFB\xE2\xE0\xED\xE8\xE5 "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Прерывание транзакции
    {recman::kOpGetPosition,
     "\xCF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xE5 \xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 "
     "\xEF\xEE\xE7\xE8\xF6\xE8\xE8"},  // Получение физической позиции
    {recman::kOpGetDirect,
     "\xCF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8"},  // Получение
                                                                                // записи по
                                                                                // физической
                                                                                // позиции
    {recman::kOpStepNext,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xF1\xEB\xE5\xE4\xF3\xFE\xF9\xE5\xE9 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение следующей по физической позиции записи
    {recman::kOpStop, "\xC2\xFB\xE3\xF0\xF3\xE7\xEA\xE0 \xD1\xD3\xC1\xC4"},  // Выгрузка СУБД
    {recman::kOpVersion,
     "\xCF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xE5 \xE8\xED\xF4\xEE\xF0\xEC\xE0\xF6\xE8\xE8 \xEE "
     "\xE2\xE5\xF0\xF1\xE8\xE8"},  // Получение информации о версии
    {recman::kOpUnlock,
     "\xD1\xED\xFF\xF2\xE8\xE5 \xE1\xEB\xEE\xEA\xE8\xF0\xEE\xE2\xEA\xE8"},  // Снятие
                                                                            // блокировки
    {recman::kOpReset,
     "\xC8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xFF \xD1\xD3\xC1\xC4"},  // Инициализация
                                                                                // СУБД
    {recman::kOpSetOwner,
     "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xE2\xEB\xE0\xE4\xE5\xEB\xFC\xF6\xE0 "
     "\xF4\xE0\xE9\xEB\xE0"},  // Установка владельца файла
    {recman::kOpClearOwner,
     "\xCE\xF7\xE8\xF1\xF2\xEA\xE0 \xE2\xEB\xE0\xE4\xE5\xEB\xFC\xF6\xE0 "
     "\xF4\xE0\xE9\xEB\xE0"},  // Очистка владельца файла
    {recman::kOpCreateIndex,
     "\xD1\xEE\xE7\xE4\xE0\xED\xE8\xE5 \xE8\xED\xE4\xE5\xEA\xF1\xE0"},  // Создание индекса
    {recman::kOpDropIndex,
     "\xD3\xE4\xE0\xEB\xE5\xED\xE8\xE5 \xE8\xED\xE4\xE5\xEA\xF1\xE0"},  // Удаление индекса
    {recman::kOpStepFirst,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xE5\xF0\xE2\xEE\xE9 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение первой по физической позиции записи
    {recman::kOpStepLast,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE9 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение последней по физической позиции записи
    {recman::kOpStepPrevious,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE5\xE9 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Чтение предыдущей по физической позиции записи
    {recman::kOpGetNextExtended,
     "\xD0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE5 \xF7\xF2\xE5\xED\xE8\xE5 "
     "\xF1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xF5 \xE7\xE0\xEF\xE8\xF1\xE5\xE9"},  // Расширенное
                                                                            // чтение
                                                                            // следующих
                                                                            // записей
    {recman::kOpGetPreviousExtended,
     "\xD0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE5 \xF7\xF2\xE5\xED\xE8\xE5 "
     "\xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xF5 \xE7\xE0\xEF\xE8\xF1\xE5\xE9"},  // Расширенное
                                                                                // чтение
                                                                                // предыдущих
                                                                                // записей
    {recman::kOpStepNextExtended,
     "\xD0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE5 \xF7\xF2\xE5\xED\xE8\xE5 "
     "\xF1\xEB\xE5\xE4\xF3\xFE\xF9\xE8\xF5 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE5\xE9"},  // Расширенное чтение следующих по физической позиции
                                       // записей
    {recman::kOpStepPreviousExtended,
     "\xD0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE5 \xF7\xF2\xE5\xED\xE8\xE5 "
     "\xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE8\xF5 \xEF\xEE "
     "\xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xEE\xE9 \xEF\xEE\xE7\xE8\xF6\xE8\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE5\xE9"},  // Расширенное чтение предыдущих по физической
                                       // позиции записей
    {recman::kOpInsertExtended,
     "\xD0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE5 "
     "\xE4\xEE\xE1\xE0\xE2\xEB\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE5\xE9"},  // Расширенное
                                                                                // добавление
                                                                                // записей
    {recman::kOpGetByPercentage,
     "\xD7\xF2\xE5\xED\xE8\xE5 \xE7\xE0\xEF\xE8\xF1\xE8 \xEF\xEE "
     "\xEF\xF0\xEE\xF6\xE5\xED\xF2\xED\xEE\xEC\xF3 "
     "\xF1\xEE\xEE\xF2\xED\xEE\xF8\xE5\xED\xE8\xFE"},  // Чтение записи по процентному
                                                       // соотношению
    {recman::kOpFindPercentage,
     "\xCD\xE0\xF5\xEE\xE6\xE4\xE5\xED\xE8\xE5 "
     "\xEF\xF0\xEE\xF6\xE5\xED\xF2\xED\xEE\xE3\xEE "
     "\xF1\xEE\xEE\xF2\xED\xEE\xF8\xE5\xED\xE8\xFF \xE7\xE0\xEF\xE8\xF1\xE8"},  // Нахождение
                                                                                // процентного
                                                                                // соотношения
                                                                                // записи
    {recman::kOpUpdateChunk,
     "\xC8\xE7\xEC\xE5\xED\xE5\xED\xE8\xE5 \xF7\xE0\xF1\xF2\xE8 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Изменение части записи
};

const TCodeText kStatusTexts[] = {
    {recman::kOk, "\xCD\xE5\xF2 \xEE\xF8\xE8\xE1\xEA\xE8"},  // Нет ошибки
    {recman::kInvalidOperation,
     "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xE0\xFF "
     "\xEE\xEF\xE5\xF0\xE0\xF6\xE8\xFF"},  // Неизвестная
                                           // операция
    {recman::kIoError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0"},  // Ошибка
                                                                                 // ввода-вывода
    {recman::kFileNotOpen, "\xD4\xE0\xE9\xEB \xED\xE5 \xEE\xF2\xEA\xF0\xFB\xF2"},  // Файл не открыт
    {recman::kKeyNotFound, "\xCA\xEB\xFE\xF7 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED"},  // Ключ не найден
    {recman::kDuplicateKey,
     "\xD3\xED\xE8\xEA\xE0\xEB\xFC\xED\xFB\xE9 \xEA\xEB\xFE\xF7 "
     "\xE4\xF3\xE1\xEB\xE8\xF0\xF3\xE5\xF2\xF1\xFF"},  // Уникальный ключ дублируется
    {recman::kInvalidKeyNumber,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xEA\xEB\xFE\xF7"},  // Неверный ключ
    {recman::kDifferentKeyNumber, "\xCA\xEB\xFE\xF7 \xE8\xE7\xEC\xE5\xED\xE5\xED"},  // Ключ изменен
    {recman::kInvalidPositioning,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xE0\xFF "
     "\xEF\xEE\xE7\xE8\xF6\xE8\xFF"},  // Неверная физическая позиция
    {recman::kEndOfFile, "\xCA\xEE\xED\xE5\xF6 \xF4\xE0\xE9\xEB\xE0"},  // Конец файла
    {recman::kNonModifiableKey,
     "\xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xE8\xE7\xEC\xE5\xED\xE8\xF2\xFC "
     "\xED\xE5\xE8\xE7\xEC\xE5\xED\xFF\xE5\xEC\xFB\xE9 \xEA\xEB\xFE\xF7"},  // Попытка
                                                                            // изменить
                                                                            // неизменяемый
                                                                            // ключ
    {recman::kInvalidFileName,
     "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xE8\xEC\xFF \xF4\xE0\xE9\xEB\xE0"},  // Неверное
                                                                             // имя
                                                                             // файла
    {recman::kFileNotFound,
     "\xD4\xE0\xE9\xEB \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED"},  // Файл не найден
    {recman::kExtensionFileError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE3\xEE "
     "\xF4\xE0\xE9\xEB\xE0"},  // Ошибка расширенного файла
    {recman::kPreImageOpenError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF "
     "Pre-\xF4\xE0\xE9\xEB\xE0"},  // Ошибка
                                   // открытия
                                   // Pre-файла
    {recman::kPreImageIoError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0 "
     "Pre-\xF4\xE0\xE9\xEB\xE0"},  // Ошибка ввода-вывода Pre-файла
    {recman::kExpansionError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xE8\xFF "
     "\xF4\xE0\xE9\xEB\xE0"},  // Ошибка расширения файла
    {recman::kCloseError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xEA\xF0\xFB\xF2\xE8\xFF "
     "\xF4\xE0\xE9\xEB\xE0"},                                      // Ошибка
                                                                   // закрытия
                                                                   // файла
    {recman::kDiskFull, "\xC4\xE8\xF1\xEA \xEF\xEE\xEB\xEE\xED"},  // Диск полон
    {recman::kUnrecoverableError,
     "\xCD\xE5\xE2\xEE\xF1\xF1\xF2\xE0\xED\xEE\xE2\xE8\xEC\xE0\xFF "
     "\xEE\xF8\xE8\xE1\xEA\xE0"},  // Невосстановимая ошибка
    {recman::kRecordManagerInactive,
     "Btrieve \xED\xE5 \xE7\xE0\xE3\xF0\xF3\xE6\xE5\xED"},  // Btrieve не загружен
    {recman::kKeyBufferTooShort,
     "\xC1\xF3\xF4\xE5\xF0 \xEA\xEB\xFE\xF7\xE0 \xF1\xEB\xE8\xF8\xEA\xEE\xEC "
     "\xEA\xEE\xF0\xEE\xF2\xEE\xEA"},  // Буфер ключа слишком короток
    {recman::kDataBufferTooShort,
     "\xC1\xF3\xF4\xE5\xF0 \xE4\xE0\xED\xED\xFB\xF5 \xF1\xEB\xE8\xF8\xEA\xEE\xEC "
     "\xEA\xEE\xF0\xEE\xF2\xEE\xEA"},  // Буфер данных слишком короток
    {recman::kPositionBlockLength,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF0\xE0\xE7\xEC\xE5\xF0 "
     "\xE1\xF3\xF4\xE5\xF0\xE0 "
     "\xEF\xEE\xE7\xE8\xF6\xE8\xEE\xED\xE8\xF0\xEE\xE2\xE0\xED\xE8\xFF"},  // Неверный
                                                                           // размер
                                                                           // буфера
                                                                           // позиционирования
    {recman::kPageSizeError,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF0\xE0\xE7\xEC\xE5\xF0 "
     "\xF1\xF2\xF0\xE0\xED\xE8\xF6\xFB"},  // Неверный размер страницы
    {recman::kCreateIoError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0 "
     "\xEF\xF0\xE8 "
     "\xF1\xEE\xE7\xE4\xE0\xED\xE8\xE8 \xF4\xE0\xE9\xEB\xE0"},  // Ошибка ввода-вывода
                                                                // при создании файла
    {recman::kInvalidNumberOfKeys,
     "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xF7\xE8\xF1\xEB\xEE "
     "\xEA\xEB\xFE\xF7\xE5\xE9"},  // Неверное
                                   // число
                                   // ключей
    {recman::kInvalidKeyPosition,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xEF\xEE\xE7\xE8\xF6\xE8\xFF "
     "\xEA\xEB\xFE\xF7\xE0"},  // Неверная
                               // позиция
                               // ключа
    {recman::kInvalidRecordLength,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xEB\xE8\xED\xE0 "
     "\xE7\xE0\xEF\xE8\xF1\xE8"},  // Неверная
                                   // длина
                                   // записи
    {recman::kInvalidKeyLength,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xEB\xE8\xED\xE0 \xEA\xEB\xFE\xF7\xE0"},  // Неверная
                                                                                     // длина ключа
    {recman::kNotBtrieveFile,
     "\xD4\xE0\xE9\xEB - \xED\xE5 \xF4\xE0\xE9\xEB Btrieve"},  // Файл - не файл Btrieve
    {recman::kFileAlreadyExtended,
     "\xD4\xE0\xE9\xEB \xF3\xE6\xE5 \xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED"},  // Файл уже
                                                                         // расширен
    {recman::kExtendIoError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0 "
     "\xEF\xF0\xE8 "
     "\xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xE8\xE8 \xF4\xE0\xE9\xEB\xE0"},  // Ошибка
                                                                        // ввода-вывода
                                                                        // при
                                                                        // расширении
                                                                        // файла
    {recman::kInvalidExtensionName,
     "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xE8\xEC\xFF \xF4\xE0\xE9\xEB\xE0 "
     "\xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xE8\xFF"},  // Неверное имя файла расширения
    {recman::kDirectoryError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xE8\xF0\xE5\xEA\xF2\xEE\xF0\xE8\xE8"},  // Ошибка
                                                                            // директории
    {recman::kTransactionError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Ошибка
                                                                            // транзакции
    {recman::kTransactionActive,
     "\xD2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFF \xF3\xE6\xE5 "
     "\xE0\xEA\xF2\xE8\xE2\xED\xE0"},  // Транзакция
                                       // уже
                                       // активна
    {recman::kTransactionFileIoError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0 "
     "\xF3\xEF\xF0\xE0\xE2\xEB\xFF\xFE\xF9\xE5\xE3\xEE \xF4\xE0\xE9\xEB\xE0 "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Ошибка ввода-вывода управляющего
                                                   // файла транзакции
    {recman::kNoTransaction,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xE8\xFF "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Ошибка завершения транзакции
    {recman::kTooManyTransactionFiles,
     "\xD1\xEB\xE8\xF8\xEA\xEE\xEC \xEC\xED\xEE\xE3\xEE "
     "\xEE\xE1\xED\xEE\xE2\xEB\xFF\xE5\xEC\xFB\xF5 \xF4\xE0\xE9\xEB\xEE\xE2 \xE2 "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Слишком много обновляемых файлов в
                                                   // транзакции
    {recman::kOperationNotAllowed,
     "\xCE\xEF\xE5\xF0\xE0\xF6\xE8\xFF \xE7\xE0\xEF\xF0\xE5\xF9\xE5\xED\xE0"},  // Операция
                                                                                // запрещена
    {recman::kIncompleteAcceleratedAccess,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xF3\xF1\xEA\xEE\xF0\xE5\xED\xED\xEE\xE3\xEE "
     "\xE4\xEE\xF1\xF2\xF3\xEF\xE0"},  // Ошибка ускоренного доступа
    {recman::kInvalidRecordAddress,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xF4\xE8\xE7\xE8\xF7\xE5\xF1\xEA\xE0\xFF "
     "\xEF\xEE\xE7\xE8\xF6\xE8\xFF \xE7\xE0\xEF\xE8\xF1\xE8"},  // Неверная физическая
                                                                // позиция записи
    {recman::kNullKeyPath,
     "\xCF\xF3\xF1\xF2\xEE\xE5 \xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 "
     "\xEA\xEB\xFE\xF7\xE0"},  // Пустое
                               // значение
                               // ключа
    {recman::kInconsistentKeyFlags,
     "\xCD\xE5\xF1\xEE\xE2\xEC\xE5\xF1\xF2\xE8\xEC\xFB\xE5 \xF4\xEB\xE0\xE3\xE8 "
     "\xEA\xEB\xFE\xF7\xE0"},  // Несовместимые флаги ключа
    {recman::kAccessDenied,
     "\xC4\xEE\xF1\xF2\xF3\xEF \xEA \xF4\xE0\xE9\xEB\xF3 "
     "\xE7\xE0\xEF\xF0\xE5\xF9\xE5\xED"},  // Доступ
                                           // к
                                           // файлу
                                           // запрещен
    {recman::kTooManyOpenFiles,
     "\xCC\xE0\xEA\xF1\xE8\xEC\xE0\xEB\xFC\xED\xEE\xE5 "
     "\xEA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE "
     "\xEE\xE4\xED\xEE\xE2\xF0\xE5\xEC\xE5\xED\xED\xEE "
     "\xEE\xF2\xEA\xF0\xFB\xF2\xFB\xF5 "
     "\xF4\xE0\xE9\xEB\xEE\xE2"},  // Максимальное количество одновременно открытых
                                   // файлов
    {recman::kInvalidAcs,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xF1\xEE\xF0\xF2\xE8\xF0\xF3\xFE\xF9\xE0\xFF "
     "\xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xEE\xF1\xF2\xFC"},  // Неверная
                                                                                   // сортирующая
                                                                                   // последовательность
    {recman::kKeyTypeError,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF2\xE8\xEF \xEA\xEB\xFE\xF7\xE0"},  // Неверный
                                                                             // тип
                                                                             // ключа
    {recman::kOwnerAlreadySet,
     "\xC2\xEB\xE0\xE4\xE5\xEB\xE5\xF6 \xF3\xE6\xE5 "
     "\xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED"},  // Владелец уже установлен
    {recman::kInvalidOwner,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xE2\xEB\xE0\xE4\xE5\xEB\xE5\xF6"},  // Неверный
                                                                            // владелец
    {recman::kCacheWriteError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0-\xE2\xFB\xE2\xEE\xE4\xE0 "
     "\xE1\xF3\xF4\xE5\xF0\xE0"},  // Ошибка ввода-вывода буфера
    {recman::kInvalidInterface,
     "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE2\xE5\xF0\xF1\xE8\xFF"},  // Неверная версия
    {recman::kVariablePageError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xEE\xF1\xF2\xF3\xEF\xE0 \xEA "
     "\xF1\xF2\xF0\xE0\xED\xE8\xF6\xE5 "
     "\xF7\xE0\xF1\xF2\xE8 \xE7\xE0\xEF\xE8\xF1\xE8 "
     "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9 "
     "\xE4\xEB\xE8\xED\xFB"},  // Ошибка доступа к странице части записи переменной
                               // длины
    {recman::kAutoincrementError,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 "
     "\xE0\xE2\xF2\xEE\xE8\xED\xEA\xF0\xE5\xEC\xE5\xED\xF2\xED\xFB\xE9 "
     "\xEA\xEB\xFE\xF7"},  // Неверный
                           // автоинкрементный
                           // ключ
    {recman::kIncompleteIndex,
     "\xC8\xED\xE4\xE5\xEA\xF1 \xE8\xF1\xEF\xEE\xF0\xF7\xE5\xED"},  // Индекс испорчен
    {recman::kExpandedMemoryError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE4\xEE\xF1\xF2\xF3\xEF\xE0 \xEA "
     "\xF0\xE0\xF1\xF8\xE8\xF0\xE5\xED\xED\xEE\xE9 \xEF\xE0\xEC\xFF\xF2\xE8"},  // Ошибка
                                                                                // доступа
                                                                                // к
                                                                                // расширенной
                                                                                // памяти
    {recman::kCompressionBufferTooShort,
     "\xC1\xF3\xF4\xE5\xF0 \xF1\xE6\xE0\xF2\xE8\xFF \xEC\xE0\xEB"},  // Буфер сжатия мал
    {recman::kFileExists,
     "\xD4\xE0\xE9\xEB \xF3\xE6\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2"},  // Файл
                                                                                 // уже
                                                                                 // существует
    {recman::kDeadlock, "DEADLOCK"},  // DEADLOCK
    {recman::kConflict,
     "\xC7\xE0\xEF\xE8\xF1\xFC \xE1\xFB\xEB\xE0 \xE8\xE7\xEC\xE5\xED\xE5\xED\xE0 "
     "\xE4\xF0\xF3\xE3\xEE\xE9 \xF1\xF2\xE0\xED\xF6\xE8\xE5\xE9"},  // Запись была
                                                                    // изменена другой
                                                                    // станцией
    {recman::kLockError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xE1\xEB\xEE\xEA\xE8\xF0\xEE\xE2\xEA\xE8"},  // Ошибка
                                                                            // блокировки
    {recman::kLostPosition,
     "\xCF\xEE\xE7\xE8\xF6\xE8\xEE\xED\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 "
     "\xEF\xEE\xF2\xE5\xF0\xFF\xED\xEE"},  // Позиционирование потеряно
    {recman::kReadOutsideTransaction,
     "\xC7\xE0\xEF\xE8\xF1\xFC \xE1\xFB\xEB\xE0 \xEF\xF0\xEE\xF7\xE8\xF2\xE0\xED\xE0 "
     "\xE4\xEE "
     "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8"},  // Запись была прочитана до
                                                   // транзакции
    {recman::kRecordLocked,
     "\xC7\xE0\xEF\xE8\xF1\xFC \xE1\xEB\xEE\xEA\xE8\xF0\xEE\xE2\xE0\xED\xE0"},  // Запись
                                                                                // блокирована
    {recman::kFileLocked,
     "\xD4\xE0\xE9\xEB \xE1\xEB\xEE\xEA\xE8\xF0\xEE\xE2\xE0\xED"},  // Файл блокирован
    {recman::kFileTableFull,
     "\xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xF4\xE0\xE9\xEB\xEE\xE2 "
     "\xEF\xE5\xF0\xE5\xEF\xEE\xEB\xED\xE5\xED\xE0"},  // Таблица файлов переполнена
    {recman::kHandleTableFull,
     "\xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xEE\xE1\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA\xEE\xE2 "
     "\xEF\xE5\xF0\xE5\xEF\xEE\xEB\xED\xE5\xED\xE0"},  // Таблица обработчиков
                                                       // переполнена
    {recman::kIncompatibleMode,
     "\xCD\xE5\xF1\xEE\xE2\xEC\xE5\xF1\xF2\xE8\xEC\xFB\xE9 \xF0\xE5\xE6\xE8\xEC "
     "\xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF \xF4\xE0\xE9\xEB\xE0"},  // Несовместимый режим
                                                                // открытия файла
    {recman::kDeviceTableFull,
     "\xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2 "
     "\xEF\xE5\xF0\xE5\xEF\xEE\xEB\xED\xE5\xED\xE0"},  // Таблица устройств переполнена
    {recman::kServerError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xF1\xE5\xF0\xE2\xE5\xF0\xE0"},  // Ошибка сервера
    {recman::kTransactionTableFull,
     "\xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE9 "
     "\xEF\xE5\xF0\xE5\xEF\xEE\xEB\xED\xE5\xED\xE0"},  // Таблица транзакций переполнена
    {recman::kIncompatibleLockType,
     "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF2\xE8\xEF "
     "\xE1\xEB\xEE\xEA\xE8\xF0\xEE\xE2\xEA\xE8"},  // Неверный тип блокировки
    {recman::kPermissionError,
     "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE0\xE2 \xE4\xEE\xF1\xF2\xF3\xEF\xE0"},  // Ошибка
                                                                                 // прав
                                                                                 // доступа
    {recman::kDataMessageTooSmall,
     "\xC1\xF3\xF4\xE5\xF0 \xF1\xE2\xFF\xE7\xE8 \xEC\xE0\xEB"},  // Буфер связи мал
    {recman::kChunkOffsetTooLong,
     "\xD1\xEC\xE5\xF9\xE5\xED\xE8\xE5 \xE1\xEB\xEE\xEA\xE0 \xE2 "
     "\xE7\xE0\xEF\xE8\xF1\xE8 "
     "\xF1\xEB\xE8\xF8\xEA\xEE\xEC \xE2\xE5\xEB\xE8\xEA\xEE"},  // Смещение блока в
                                                                // записи слишком велико
};

// Неизвестная операция
const char kUnknownOperation[] =
    "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xE0\xFF \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xFF";
// Неизвестная ошибка
const char kUnknownStatus[] =
    "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xE0\xFF \xEE\xF8\xE8\xE1\xEA\xE0";
// Ошибка Btrieve "%2:s" при операции "%0:s" с файлом "%1:s"
const char kMessageFormat[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 Btrieve \x22%2:s\x22 \xEF\xF0\xE8 \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xE8 "
    "\x22%0:s\x22 \xF1 \xF4\xE0\xE9\xEB\xEE\xEC \x22%1:s\x22";
// Ошибка Btrieve
const char kCaptionText[] = "\xCE\xF8\xE8\xE1\xEA\xE0 Btrieve";

template <size_t N>
const char* Lookup(const TCodeText (&table)[N], int32_t code, const char* fallback) {
    for (const TCodeText& row : table)
        if (row.code == code) return row.text;
    return fallback;
}

std::string WithCode(const char* text, int32_t code) {
    return std::string(text) + "(" + std::to_string(code) + ")";
}

// Applies a format whose placeholders are %N:s, N indexing the arguments from 0.
std::string FormatIndexed(const char* format, const std::string* args, size_t count) {
    std::string out;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] >= '0' && p[1] <= '9' && p[2] == ':' && p[3] == 's') {
            size_t index = static_cast<size_t>(p[1] - '0');
            if (index < count) out += args[index];
            p += 3;
            continue;
        }
        out += *p;
    }
    return out;
}

void DefaultDisplay(const std::string& caption, const std::string& message) {
    std::string text = AnsiToUtf8(caption) + ": " + AnsiToUtf8(message) + "\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

TBtrieveErrorDisplay& CurrentDisplay() {
    static TBtrieveErrorDisplay display = DefaultDisplay;
    return display;
}

}  // namespace

std::string BtrOperationText(int32_t operation) {
    return WithCode(Lookup(kOperationTexts, operation, kUnknownOperation), operation);
}

std::string BtrStatusText(int32_t status) {
    return WithCode(Lookup(kStatusTexts, status, kUnknownStatus), status);
}

std::string BtrErrorMessage(int32_t status, int32_t operation, const std::string& fileName) {
    const std::string args[] = {BtrOperationText(operation), fileName, BtrStatusText(status)};
    return FormatIndexed(kMessageFormat, args, 3);
}

EBtrieve::EBtrieve(int32_t status, int32_t operation, const std::string& fileName)
    : Exception(BtrErrorMessage(status, operation, fileName)),
      Status(status),
      Operation(operation),
      ErrorFileName(fileName) {}

EBtrieve::EBtrieve(int32_t status, int32_t operation, const std::string& fileName,
                   const std::string& detail)
    : Exception(BtrErrorMessage(status, operation, fileName) + (detail.empty() ? "" : "\n") +
                detail),
      Status(status),
      Operation(operation),
      ErrorFileName(fileName),
      Detail(detail) {}

EBtrieve::EBtrieve(std::string message) : Exception(std::move(message)) {}

const std::string& BtrieveErrorCaption() {
    static const std::string caption = kCaptionText;
    return caption;
}

void ShowBtrieveError(const EBtrieve& error) {
    CurrentDisplay()(BtrieveErrorCaption(), error.Message());
}

TBtrieveErrorDisplay SetBtrieveErrorDisplay(TBtrieveErrorDisplay display) {
    TBtrieveErrorDisplay previous = std::move(CurrentDisplay());
    CurrentDisplay() = display ? std::move(display) : TBtrieveErrorDisplay(DefaultDisplay);
    return previous;
}
