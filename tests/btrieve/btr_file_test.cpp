// The file object against a scripted record manager: status judgement and lock retries, the
// open call's arguments, key tables from Stat, key values, chunked access and the lifecycle.
#include <gtest/gtest.h>

#include <cstring>

#include "btrieve/btr_file.h"
#include "platform/codepage.h"
#include "tests/btrieve/scripted_recman.h"

namespace {

using TAnswer = TScriptedRecman::TAnswer;

// Reads a member of a byte-packed descriptor by value (no reference to a misaligned field).
template <typename T>
T Value(T value) {
    return value;
}

// Answers Open with 0, Stat by copying stat, every other call through other (0 without one).
TAnswer FileAnswer(std::string stat, TAnswer other = nullptr) {
    return [stat, other](TRecordedCall& call) -> int16_t {
        if (call.Operation == recman::kOpOpen) return 0;
        if (call.Operation == recman::kOpStat) {
            std::memcpy(call.Data, stat.data(), std::min<size_t>(stat.size(), *call.DataLength));
            return 0;
        }
        return other ? other(call) : int16_t{0};
    };
}

class BtrFileTest : public testing::Test {
  protected:
    BtrFileTest() {
        previousSleep_ = SetBtrRetrySleep([this](uint16_t ms) { sleeps.push_back(ms); });
    }
    ~BtrFileTest() override { SetBtrRetrySleep(previousSleep_); }

    // Opens file on a 20-byte record file with key 0 of segments 4+10 and key 1 of 2 bytes.
    void Open(TBtrieveFile& file, TAnswer other = nullptr) {
        recman.SetAnswer(FileAnswer(MakeStat(20, {{4, 10}, {2}}), std::move(other)));
        file.SetFileName("a.dbt");
        file.SetActive(true);
        recman.Calls.clear();
    }

    std::vector<TRecordedCall> CallsOf(uint16_t operation) const {
        std::vector<TRecordedCall> out;
        for (const auto& call : recman.Calls)
            if (call.Operation == operation) out.push_back(call);
        return out;
    }

    TScriptedRecman recman;
    std::vector<uint16_t> sleeps;

  private:
    TBtrSleep previousSleep_;
};

TEST_F(BtrFileTest, ConstructionDefaults) {
    TBtrieveFile file;
    EXPECT_EQ(file.MaxRetry, 5);
    EXPECT_EQ(file.RetryDelay, 1000);
    EXPECT_FALSE(file.Active());
    EXPECT_FALSE(file.ReadOnly());
    EXPECT_FALSE(file.AllocateData());
    EXPECT_EQ(file.KeyNumber(), 0);
    EXPECT_EQ(file.KeyBufferSize(), 0);
    std::string errors;
    for (int s = 0; s <= 103; ++s)
        if (!file.ErrorStatuses().test(s)) errors += std::to_string(s) + " ";
    EXPECT_EQ(errors, "0 4 9 60 103 ");
}

TEST_F(BtrFileTest, LockedRecordIsRetriedMaxRetryTimesThenRaised) {
    TBtrieveFile file;
    Open(file);
    recman.AnswerStatuses({84, 84, 84, 84, 84, 84});
    try {
        file.BtrExec(recman::kOpGetNext);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Status, 84);
        EXPECT_EQ(e.Operation, 6);
        EXPECT_EQ(e.ErrorFileName, "a.dbt");
        EXPECT_EQ(e.Message(), BtrErrorMessage(84, 6, "a.dbt"));
    }
    EXPECT_EQ(recman.Calls.size(), 6u);
    EXPECT_EQ(sleeps, std::vector<uint16_t>(5, 1000));
    EXPECT_EQ(file.RetryCount(), 0);
    EXPECT_EQ(file.Status(), 84);
}

