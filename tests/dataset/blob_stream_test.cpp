// The variable-part stream and the blob streams over a real variable-length file: size found
// by halving, short reads, writes and cuts of the current record, blob contents shared by
// the streams of one blob, open modes, the blob stream cache, posting and its size limit,
// records added from buffers, and editing a record another process has locked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "btr_files.h"
#include "btrieve/btr_call.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/blob_iostream.h"
#include "dataset/btr_dataset.h"
#include "dataset/db_error.h"
#include "dataset/fields.h"
#include "dict/blob_stream.h"
#include "dict/session.h"
#include "dict/var_stream.h"
#include "platform/codepage.h"
#include "recman/btrcall.h"

namespace {

// Id (integer key), Blob, Memo, Name: a 30-byte fixed part.
constexpr uint16_t kLength = 30;
constexpr size_t kBlobAt = 4, kMemoAt = 12, kNameAt = 20;

std::string Ref(uint32_t offset, uint32_t length) {
    return TRecordBytes(8).Value<uint32_t>(0, offset).Value<uint32_t>(4, length).Bytes();
}

std::string Hundred() {
    std::string s;
    for (int i = 0; i < 10; ++i) s += "0123456789";
    return s;
}

// Exposes the protected parts the tests drive directly.
class TTestDataSet : public TBDataSet {
  public:
    using TBDataSet::addRecord;
    using TBDataSet::newRecordBuffer;
    using TBDataSet::setBookmark;
    using TDataSet::ActiveBuffer;
};

// One chunk read of Get Direct: where it began and how much it asked for.
struct TChunkRead {
    uint32_t Offset;
    uint32_t Length;
    bool operator==(const TChunkRead&) const = default;
};

// Records the chunk reads and counts the operations made while it lives.
class TCallRecorder {
  public:
    TCallRecorder()
        : scope_([this](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                        uint8_t keyLen, int8_t keyNum) {
              ++counts_[op % 100];
              if (op % 100 == recman::kOpGetDirect && keyNum == recman::kChunkKeyNumber) {
                  TChunkReadDescriptor d;
                  std::memcpy(&d, data, sizeof d);
                  reads.push_back({d.Offset, d.Length});
              }
              return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
          }) {}
    int operator[](int op) const { return counts_[op]; }
    int Total() const {
        int n = 0;
        for (int c : counts_) n += c;
        return n;
    }
    std::vector<TChunkRead> reads;

  private:
    int counts_[100] = {};
    TBtrCallScope scope_;
};

TStream& Blob(const std::unique_ptr<std::iostream>& stream) {
    return dynamic_cast<TBlobIOStream&>(*stream).Stream();
}

std::string ReadAll(TStream& stream) {
    std::string out(1000, '\0');
    out.resize(static_cast<size_t>(stream.Read(out.data(), 1000)));
    return out;
}

class BlobStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.Path("blobs.dbt");
        MakeDictionary(dir.Path("blobs.def"),
                       {{"blobs.dbt",
                         {{"Id", 3, 4}, {"Blob", 17, 8}, {"Memo", 18, 8}, {"Name", 8, 10}},
                         {{"Id"}}}});
        const std::string h = Hundred();
        MakeBtrieveFile(path, kLength, {{Segment(1, 4, recman::kInteger)}},
                        {Record(1, Ref(0, 5), Ref(10, 20)) + h,
                         Record(2, Ref(0, 0), Ref(2, 3)) + "abcdefghij", Record(3, "", "")},
                        true);
        ds = std::make_unique<TTestDataSet>();
        ds->SetName("BDataSet");
        ds->SetDictName(dir.Path("blobs.def"));
        ds->SetBaseName(path);
    }
    static std::string Record(int32_t id, const std::string& blob, const std::string& memo) {
        TRecordBytes r(kLength);
        r.Value<int32_t>(0, id).Text(kBlobAt, blob).Text(kMemoAt, memo).Text(kNameAt, "n");
        return r.Bytes();
    }
    // The stored record of the key, fixed and variable part; empty when there is none.
    std::string Raw(int32_t id) {
        TBtrieveFile file;
        file.SetFileName(path);
        file.SetActive(true);
        std::vector<char> record(1000);
        file.BtrSetData(record.data(), 1000);
        std::memcpy(file.KeyBuffer(), &id, 4);
        file.BtrExec(recman::kOpGetEqual);
        if (file.Status() != 0) return {};
        record.resize(static_cast<size_t>(file.DataLength));
        return std::string(record.begin(), record.end());
    }
    uint32_t PositionOf(int32_t id) {
        TBtrieveFile file;
        file.SetFileName(path);
        file.SetAllocateData(true);
        file.SetActive(true);
        std::memcpy(file.KeyBuffer(), &id, 4);
        file.BtrExec(recman::kOpGetEqual);
        return file.BtrGetPosition();
    }
    // Makes the record at position the data file's current one.
    void MakeCurrent(uint32_t position) {
        std::vector<char> scratch(kLength);
        ds->DataFile()->BtrSetData(scratch.data(), kLength);
        ds->DataFile()->BtrGetDirect(0, position);
        ds->DataFile()->BtrSetData(nullptr, 0);
    }
    TField* F(const char* name) { return ds->FieldByName(name); }
    void Goto(int32_t id) { ASSERT_TRUE(ds->Locate("Id", TVariant(int64_t{id}))); }

    TTempDir dir;
    TDefaultSession session;
    std::string path;
    std::unique_ptr<TTestDataSet> ds;
};

