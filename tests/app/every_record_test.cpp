// Every record of a file reaches the script, whatever its key 0 holds: a descending key,
// null values the key leaves out, zero dates, negative autoincrement and floating values
// below any invented lowest value, and no key at all; with the program's own dictionary, a
// DDF dictionary and none.
#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "command_line_fixture.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "recman/btrieve_codes.h"
#include "tests/dataset/btr_files.h"

namespace {

enum TDictKind { dkOwn, dkDdf, dkNone };
const char* const kDictNames[] = {"own dictionary", "DDF", "no dictionary"};

struct TKindCase {
    const char* name;
    uint8_t keyType;  // 255: the file has no key
    uint16_t keyFlags;
    int ownCode;  // the own dictionary's type code; 0: it has none for the key's type
    int ddfCode;
    uint16_t size;
    std::vector<std::string> values;  // the records: the key field's bytes alone
    bool notice;                      // read in physical order, said on standard error
};

template <typename T>
std::string Le(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}
std::string Date(int day, int month, int year) {
    return std::string{static_cast<char>(day), static_cast<char>(month)} +
           Le(static_cast<uint16_t>(year));
}
// Microsoft Binary Format, 8 bytes: mantissa, sign in bit 7 of byte 6, exponent in byte 7.
std::string Mbf(bool negative, uint8_t exponent) {
    std::string b(8, '\0');
    b[6] = static_cast<char>(negative ? 0x80 : 0);
    b[7] = static_cast<char>(exponent);
    return b;
}

const TKindCase kKinds[] = {
    {"descending integer",
     recman::kInteger,
     recman::kKeyDescending,
     3,
     1,
     4,
     {Le(1), Le(2), Le(3), Le(4)},
     false},
    {"null value of a null key",
     recman::kInteger,
     recman::kKeyNullAll,
     3,
     1,
     4,
     {Le(0), Le(7), Le(0), Le(9)},
     true},
    {"zero date",
     recman::kDate,
     0,
     5,
     3,
     4,
     {Date(0, 0, 0), Date(1, 1, 1), Date(31, 12, 1999), Date(0, 0, 0)},
     false},
    {"negative autoincrement",
     recman::kAutoincrement,
     0,
     22,
     15,
     4,
     {Le(-5), Le(-1), Le(1), Le(2)},
     false},
    {"lowest double",
     recman::kFloat,
     0,
     4,
     2,
     8,
     {Le(-DBL_MAX), Le(-1.5), Le(0.0), Le(DBL_MAX)},
     false},
    {"negative BFLOAT",
     recman::kBfloat,
     0,
     0,
     9,
     8,
     {Mbf(true, 0x82), Mbf(true, 0x81), Mbf(false, 0), Mbf(false, 0x81)},
     false},
    {"no key", 255, 0, 3, 1, 4, {Le(3), Le(1), Le(2)}, false},
};

std::string OemName(const std::string& utf8, size_t size) {
    std::string name = AnsiToOemText(Utf8ToAnsi(utf8));
    name.resize(size, ' ');
    return name;
}

// FILE.DDF, FIELD.DDF and INDEX.DDF describing one table Kinds of one column K in data.dbt.
void WriteDdf(const TTempDir& dir, const TKindCase& c) {
    const auto key = [](uint16_t length, bool duplicates) {
        return std::vector<std::vector<recman::KeySegment>>{
            {Segment(1, length, recman::kInteger, false, duplicates)}};
    };
    std::vector<std::string> files, fields, indexes;
    auto file = [&](uint16_t id, const char* name, const char* location, uint8_t flags) {
        files.push_back(TRecordBytes(97)
                            .Value(0, id)
                            .Text(2, OemName(name, 20))
                            .Text(22, OemName(location, 64))
                            .Value(86, flags)
                            .Bytes());
    };
    auto field = [&](uint16_t id, uint16_t file, const char* name, int type, int offset, int size) {
        fields.push_back(TRecordBytes(32)
                             .Value(0, id)
                             .Value(2, file)
                             .Text(4, OemName(name, 20))
                             .Value(24, static_cast<uint8_t>(type))
                             .Value(25, static_cast<uint16_t>(offset))
                             .Value(27, static_cast<uint16_t>(size))
                             .Bytes());
    };
    file(1, "X$File", "FILE.DDF", 16);
    file(2, "X$Field", "FIELD.DDF", 16);
    file(3, "X$Index", "INDEX.DDF", 16);
    file(10, "Kinds", "data.dbt", 0);
    field(1, 2, "Xe$Id", 1, 0, 2);
    field(2, 2, "Xe$DataType", 1, 24, 1);
    field(3, 2, "Xe$Offset", 1, 25, 2);
    field(4, 2, "Xe$Size", 1, 27, 2);
    field(5, 10, "K", c.ddfCode, 0, c.size);
    if (c.keyType != 255)
        indexes.push_back(TRecordBytes(10).Value<uint16_t>(0, 10).Value<uint16_t>(2, 5).Bytes());
    MakeBtrieveFile(dir.Path("FILE.DDF"), 97, key(2, false), files);
    MakeBtrieveFile(dir.Path("FIELD.DDF"), 32, key(2, false), fields);
    MakeBtrieveFile(dir.Path("INDEX.DDF"), 10, key(2, true), indexes);
}

class EveryRecord : public TCommandLineTest {
  protected:
    // Builds data.dbt and the dictionary for the case; answers the --dict argument or "".
    std::string Build(const TTempDir& dir, const TKindCase& c, TDictKind kind) {
        std::vector<std::vector<recman::KeySegment>> keys;
        if (c.keyType != 255) {
            recman::KeySegment s =
                Segment(1, c.size, c.keyType, false, c.keyType != recman::kAutoincrement);
            s.flags |= c.keyFlags;
            keys.push_back({s});
        }
        MakeBtrieveFile(dir.Path("data.dbt"), c.size, keys, c.values);
        if (kind == dkDdf) {
            WriteDdf(dir, c);
            return dir.Path("FILE.DDF");
        }
        if (kind == dkNone) return "";
        std::vector<TDictSegment> dictKeys;
        if (c.keyType != 255) dictKeys.push_back({"K"});
        MakeDictionary(dir.Path("data.def"), {{"data.dbt", {{"K", c.ownCode, c.size}}, dictKeys}});
        return dir.Path("data.def");
    }
    int Run(const std::string& dict, const std::string& base, const std::string& sql,
            const char* target) {
        std::vector<std::string> args = {"quorvath", "--base",   base,       "--sql",
                                         sql,        "--no-ddl", "--target", target};
        if (!dict.empty()) args.insert(args.end(), {"--dict", dict});
        out_.str("");
        err_.str("");
        return RunCommandLine(args, env_);
    }
    // The INSERT lines of the script; each must name the table.
    static int Inserts(const std::string& sql, const std::string& table) {
        std::ifstream in(sql, std::ios::binary);
        std::string line;
        int count = 0;
        while (std::getline(in, line))
            if (line.rfind("INSERT", 0) == 0) {
                EXPECT_EQ(line.substr(0, 14 + table.size()), "INSERT INTO " + table + " (");
                ++count;
            }
        return count;
    }