TEST_F(BtrFileTest, LockThatClearsEndsInSuccessAndResetsTheCount) {
    TBtrieveFile file;
    Open(file);
    file.RetryDelay = 30;
    recman.AnswerStatuses({85, 85, 85, 85, 85, 0});
    file.BtrExec(recman::kOpGetEqual);
    EXPECT_EQ(recman.Calls.size(), 6u);
    EXPECT_EQ(sleeps, std::vector<uint16_t>(5, 30));
    EXPECT_EQ(file.RetryCount(), 0);
    EXPECT_EQ(file.Status(), 0);
}

TEST_F(BtrFileTest, MaxRetryZeroRaisesAtOnceWithoutWaiting) {
    TBtrieveFile file;
    Open(file);
    file.MaxRetry = 0;
    recman.AnswerStatuses({84});
    EXPECT_THROW(file.BtrExec(recman::kOpGetNext), EBtrieve);
    EXPECT_EQ(recman.Calls.size(), 1u);
    EXPECT_TRUE(sleeps.empty());
}

// The lock wait's settings: how many waits one call makes, what the program is told, and a
// stop that ends the wait.
TEST_F(BtrFileTest, LockWaitTellsOnceBoundsTheWaitsAndStops) {
    const struct {
        int32_t seconds;
        uint16_t retryDelay;
        int stopAfter;  // the Stopped question that answers true; 0: none does
        size_t calls;
        size_t waits;
    } cases[] = {
        {-1, 1000, 0, 6, 5},                     // the file's MaxRetry
        {0, 1000, 0, 1, 0},                      // at once
        {2, 1000, 0, 3, 2},  {1, 300, 0, 5, 4},  // 1.2 s in waits of 0.3 s
        {60, 1000, 1, 1, 0},                     // a stop before the first wait
        {60, 1000, 2, 1, 1},                     // a stop during it
    };
    for (const auto& c : cases) {
        TBtrieveFile file;
        Open(file);
        file.RetryDelay = c.retryDelay;
        sleeps.clear();
        std::vector<std::string> told;
        int asked = 0;
        TBtrLockWait wait;
        wait.Started = [&](const std::string& name) { told.push_back(name); };
        wait.Stopped = [&] { return ++asked == c.stopAfter; };
        wait.Seconds = c.seconds;
        TBtrLockWait previous = SetBtrLockWait(wait);
        recman.AnswerStatuses(std::vector<int16_t>(70, 85));
        EXPECT_THROW(file.BtrExec(recman::kOpGetFirst), EBtrieve) << c.seconds;
        SetBtrLockWait(previous);
        EXPECT_EQ(recman.Calls.size(), c.calls) << c.seconds << " " << c.stopAfter;
        EXPECT_EQ(sleeps.size(), c.waits) << c.seconds << " " << c.stopAfter;
        EXPECT_EQ(told, std::vector<std::string>{"a.dbt"});
        EXPECT_EQ(file.RetryCount(), 0);
    }
}

TEST_F(BtrFileTest, PassingStatusesAndErrors) {
    TBtrieveFile file;
    Open(file);
    recman.AnswerStatuses({22});
    file.BtrExec(recman::kOpGetNext);
    EXPECT_EQ(file.Status(), 0);
    for (int16_t status : {4, 9, 60, 103}) {
        recman.AnswerStatuses({status});
        file.BtrExec(recman::kOpGetNext);
        EXPECT_EQ(file.Status(), status);
    }
    for (int16_t status : {3, 5, 104, 5000 - 5000 + 200}) {
        recman.AnswerStatuses({status});
        EXPECT_THROW(file.BtrExec(recman::kOpGetNext), EBtrieve) << status;
        EXPECT_EQ(file.Status(), status);
    }
}

TEST_F(BtrFileTest, NegativeStatusIsAnErrorNotAnEndOfWalk) {
    TBtrieveFile file;
    Open(file);
    recman.AnswerStatuses({-1});
    try {
        file.BtrExec(recman::kOpGetNext);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(),
                  Utf8ToAnsi("Ошибка Btrieve \"Неизвестная ошибка(-1)\" при операции \"Чтение "
                             "следующей записи(6)\" с файлом \"a.dbt\""));
    }
}