TEST_F(BlobStreamTest, VarStreamFindsTheSizeByHalving) {
    ds->Open();
    const uint32_t first = PositionOf(1), second = PositionOf(2), third = PositionOf(3);
    {
        // 100 bytes between 0 and 200: one probe of 64 bytes at 68 brings 32 back.
        TVarStream stream(*ds, 200, first);
        TCallRecorder calls;
        EXPECT_EQ(stream.Seek(0, soEnd), 100);
        EXPECT_THAT(calls.reads, ::testing::ElementsAre(TChunkRead{kLength + 68, 64}));
        EXPECT_EQ(stream.SizeLow, 100);
        EXPECT_EQ(stream.SizeHigh, 100);
        EXPECT_EQ(stream.Seek(-1, soEnd), 99);
        EXPECT_EQ(calls.Total(), 1);  // the size is known now
    }
    {
        // 10 bytes below 100: the probe at 18 finds nothing, and fewer than 64 bytes of
        // doubt are settled by one read from the lower bound.
        TVarStream stream(*ds, 100, second);
        TCallRecorder calls;
        EXPECT_EQ(stream.Seek(0, soEnd), 10);
        EXPECT_THAT(calls.reads,
                    ::testing::ElementsAre(TChunkRead{kLength + 18, 64}, TChunkRead{kLength, 51}));
    }
    TVarStream wide(*ds, ds->MaxVarRecSize(), first);
    EXPECT_EQ(wide.Seek(0, soEnd), 100);
    TVarStream none(*ds, ds->MaxVarRecSize(), third);
    EXPECT_EQ(none.Seek(0, soEnd), 0);
}

TEST_F(BlobStreamTest, VarStreamReadsAndShortReadsFixTheSize) {
    ds->Open();
    const uint32_t first = PositionOf(1);
    TVarStream stream(*ds, ds->MaxVarRecSize(), first);
    char buffer[200];
    EXPECT_EQ(stream.Read(buffer, 150), 100);
    EXPECT_EQ(std::string(buffer, 100), Hundred());
    EXPECT_EQ(stream.SizeLow, 100);
    EXPECT_EQ(stream.SizeHigh, 100);
    {
        TCallRecorder calls;
        EXPECT_EQ(stream.Seek(-10, soEnd), 90);
        EXPECT_EQ(calls.Total(), 0);
    }
    EXPECT_EQ(stream.Read(buffer, 20), 10);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(stream.Seek(5, soBeginning), 5);
    EXPECT_EQ(stream.Seek(3, soCurrent), 8);
    EXPECT_EQ(stream.Seek(40, 7), 8);  // an unknown origin leaves the position
    EXPECT_EQ(stream.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "8901");

    // Nothing read from beyond the end bounds the size from above only.
    TVarStream past(*ds, ds->MaxVarRecSize(), first);
    past.Seek(150, soBeginning);
    EXPECT_EQ(past.Read(buffer, 10), 0);
    EXPECT_EQ(past.SizeLow, 0);
    EXPECT_EQ(past.SizeHigh, 150);
    EXPECT_EQ(past.Seek(0, soEnd), 100);

    // A Btrieve error becomes the dataset's error with the same message.
    TVarStream bad(*ds, 100, first + 3);
    try {
        bad.Read(buffer, 10);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: " + BtrErrorMessage(ds->DataFile()->Status(), recman::kOpGetDirect,
                                                 ds->DataFile()->FileName()));
    }
}

