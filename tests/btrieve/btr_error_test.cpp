// Message texts of EBtrieve: status and operation names, numbers and the sentence around them.
#include <gtest/gtest.h>

#include "btrieve/btr_error.h"
#include "platform/codepage.h"

namespace {

std::string Ansi(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

TEST(BtrErrorTest, OpenOfMissingFileNamesStatusOperationAndFile) {
    EBtrieve error(12, 0, "C:\\DATA\\A.DBT");
    EXPECT_EQ(error.Message(),
              Ansi("Ошибка Btrieve \"Файл не найден(12)\" при операции \"Открытие файла(0)\" "
                   "с файлом \"C:\\DATA\\A.DBT\""));
    EXPECT_EQ(error.Status, 12);
    EXPECT_EQ(error.Operation, 0);
    EXPECT_EQ(error.ErrorFileName, "C:\\DATA\\A.DBT");
}

TEST(BtrErrorTest, CodesOutsideTheTablesReadAsUnknown) {
    EXPECT_EQ(BtrStatusText(-1), Ansi("Неизвестная ошибка(-1)"));
    EXPECT_EQ(BtrStatusText(5000), Ansi("Неизвестная ошибка(5000)"));
    for (int status : {33, 60, 77, 79, 89, 95, 96, 98, 102, 104})
        EXPECT_EQ(BtrStatusText(status),
                  Ansi("Неизвестная ошибка(") + std::to_string(status) + ")");
    EXPECT_EQ(BtrOperationText(16), Ansi("Неизвестная операция(16)"));
    EXPECT_EQ(BtrOperationText(-5), Ansi("Неизвестная операция(-5)"));
    // Status 1 and an unknown operation share one text.
    EXPECT_EQ(BtrStatusText(1), Ansi("Неизвестная операция(1)"));
}

TEST(BtrErrorTest, TableRowsAtTheEdgesAndInBetween) {
    EXPECT_EQ(BtrStatusText(0), Ansi("Нет ошибки(0)"));
    EXPECT_EQ(BtrStatusText(9), Ansi("Конец файла(9)"));
    EXPECT_EQ(BtrStatusText(22), Ansi("Буфер данных слишком короток(22)"));
    EXPECT_EQ(BtrStatusText(30), Ansi("Файл - не файл Btrieve(30)"));
    EXPECT_EQ(BtrStatusText(78), "DEADLOCK(78)");
    EXPECT_EQ(BtrStatusText(103), Ansi("Смещение блока в записи слишком велико(103)"));
    EXPECT_EQ(BtrOperationText(23), Ansi("Получение записи по физической позиции(23)"));
    EXPECT_EQ(BtrOperationText(53), Ansi("Изменение части записи(53)"));
    EXPECT_EQ(BtrOperationText(1019), Ansi("Неизвестная операция(1019)"));
}

TEST(BtrErrorTest, FullMessageForOwnStatusAndEmptyFileName) {
    EBtrieve error(5000, 0, "");
    EXPECT_EQ(error.Message(), Ansi("Ошибка Btrieve \"Неизвестная ошибка(5000)\" при операции "
                                    "\"Открытие файла(0)\" с файлом \"\""));
}

TEST(BtrErrorTest, MessageAloneLeavesTheFieldsEmpty) {
    EBtrieve error(Ansi("Неверная структура словаря"));
    EXPECT_EQ(error.Message(), Ansi("Неверная структура словаря"));
    EXPECT_EQ(error.Status, 0);
    EXPECT_EQ(error.Operation, 0);
    EXPECT_EQ(error.ErrorFileName, "");
}

TEST(BtrErrorTest, ShowGoesThroughTheReplaceableDisplay) {
    std::string caption, message;
    auto previous = SetBtrieveErrorDisplay([&](const std::string& c, const std::string& m) {
        caption = c;
        message = m;
    });
    ShowBtrieveError(EBtrieve(9, 6, "x.dbt"));
    SetBtrieveErrorDisplay(previous);
    EXPECT_EQ(caption, Ansi("Ошибка Btrieve"));
    EXPECT_EQ(message, BtrErrorMessage(9, 6, "x.dbt"));
}

TEST(BtrErrorTest, DefaultDisplayWritesUtf8ToStandardError) {
    testing::internal::CaptureStderr();
    ShowBtrieveError(EBtrieve(12, 0, "a.dbt"));
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written,
              "Ошибка Btrieve: Ошибка Btrieve \"Файл не найден(12)\" при операции \"Открытие "
              "файла(0)\" с файлом \"a.dbt\"\n");
}

TEST(BtrErrorTest, EnglishMeaningsOfEveryRussianStatus) {
    // Every status with a Russian text has an English one, and no other code has.
    for (int32_t status = -1; status <= 200; ++status) {
        const bool known = BtrStatusText(status).rfind(Ansi("Неизвестная ошибка"), 0) != 0;
        EXPECT_EQ(std::string(BtrStatusMeaning(status)) != "unknown status", known) << status;
    }
    EXPECT_EQ(BtrStatusEnglishLine(12), "Btrieve status 12: file not found");
    EXPECT_EQ(BtrStatusEnglishLine(103), "Btrieve status 103: chunk offset too big");
    EXPECT_EQ(BtrStatusEnglishLine(33), "Btrieve status 33: unknown status");
}

TEST(BtrErrorTest, StatusFoundInItsMessage) {
    int32_t status = 0;
    EXPECT_TRUE(BtrStatusOfMessage(BtrErrorMessage(46, 6, "a (1).dbt"), status));
    EXPECT_EQ(status, 46);
    EXPECT_TRUE(BtrStatusOfMessage("BDataSet: " + BtrErrorMessage(-3, 0, ""), status));
    EXPECT_EQ(status, -3);
    status = 7;
    EXPECT_FALSE(BtrStatusOfMessage(Ansi("Ошибка Btrieve"), status));
    EXPECT_FALSE(BtrStatusOfMessage("File access denied (12)", status));
    EXPECT_FALSE(BtrStatusOfMessage(Ansi("Ошибка Btrieve \"x\" y"), status));
    EXPECT_EQ(status, 7);
}

}  // namespace