TEST_F(BtrFileTest, LockBiasIsLeftOutOfTheReportedOperation) {
    TBtrieveFile file;
    Open(file);
    uint8_t record[20] = {};
    file.BtrSetData(record, sizeof record);
    recman.AnswerStatuses({8});
    try {
        file.BtrGetDirect(recman::kSingleNoWaitLock, 77);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Operation, 23);
        EXPECT_EQ(e.Message(), BtrErrorMessage(8, 23, "a.dbt"));
    }
    ASSERT_EQ(recman.Calls.size(), 1u);
    EXPECT_EQ(recman.Calls[0].Operation, 223);
    EXPECT_EQ(recman.Calls[0].DataIn.substr(0, 4), std::string("\x4D\0\0\0", 4));
    EXPECT_EQ(recman.Calls[0].DataLengthIn, 20u);
}

TEST_F(BtrFileTest, OpenPassesTrimmedOwnerAndNameWithTerminators) {
    TBtrieveFile file;
    recman.SetAnswer(FileAnswer(MakeStat(20, {{4}})));
    file.SetFileName("dir/a.dbt");
    file.SetReadOnly(true);
    file.SetFileOwner("  ab  ");
    file.SetActive(true);
    ASSERT_TRUE(file.Active());
    EXPECT_EQ(file.FileOwner(), "ab");
    const TRecordedCall& open = recman.Calls.at(0);
    EXPECT_EQ(open.Operation, 0);
    EXPECT_EQ(open.DataLengthIn, 3u);
    EXPECT_EQ(open.DataIn, std::string("ab\0", 3));
    EXPECT_EQ(open.KeyLength, 10);
    EXPECT_EQ(open.KeyIn, std::string("dir/a.dbt\0", 10));
    EXPECT_EQ(open.KeyNumber, -2);
    EXPECT_EQ(open.PositionBlock, file.PositionBlock());
    const TRecordedCall& stat = recman.Calls.at(1);
    EXPECT_EQ(stat.Operation, 15);
    EXPECT_EQ(stat.DataLengthIn, 2185u);
    EXPECT_EQ(stat.KeyLength, 128);
}

TEST_F(BtrFileTest, OwnerNameEmptyAndTooLong) {
    TBtrieveFile file;
    recman.SetAnswer(FileAnswer(MakeStat(20, {{4}})));
    file.SetFileName("a.dbt");
    file.BtrOpen(0, "");
    EXPECT_EQ(recman.Calls.at(0).DataLengthIn, 1u);
    EXPECT_EQ(recman.Calls.at(0).DataIn, std::string("\0", 1));
    EXPECT_EQ(recman.Calls.at(0).KeyNumber, 0);
    file.BtrClose();
    recman.Calls.clear();
    file.BtrOpen(0, "abcdefghijkl");
    EXPECT_EQ(recman.Calls.at(0).DataLengthIn, 9u);
    EXPECT_EQ(recman.Calls.at(0).DataIn, std::string("abcdefgh\0", 9));
    EXPECT_EQ(file.FileOwner(), "abcdefghijkl");
}

TEST_F(BtrFileTest, TrimBlanksRemovesControlsAndBlanksAtBothEnds) {
    std::string text("\t\x01 a b\r\n ");
    TrimBlanks(text);
    EXPECT_EQ(text, "a b");
    std::string only(" \0\x1f ", 4);
    TrimBlanks(only);
    EXPECT_EQ(only, "");
    std::string national = "\xC0\xE1";  // bytes above 32 stay
    TrimBlanks(national);
    EXPECT_EQ(national, "\xC0\xE1");
}

TEST_F(BtrFileTest, OpenErrorMessageAndPassingStatusLeavesFileClosed) {
    TBtrieveFile file;
    file.SetFileName("missing.dbt");
    recman.AnswerStatuses({12});
    try {
        file.SetActive(true);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(),
                  Utf8ToAnsi("Ошибка Btrieve \"Файл не найден(12)\" при операции \"Открытие "
                             "файла(0)\" с файлом \"missing.dbt\""));
    }
    EXPECT_FALSE(file.Active());
    recman.AnswerStatuses({4});
    file.SetActive(true);
    EXPECT_FALSE(file.Active());
    EXPECT_EQ(file.Status(), 4);
    EXPECT_EQ(recman.Calls.size(), 2u);  // no Stat after an open that did not open
}