TEST_F(BlobStreamTest, VarStreamWritesAndCutsTheCurrentRecordOnly) {
    ds->Open();
    const uint32_t first = PositionOf(1), second = PositionOf(2);
    MakeCurrent(first);
    TVarStream stream(*ds, ds->MaxVarRecSize(), first);
    stream.Seek(100, soBeginning);
    EXPECT_EQ(stream.Write("XYZ", 3), 3);
    EXPECT_EQ(stream.StreamPos, 103);
    EXPECT_EQ(Raw(1).substr(kLength), Hundred() + "XYZ");
    stream.SetSize(50);
    EXPECT_EQ(stream.SizeLow, 50);
    EXPECT_EQ(stream.SizeHigh, 50);
    EXPECT_EQ(Raw(1).substr(kLength), Hundred().substr(0, 50));
    stream.SetSize(80);  // above what is known: nothing happens
    EXPECT_EQ(Raw(1).size(), kLength + 50u);

    // The file has moved to another record: nothing is cut.
    MakeCurrent(second);
    try {
        stream.SetSize(10);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: " + Utf8ToAnsi("Физическая позиция в файле изменилась до операции "
                                            "записи части записи"));
    }
    EXPECT_EQ(Raw(1).size(), kLength + 50u);
    EXPECT_EQ(Raw(2).substr(kLength), "abcdefghij");

    // The size limit holds for writing.
    MakeCurrent(first);
    TVarStream limited(*ds, 60, first);
    limited.Seek(55, soBeginning);
    try {
        limited.Write("0123456789", 10);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Variable part of the record is limited to 60 bytes");
    }
    EXPECT_EQ(Raw(1).substr(kLength), Hundred().substr(0, 50));
}

