// Limits: file names past the call's one-byte length, owner names past eight characters,
// 119 key segments, a 4096-byte record, a 64 MiB variable part, dictionaries of 10,000 and
// 33,000 fields (past a signed 16-bit count). Each works or gets its status and message; no count
// wraps.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/export_run.h"
#include "btr_files.h"
#include "btr_helpers.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "recman/btrieve_codes.h"
#include "tools/btrutil/commands.h"

namespace {

using recman_test::Handle;
using recman_test::Seg;
using recman_test::Spec;

std::string Tool(std::vector<std::string> args, int& status) {
    std::ostringstream out, err;
    status = btrutil::Run(args, out, err);
    return err.str();
}

// A path of exactly length bytes in dir (folders of 100-byte names, then the file).
std::string PathOfLength(const std::string& dir, size_t length) {
    std::string path = dir;
    while (path.size() + 101 < length) {
        path += "/" + std::string(99, 'd') + "d";
        std::filesystem::create_directories(path);
    }
    return path + "/" + std::string(length - path.size() - 1, 'f');
}

TEST(Limits, FileNamesPastTheCallsOneByteLength) {
    TTempDir dir;
    const std::string fits = PathOfLength(dir.Path("x").substr(0, dir.Path("x").size() - 2), 254);
    const std::string over = fits + "x";
    ASSERT_EQ(fits.size(), 254u);
    int status = 0;
    EXPECT_EQ(recman_test::Create(fits, Spec(8, 0, {{1, 4, 0, recman::kInteger}})), 0);
    TBtrieveFile file;
    file.SetFileName(fits);
    file.SetActive(true);
    EXPECT_TRUE(file.Active());
    file.SetActive(false);
    file.SetFileName(over);
    try {
        file.SetActive(true);
        FAIL() << "opened";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Status, 11);
    }
    EXPECT_EQ(Tool({"-stat", over}, status),
              "btrutil: the file name " + over + " is longer than 254 bytes\n");
    EXPECT_EQ(status, 1);
}

TEST(Limits, OwnerNamesPastEightCharacters) {
    TTempDir dir;
    const std::string path = dir.Path("o.dat");
    ASSERT_EQ(recman_test::Create(path, Spec(8, 0, {{1, 4, 0, recman::kInteger}})), 0);
    int status = 0;
    EXPECT_EQ(Tool({"-setowner", path, "/Oabcdefghi", "0"}, status),
              "btrutil: the owner name abcdefghi is longer than 8 characters\n");
    EXPECT_EQ(status, 1);
    Tool({"-setowner", path, "/Oabcdefgh", "0"}, status);
    EXPECT_EQ(status, 0);
    // The dataset layer passes the first eight characters, as the vendor's engine reads them.
    TBtrieveFile file;
    file.SetFileName(path);
    file.SetFileOwner("abcdefghXYZ");
    file.SetActive(true);
    EXPECT_TRUE(file.Active());
}

TEST(Limits, KeySegmentsUpTo119) {
    TTempDir dir;
    std::vector<Seg> segments;
    for (uint16_t i = 0; i < 120; ++i)
        segments.push_back(
            {static_cast<uint16_t>(1 + 2 * i), 2,
             static_cast<uint16_t>(i % 2 == 0 && i < 119 ? recman::kKeySegmented : 0),
             recman::kString});
    // 120 segments in 60 keys of two: refused.
    EXPECT_EQ(recman_test::Create(dir.Path("s120.dat"), Spec(240, 0, segments)),
              recman::kInvalidNumberOfKeys);
    segments.pop_back();
    segments.back().flags = 0;
    ASSERT_EQ(recman_test::Create(dir.Path("s119.dat"), Spec(240, 0, segments)), 0);
    Handle h;
    ASSERT_EQ(h.Open(dir.Path("s119.dat")), 0);
    std::string stat(4096, '\0');
    ASSERT_EQ(h.Call(15, stat, 0), 0);
    EXPECT_EQ(static_cast<uint8_t>(stat[4]), 60);
    EXPECT_EQ(h.Insert(std::string(240, 'a'), 0), 0);
    EXPECT_EQ(h.Get(12, 59, nullptr, 240), 0);
}

TEST(Limits, RecordsOf4096BytesAndVariablePartsOf64MiB) {
    TTempDir dir;
    ASSERT_EQ(recman_test::Create(dir.Path("r.dat"), Spec(4096, 0, {{1, 4, 0, recman::kInteger}})),
              0);
    Handle h;
    ASSERT_EQ(h.Open(dir.Path("r.dat")), 0);
    std::string record = recman_test::Record(7, "", 4096);
    record[4095] = '!';
    EXPECT_EQ(h.Insert(record), 0);
    EXPECT_EQ(h.Insert(record.substr(0, 4095)), recman::kDataBufferTooShort);
    std::string back;
    EXPECT_EQ(h.Get(12, 0, &back, 4096), 0);
    EXPECT_TRUE(back == record);
    h.Close();

    ASSERT_EQ(recman_test::Create(dir.Path("v.dat"),
                                  Spec(8, recman::kFileVariable, {{1, 4, 0, recman::kInteger}})),
              0);
    ASSERT_EQ(h.Open(dir.Path("v.dat")), 0);
    std::string big = recman_test::Int32(1) + "head" + std::string(64u << 20, 'v');
    big.back() = '$';
    EXPECT_EQ(h.Insert(big), 0);
    // A buffer too short gets 22 and the fixed part; one of the whole size the record.
    EXPECT_EQ(h.Get(12, 0, &back, 65536), recman::kDataBufferTooShort);
    EXPECT_EQ(h.Get(12, 0, &back, big.size()), 0);
    EXPECT_TRUE(back == big);
}

// A file of count one-byte (or two-byte) fields with one record, and its dictionary.
void MakeWideFile(TTempDir& dir, int count, int size) {
    TDictFile file{"wide.dbt", {}, {{"F0"}}};
    for (int i = 0; i < count; ++i)
        file.Fields.push_back({"F" + std::to_string(i), size == 1 ? 21 : 2, size});
    MakeDictionary(dir.Path("wide.def"), {file});
    std::string record(static_cast<size_t>(count * size), '\0');
    for (int i = 0; i < count; ++i)
        record[static_cast<size_t>(i * size)] = static_cast<char>(i % 100);
    MakeBtrieveFile(dir.Path("wide.dbt"), static_cast<uint16_t>(record.size()),
                    {{Segment(1, static_cast<uint16_t>(size), size == 1 ? 14 : 1)}}, {record});
}

TEST(Limits, DictionariesOfTenAndThirtyThreeThousandFields) {
    for (auto [count, size] : {std::pair{10000, 2}, std::pair{33000, 1}}) {
        TTempDir dir;
        TDefaultSession session;
        MakeWideFile(dir, count, size);
        TBDataSet ds;
        ds.SetDictName(dir.Path("wide.def"));
        ds.SetBaseName(dir.Path("wide.dbt"));
        ds.Open();
        ASSERT_EQ(ds.FieldCount(), count);
        ds.First();
        const TFieldList& fields = ds.FieldList();
        EXPECT_EQ(fields[static_cast<size_t>(count - 1)]->FieldName(),
                  "F" + std::to_string(count - 1));
        EXPECT_EQ(fields[static_cast<size_t>(count - 1)]->AsInteger(), (count - 1) % 100);
        EXPECT_EQ(fields[12345 % count]->AsInteger(), (12345 % count) % 100);
    }
}

}  // namespace