TEST_F(BtrFileTest, FileNameLongerThan254IsRefusedWithoutACall) {
    TBtrieveFile file;
    file.SetFileName(std::string(254, 'a'));
    recman.SetAnswer(FileAnswer(MakeStat(20, {{4}})));
    file.SetActive(true);
    EXPECT_EQ(recman.Calls.at(0).KeyLength, 255);
    file.SetActive(false);
    recman.Calls.clear();
    std::string longName(255, 'b');
    file.SetFileName(longName);
    try {
        file.SetActive(true);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Utf8ToAnsi("Ошибка Btrieve \"Неверное имя файла(11)\" при "
                                          "операции \"Открытие файла(0)\" с файлом \"") +
                                   longName + "\"");
    }
    EXPECT_TRUE(recman.Calls.empty());
    EXPECT_FALSE(file.Active());
}

TEST_F(BtrFileTest, KeyTablesForMultiSegmentKeys) {
    TBtrieveFile file;
    recman.SetAnswer(FileAnswer(MakeStat(30, {{4, 10}, {2}, {3, 5, 7}}, 1)));
    file.SetFileName("a.dbt");
    file.SetActive(true);
    EXPECT_EQ(file.RecordLength(), 30);
    EXPECT_EQ(file.KeyCount(), 3);
    EXPECT_TRUE(file.VariableLength());
    EXPECT_EQ(file.KeyBufferSize(), 15);
    EXPECT_EQ(file.KeyFirstSegment()[0], 1);
    EXPECT_EQ(file.KeyFirstSegment()[1], 3);
    EXPECT_EQ(file.KeyFirstSegment()[2], 4);
    const auto& seg = file.SegmentTable();
    EXPECT_EQ(seg[1].Position, 1);
    EXPECT_EQ(seg[1].Length, 4);
    EXPECT_EQ(seg[1].Flags, 0x10);
    EXPECT_EQ(seg[2].Position, 5);
    EXPECT_EQ(seg[2].Length, 10);
    EXPECT_EQ(seg[2].Flags, 0);
    EXPECT_EQ(seg[6].Position, 25);
    EXPECT_EQ(seg[6].Length, 7);
    EXPECT_EQ(seg[6].ExtendedType, 6);
    EXPECT_EQ(seg[6].NullValue, 0x26);
    ASSERT_NE(file.KeyBuffer(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.KeyBuffer()), 15), std::string(15, '\0'));
}

TEST_F(BtrFileTest, KeyValuesFillSegmentsOfTheCurrentKey) {
    TBtrieveFile file;
    Open(file);  // key 0: 4 + 10 bytes, key 1: 2 bytes
    int32_t kind = 0x01020304;
    file.BtrSetKeyValues({kind, "name", "ignored"});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.KeyBuffer()), 14),
              std::string("\x04\x03\x02\x01name\0\0\0\0\0\0", 14));
    file.BtrSetKeyNumber(1);
    int16_t small = 0x0A0B;
    file.BtrSetKeyValues({small, kind});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.KeyBuffer()), 14),
              std::string("\x0B\x0A\0\0\0\0\0\0\0\0\0\0\0\0", 14));
    // A value longer than its segment is cut to it; the key number 255 leaves the key clear.
    file.BtrSetKeyNumber(0);
    file.BtrSetKeyValues({"abcdefgh", "0123456789ABCDEF"});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.KeyBuffer()), 14), "abcd0123456789");
    file.BtrSetKeyNumber(255);
    file.BtrSetKeyValues({"abcd"});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.KeyBuffer()), 14), std::string(14, '\0'));
}