TEST_F(BlobStreamTest, StreamsOnOneBlobShareItsContent) {
    ds->Open();
    Goto(1);
    ds->Edit();
    TCallRecorder calls;
    auto a = ds->CreateBlobStream(*F("Memo"), bmReadWrite);
    auto b = ds->CreateBlobStream(*F("Memo"), bmRead);
    EXPECT_EQ(calls.reads.size(), 1u);  // the content is read once for both
    ASSERT_EQ(ds->BlobCache().Count(), 1u);
    const std::string key = ds->BookmarkText(ds->ActiveBuffer()) + "\x01" + "Memo";
    EXPECT_EQ(key.size(), 15u);
    EXPECT_EQ(key.substr(0, 10), std::string(10 - std::to_string(PositionOf(1)).size(), ' ') +
                                     std::to_string(PositionOf(1)));
    ASSERT_NE(ds->BlobCache().Find(key), nullptr);

    char buffer[8];
    EXPECT_EQ(Blob(b).Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(Blob(a).Write("AB", 2), 2);  // at a's own position 0
    EXPECT_TRUE(ds->Modified());
    EXPECT_TRUE(ds->BlobsChanged());
    EXPECT_EQ(Blob(b).Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "45");
    Blob(b).Seek(0, soBeginning);
    EXPECT_EQ(Blob(b).Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "AB23");
    EXPECT_EQ(Blob(b).Write("zz", 2), 0);  // a read stream writes nothing
    Blob(b).SetSize(1);
    EXPECT_EQ(Blob(a).Seek(0, soEnd), 20);
    a.reset();
    b.reset();
    EXPECT_EQ(ds->BlobCache().Count(), 1u);  // written content stays until the post
    ds->Post();
    EXPECT_EQ(ds->BlobCache().Count(), 0u);
    std::string raw = Raw(1);
    EXPECT_EQ(raw.substr(kBlobAt, 8), Ref(0, 5));
    EXPECT_EQ(raw.substr(kMemoAt, 8), Ref(5, 20));
    EXPECT_EQ(raw.substr(kLength), "01234AB234567890123456789");
}

TEST_F(BlobStreamTest, OpenModesAndTheCache) {
    ds->Open();
    Goto(1);
    try {
        ds->CreateBlobStream(*F("Memo"), bmWrite);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Dataset not in edit or insert mode");
    }
    {
        auto r = ds->CreateBlobStream(*F("Blob"), bmRead);
        EXPECT_EQ(ds->BlobCache().Count(), 1u);
        EXPECT_EQ(ReadAll(Blob(r)), "01234");
    }
    EXPECT_EQ(ds->BlobCache().Count(), 0u);  // a filer only read is freed with its stream

    Goto(2);  // a reference of length 0: empty content
    EXPECT_TRUE(F("Blob")->IsNull());
    EXPECT_EQ(ReadAll(Blob(ds->CreateBlobStream(*F("Blob"), bmRead))), "");
    EXPECT_EQ(F("Memo")->AsString(), "cde");

    Goto(1);
    ds->Edit();
    {
        auto w = ds->CreateBlobStream(*F("Blob"), bmWrite);
        EXPECT_EQ(Blob(w).Read(std::array<char, 4>().data(), 4), 0);  // write mode reads nothing
        Blob(w).Write("12345", 5);
    }
    {
        // Written before: a new write starts from empty content.
        auto w = ds->CreateBlobStream(*F("Blob"), bmWrite);
        auto r = ds->CreateBlobStream(*F("Blob"), bmRead);
        EXPECT_EQ(ReadAll(Blob(r)), "");
        Blob(w).Write("9", 1);
    }
    EXPECT_EQ(F("Blob")->AsString(), "9");
    {
        // Open only for reading: the write keeps the content and overwrites from 0.
        auto r = ds->CreateBlobStream(*F("Memo"), bmRead);
        auto w = ds->CreateBlobStream(*F("Memo"), bmWrite);
        Blob(w).Write("XY", 2);
        EXPECT_EQ(ReadAll(Blob(r)), "XY234567890123456789");
    }
    ds->Cancel();
    EXPECT_EQ(ds->BlobCache().Count(), 0u);
    EXPECT_EQ(F("Blob")->AsString(), "01234");
    EXPECT_EQ(F("Memo")->AsString(), "01234567890123456789");
    EXPECT_EQ(Raw(1).substr(kLength), Hundred());
}

TEST_F(BlobStreamTest, BlobWrittenWhileInsertingReadsBackAndIsStored) {
    ds->Open();
    ds->Insert();
    F("Id")->SetAsInteger(10);
    {
        auto w = ds->CreateBlobStream(*F("Memo"), bmWrite);
        Blob(w).Write("hello", 5);
    }
    ASSERT_NE(ds->BlobCache().Find("Memo"), nullptr);  // a new record's blobs: by name
    EXPECT_EQ(ReadAll(Blob(ds->CreateBlobStream(*F("Memo"), bmRead))), "hello");
    EXPECT_FALSE(F("Memo")->IsNull());
    EXPECT_TRUE(F("Blob")->IsNull());
    ds->Post();
    std::string raw = Raw(10);
    EXPECT_EQ(raw.substr(kBlobAt, 8), Ref(0, 0));
    EXPECT_EQ(raw.substr(kMemoAt, 8), Ref(0, 5));
    EXPECT_EQ(raw.substr(kLength), "hello");
    EXPECT_EQ(F("Memo")->AsString(), "hello");

    // Over the limit the insert is refused before anything is stored.
    ds->SetMaxVarRecSize(4);
    ds->Insert();
    F("Id")->SetAsInteger(11);
    F("Memo")->SetAsString("hello");
    try {
        ds->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Variable part of the record is limited to 4 bytes");
    }
    EXPECT_EQ(ds->State(), dsInsert);
    ds->Cancel();
    EXPECT_EQ(Raw(11), "");
}

TEST_F(BlobStreamTest, FilterReadsTheBlobOfTheRecordItJudges) {
    std::vector<std::string> seen;
    ds->OnFilterRecord = [&](TDataSet& set, bool& accept) {
        seen.push_back(set.FieldByName("Memo")->AsString());
        accept = seen.back() == "cde";
    };
    ds->SetFiltered(true);
    ds->Open();
    EXPECT_EQ(F("Id")->AsInteger(), 2);
    ds->Next();
    EXPECT_TRUE(ds->Eof());
    EXPECT_THAT(seen, ::testing::ElementsAre("01234567890123456789", "cde", ""));
    EXPECT_EQ(ds->BlobCache().Count(), 0u);
}

TEST_F(BlobStreamTest, StreamsOutlivingTheDatasetKeepTheirContent) {
    ds->Open();
    Goto(1);
    auto r = ds->CreateBlobStream(*F("Memo"), bmRead);
    ds.reset();
    EXPECT_EQ(ReadAll(Blob(r)), "01234567890123456789");
}

TEST_F(BlobStreamTest, AddRecordInsertsBuffersOfRecordsNotInTheFile) {
    ds->Open();
    Goto(1);
    auto buffer = ds->newRecordBuffer();
    std::memcpy(buffer.get(), ds->ActiveBuffer(), ds->RecordLength());
    int32_t id = 50;
    std::memcpy(buffer.get(), &id, 4);
    ds->setBookmark(buffer.get(), "    999999");  // no record there
    ds->addRecord(buffer.get(), false);
    EXPECT_EQ(Raw(50).substr(4, kLength - 4), Raw(1).substr(4, kLength - 4));
    // A buffer of an existing record is inserted too.
    ds->setBookmark(buffer.get(), ds->BookmarkText(ds->ActiveBuffer()).c_str());
    id = 51;
    std::memcpy(buffer.get(), &id, 4);
    ds->addRecord(buffer.get(), true);
    EXPECT_EQ(Raw(51).size(), size_t{kLength});
}

TEST_F(BlobStreamTest, EditingARecordLockedByAnotherProcess) {
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 1;
        try {
            TBtrieveFile file;
            file.SetFileName(path);
            file.SetAllocateData(true);
            file.SetActive(true);
            int32_t id = 1;
            std::memcpy(file.KeyBuffer(), &id, 4);
            file.BtrExec(recman::kOpGetEqual, recman::kSingleNoWaitLock);
            code = file.Status() == 0 ? 0 : 2;
            (void)!write(ready[1], "1", 1);
            char c;
            (void)!read(done[0], &c, 1);
        } catch (...) {
            (void)!write(ready[1], "0", 1);
        }
        _exit(code);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');

    int sleeps = 0;
    TBtrSleep previous = SetBtrRetrySleep([&](uint16_t ms) {
        EXPECT_EQ(ms, 1);
        ++sleeps;
    });
    ds->Open();
    ds->DataFile()->MaxRetry = 2;
    ds->DataFile()->RetryDelay = 1;
    Goto(1);
    try {
        ds->Edit();
        ADD_FAILURE() << "the locked record was edited";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: " + BtrErrorMessage(recman::kRecordLocked,
                                                              recman::kOpGetDirect, path));
        EXPECT_NE(e.Message().find(Utf8ToAnsi("Запись блокирована(84)")), std::string::npos);
    }
    EXPECT_EQ(sleeps, 2);
    EXPECT_EQ(ds->State(), dsBrowse);

    // Once the other process lets go, the edit goes through.
    ASSERT_EQ(write(done[1], "1", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ds->Edit();
    F("Name")->SetAsString("free");
    ds->Post();
    EXPECT_EQ(Raw(1).substr(kNameAt, 5), std::string("free\0", 5));
    EXPECT_EQ(Raw(1).substr(kLength), "01234" + Hundred().substr(10, 20));  // back to back
    SetBtrRetrySleep(previous);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

}  // namespace