    TDefaultSession session_;
};

TEST_F(EveryRecord, EveryKindOfKeyZeroWithEveryDictionary) {
    for (const TKindCase& c : kKinds)
        for (TDictKind kind : {dkOwn, dkDdf, dkNone}) {
            if (kind == dkOwn && c.ownCode == 0) continue;
            SCOPED_TRACE(std::string(c.name) + ", " + kDictNames[kind]);
            TTempDir dir;
            const std::string dict = Build(dir, c, kind);
            const std::string sql = dir.Path("out.sql");
            // The raw bytes of a file without keys read without a dictionary have a literal in
            // a target's script, not in the classic one.
            const bool raw = kind == dkNone && c.keyType == 255;
            ASSERT_EQ(Run(dict, dir.Path("data.dbt"), sql, raw ? "postgresql" : "classic"),
                      kExitDone)
                << err_.str();
            const int n = static_cast<int>(c.values.size());
            const std::string done =
                "Extract completed successfuly!\nRecords imported: " + std::to_string(n) + "\n";
            EXPECT_EQ(out_.str().substr(0, done.size()), done);
            EXPECT_EQ(err_.str(), c.notice ? "Key 0 does not hold every record: records are "
                                             "read in physical order\n"
                                           : "");
            // The table: the DDF's name for it, else the data file's.
            EXPECT_EQ(Inserts(sql, kind == dkDdf ? "Kinds" : "data"), n);
        }
}

// The dataset walks both ways in the order it chose, and finds by a null key's field every
// record, the null ones too.
TEST(EveryRecordWalk, NullKeyStepsThroughTheFileBothWays) {
    struct TCase {
        uint16_t flags;
        std::vector<int> forward;
        bool physical;
    } cases[] = {{recman::kKeyNullAll, {5, 0, 3, 0}, true},
                 {recman::kKeyNullAny, {5, 0, 3, 0}, true},
                 {0, {0, 0, 3, 5}, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.flags);
        TDefaultSession session;
        TTempDir dir;
        recman::KeySegment s = Segment(1, 4, recman::kInteger);
        s.flags |= c.flags;
        MakeBtrieveFile(dir.Path("data.dbt"), 4, {{s}}, {Le(5), Le(0), Le(3), Le(0)});
        MakeDictionary(dir.Path("data.def"), {{"data.dbt", {{"K", 3, 4}}, {{"K"}}}});
        TBDataSet ds;
        ds.SetReadOnly(true);
        ds.SetDictName(dir.Path("data.def"));
        ds.SetBaseName(dir.Path("data.dbt"));
        ds.Open();
        EXPECT_EQ(ds.PhysicalOrder(), c.physical);
        EXPECT_EQ(ds.OrderNotice(), c.physical ? "Key 0 does not hold every record: records are "
                                                 "read in physical order"
                                               : "");
        std::vector<int> forward, backward;
        for (ds.First(); !ds.Eof(); ds.Next()) forward.push_back(ds.FieldByName("K")->AsInteger());
        for (ds.Last(); !ds.Bof(); ds.Prior()) backward.push_back(ds.FieldByName("K")->AsInteger());
        EXPECT_EQ(forward, c.forward);
        EXPECT_EQ(backward, std::vector<int>(c.forward.rbegin(), c.forward.rend()));
        for (int k : {0, 3}) {
            EXPECT_TRUE(ds.Locate("K", TVariant(int64_t{k}))) << k;
            EXPECT_EQ(ds.FieldByName("K")->AsInteger(), k);
        }
        EXPECT_FALSE(ds.Locate("K", TVariant(int64_t{4})));
        EXPECT_EQ(ds.RecordCount(), 4);
    }
}

}  // namespace