TEST_F(BtrFileTest, KeyNumberAcceptsKeysOfTheFileAnd255And125Only) {
    TBtrieveFile file;
    Open(file);
    file.BtrSetKeyNumber(1);
    EXPECT_EQ(file.KeyNumber(), 1);
    file.BtrSetKeyNumber(2);  // KeyCount
    EXPECT_EQ(file.KeyNumber(), 1);
    file.BtrSetKeyNumber(255);
    EXPECT_EQ(file.KeyNumber(), 255);
    file.BtrSetKeyNumber(65535);
    EXPECT_EQ(file.KeyNumber(), 255);
    file.BtrSetKeyNumber(125);
    EXPECT_EQ(file.KeyNumber(), 125);
    uint8_t record[20] = {};
    file.BtrSetData(record, 20);
    file.BtrExec(recman::kOpGetEqual);
    EXPECT_EQ(recman.Calls.back().KeyNumber, 125);
    file.BtrSetKeyNumber(255);
    file.BtrExec(recman::kOpGetEqual);
    EXPECT_EQ(recman.Calls.back().KeyNumber, -1);
}

TEST_F(BtrFileTest, ReopeningWithShorterKeysKeepsTheLargerKeyBuffer) {
    TBtrieveFile file;
    Open(file);
    EXPECT_EQ(file.KeyBufferSize(), 14);
    file.SetActive(false);
    EXPECT_EQ(file.KeyBuffer(), nullptr);
    recman.SetAnswer(FileAnswer(MakeStat(8, {{2}})));
    file.SetActive(true);
    EXPECT_EQ(file.KeyBufferSize(), 14);
    file.BtrExec(recman::kOpGetFirst);
    EXPECT_EQ(recman.Calls.back().KeyLength, 14);
}

TEST_F(BtrFileTest, StatBeyondTheTablesClosesAndRaises) {
    TBtrieveFile file;
    file.SetFileName("bad.dbt");
    std::string stat = MakeStat(20, {{4}});
    stat[4] = 120;  // 120 keys
    recman.SetAnswer(FileAnswer(stat));
    EXPECT_THROW(file.SetActive(true), EBtrieve);
    EXPECT_FALSE(file.Active());
    EXPECT_EQ(recman.Calls.back().Operation, recman::kOpClose);
    // Every segment claims a follower: the chain would run past segment 119.
    std::string endless = MakeStat(20, {{4}});
    for (int s = 1; s <= 119; ++s) endless[16 * s + 4] = 0x10;
    recman.SetAnswer(FileAnswer(endless));
    try {
        file.SetActive(true);
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Status, 26);
        EXPECT_EQ(e.Operation, 15);
    }
    EXPECT_FALSE(file.Active());
}

TEST_F(BtrFileTest, ChunkReadOf40000BytesInThreePieces) {
    TBtrieveFile file;
    Open(file, [](TRecordedCall& call) -> int16_t {
        if (call.Operation != recman::kOpGetDirect) return 0;
        TChunkReadDescriptor d;
        std::memcpy(&d, call.Data, sizeof d);
        std::memset(d.Destination, 'x', d.Length);
        *call.DataLength = d.Length;
        return 0;
    });
    std::vector<uint8_t> target(40000, 0);
    EXPECT_EQ(file.BtrReadChunks(4096, 100, target.data(), 40000), 40000u);
    ASSERT_EQ(recman.Calls.size(), 3u);
    const uint32_t lengths[] = {16000, 16000, 8000};
    for (size_t i = 0; i < 3; ++i) {
        const TRecordedCall& call = recman.Calls[i];
        EXPECT_EQ(call.Operation, 23);
        EXPECT_EQ(call.KeyNumber, -2);
        EXPECT_EQ(call.KeyLength, 14);
        EXPECT_EQ(call.DataLengthIn, sizeof(TChunkReadDescriptor));
        TChunkReadDescriptor d;
        std::memcpy(&d, call.DataIn.data(), sizeof d);
        EXPECT_EQ(Value(d.Position), 4096u);
        EXPECT_EQ(Value(d.Subfunction), 0x80000001u);
        EXPECT_EQ(Value(d.ChunkCount), 1u);
        EXPECT_EQ(Value(d.Offset), 100 + 16000 * i);
        EXPECT_EQ(Value(d.Length), lengths[i]);
        EXPECT_EQ(Value(d.Destination), target.data() + 16000 * i);
    }
    EXPECT_EQ(std::count(target.begin(), target.end(), 'x'), 40000);
    EXPECT_EQ(sizeof(TChunkReadDescriptor), 20 + sizeof(void*));
}

TEST_F(BtrFileTest, ChunkReadStopsWhenTheRecordEnds) {
    TBtrieveFile file;
    int call = 0;
    Open(file, [&call](TRecordedCall& c) -> int16_t {
        if (c.Operation != recman::kOpGetDirect) return 0;
        *c.DataLength = ++call == 1 ? 16000 : 1234;
        return 0;
    });
    std::vector<uint8_t> target(40000);
    EXPECT_EQ(file.BtrReadChunks(1, 0, target.data(), 40000), 17234u);
    EXPECT_EQ(recman.Calls.size(), 2u);
    // An offset beyond the record: 103 passes and delivers nothing.
    recman.Calls.clear();
    recman.SetAnswer(
        [](TRecordedCall& c) -> int16_t { return c.Operation == recman::kOpGetDirect ? 103 : 0; });
    EXPECT_EQ(file.BtrReadChunks(1, 90000, target.data(), 10), 0u);
    EXPECT_EQ(file.Status(), 103);
    EXPECT_EQ(recman.Calls.size(), 1u);
}

TEST_F(BtrFileTest, ChunkWriteAndTruncateDescriptors) {
    TBtrieveFile file;
    Open(file);
    file.BtrSetKeyNumber(1);
    std::vector<uint8_t> source(20000, 'y');
    file.BtrWriteChunks(8, source.data(), 20000);
    ASSERT_EQ(recman.Calls.size(), 2u);
    TChunkWriteDescriptor d;
    std::memcpy(&d, recman.Calls[1].DataIn.data(), sizeof d);
    EXPECT_EQ(recman.Calls[1].Operation, 53);
    EXPECT_EQ(recman.Calls[1].KeyNumber, 1);
    EXPECT_EQ(recman.Calls[1].DataLengthIn, 16 + sizeof(void*));
    EXPECT_EQ(Value(d.Subfunction), 0x80000001u);
    EXPECT_EQ(Value(d.ChunkCount), 1u);
    EXPECT_EQ(Value(d.Offset), 16008u);
    EXPECT_EQ(Value(d.Length), 4000u);
    EXPECT_EQ(Value(d.Source), source.data() + 16000);
    recman.Calls.clear();
    file.BtrTruncate(300);
    ASSERT_EQ(recman.Calls.size(), 1u);
    EXPECT_EQ(recman.Calls[0].DataLengthIn, 8u);
    EXPECT_EQ(recman.Calls[0].DataIn, std::string("\x04\0\0\x80\x2C\x01\0\0", 8));
}

TEST_F(BtrFileTest, PositionPercentageAndRecordCount) {
    TBtrieveFile file;
    Open(file, [](TRecordedCall& call) -> int16_t {
        if (call.Operation == recman::kOpGetPosition || call.Operation == recman::kOpFindPercentage)
            std::memcpy(call.Data, "\x10\x20\x30\x40", 4);
        return 0;
    });
    EXPECT_EQ(file.BtrGetPosition(), 0x40302010u);
    EXPECT_EQ(recman.Calls.back().DataLengthIn, 4u);
    EXPECT_EQ(recman.Calls.back().KeyLength, 0);
    EXPECT_EQ(file.BtrFindPercentage(), 0x40302010u);
    EXPECT_EQ(recman.Calls.back().DataIn, std::string(4, '\0'));
    recman.SetAnswer(FileAnswer(MakeStat(20, {{4}}, 0, 123456)));
    EXPECT_EQ(file.BtrRecordCount(), 123456u);
    EXPECT_EQ(recman.Calls.back().KeyLength, 64);
}

TEST_F(BtrFileTest, RecordOperationsUseTheLentBuffer) {
    TBtrieveFile file;
    Open(file, [](TRecordedCall& call) -> int16_t {
        if (call.Operation == recman::kOpClose) return 0;
        std::memcpy(call.Data, "REC", 3);
        *call.DataLength = 3;
        return 0;
    });
    char record[20] = {};
    file.BtrSetData(record, sizeof record);
    file.BtrExec(recman::kOpGetFirst, recman::kSingleWaitLock);
    EXPECT_EQ(recman.Calls.back().Operation, 112);
    EXPECT_EQ(recman.Calls.back().DataLengthIn, 20u);
    EXPECT_EQ(file.DataLength, 3);
    EXPECT_EQ(std::string(record, 3), "REC");
    uint8_t small[2] = {};
    file.BtrSetData(small, 2);
    EXPECT_THROW(file.BtrGetDirect(0, 5), EBtrieve);  // no room for the position
}

TEST_F(BtrFileTest, AllocatedBufferFollowsTheFile) {
    TBtrieveFile file;
    file.SetAllocateData(true);
    Open(file);
    EXPECT_NE(file.DataBuffer(), nullptr);
    EXPECT_EQ(file.DataBufferSize(), 20);
    file.SetAllocateData(false);
    EXPECT_EQ(file.DataBuffer(), nullptr);
    EXPECT_EQ(file.DataBufferSize(), 0);
    file.SetAllocateData(true);
    EXPECT_EQ(file.DataBufferSize(), 20);
    file.SetActive(false);
    EXPECT_EQ(file.DataBuffer(), nullptr);
    EXPECT_EQ(file.RecordLength(), 0);
}

TEST_F(BtrFileTest, PropertyChangesOnAnOpenFileReopenIt) {
    TBtrieveFile file;
    Open(file);
    file.SetFileName("b.dbt");
    ASSERT_EQ(recman.Calls.size(), 3u);
    EXPECT_EQ(recman.Calls[0].Operation, recman::kOpClose);
    EXPECT_EQ(recman.Calls[1].KeyIn, std::string("b.dbt\0", 6));
    recman.Calls.clear();
    file.SetReadOnly(true);
    EXPECT_EQ(recman.Calls.at(1).KeyNumber, -2);
    recman.Calls.clear();
    file.SetReadOnly(true);
    EXPECT_TRUE(recman.Calls.empty());
    // A failing reopen keeps the new name and leaves the file closed.
    recman.SetAnswer([](TRecordedCall& call) -> int16_t { return call.Operation ? 0 : 12; });
    EXPECT_THROW(file.SetFileOwner("own"), EBtrieve);
    EXPECT_EQ(file.FileOwner(), "own");
    EXPECT_FALSE(file.Active());
}

TEST_F(BtrFileTest, FailingCloseLeavesTheFileOpenAndDestructionClosesIt) {
    auto file = std::make_unique<TBtrieveFile>();
    Open(*file);
    recman.AnswerStatuses({17});
    EXPECT_THROW(file->SetActive(false), EBtrieve);
    EXPECT_TRUE(file->Active());
    EXPECT_NE(file->KeyBuffer(), nullptr);
    recman.Calls.clear();
    file.reset();
    ASSERT_EQ(recman.Calls.size(), 1u);
    EXPECT_EQ(recman.Calls[0].Operation, recman::kOpClose);
    EXPECT_EQ(recman.Calls[0].DataLengthIn, 0u);
    EXPECT_EQ(recman.Calls[0].KeyLength, 0);
}

TEST(BtrCallTest, WithoutARecordManagerTheCallAnswersNotLoaded) {
    // The scripted entry is gone here; whatever answers must be a real status, and the
    // default entry restored by an empty function is the one in place.
    SetBtrCall(nullptr);
    uint32_t length = 0;
    int16_t status = BtrCall(recman::kOpClose, nullptr, nullptr, &length, nullptr, 0, 0);
    EXPECT_NE(status, 0);
}

}  // namespace
