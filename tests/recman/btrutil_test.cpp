// The maintenance tool: description files and their errors, the unformatted file of -save and
// -load byte for byte, owner names, -stat, -copy and -clone, exit statuses and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "btr_helpers.h"
#include "tests/support/shared_samples.h"
#include "tools/btrutil/commands.h"
#include "tools/btrutil/description.h"

namespace {

using namespace recman_test;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Tool(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = btrutil::Run(args, out, err);
    return {status, out.str(), err.str()};
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string DescriptionError(const std::string& text) {
    try {
        btrutil::ParseDescription(text);
    } catch (const btrutil::DescriptionError& e) {
        return e.what();
    }
    return "no error";
}

const char* kOneKey =
    "/* one integer key\n   and a comment of two lines */\n"
    "record=12 variable=n key=1 page=1024\n"
    "position=1 length=4 duplicates=n modifiable=y type=int segment=n\n";

TEST(BtrutilDescription, ErrorsNameTheirLineAndElement) {
    EXPECT_EQ(DescriptionError("record=100 variable=n\n"), "line 1: element 'key=' is missing");
    EXPECT_EQ(DescriptionError("variable=n record=100 key=0\n"),
              "line 1, element 'variable=n': expected 'record=' here");
    EXPECT_EQ(DescriptionError("record=100 key=1\n"
                               "position=1 length=4 duplicates=n modifiable=n type=intx "
                               "segment=n\n"),
              "line 2, element 'type=intx': unknown key type");
    EXPECT_EQ(DescriptionError("record=10 key=1\n\n"
                               "position=8 length=4 duplicates=n modifiable=n type=int "
                               "segment=n\n"),
              "line 3, element 'length=4': the segment ends beyond the record length");
    EXPECT_EQ(DescriptionError("record=10 key=1\n"
                               "length=4 position=1 duplicates=n modifiable=n type=int "
                               "segment=n\n"),
              "line 2, element 'length=4': unknown or misplaced element");
    EXPECT_EQ(DescriptionError("record=10 key=1\nposition=1 length=4 duplicates=maybe\n"),
              "line 2, element 'duplicates=maybe': must be y or n");
    EXPECT_EQ(DescriptionError("record=10 key=1\n"
                               "position=1 length=2 duplicates=y modifiable=n type=str "
                               "nullkey=allsegs segment=n\n"),
              "line 2, element 'nullkey=allsegs': a null key needs value=");
    EXPECT_EQ(DescriptionError("record=10 key=1\n"
                               "position=1 length=2 duplicates=y modifiable=n type=str\n"),
              "line 2: element 'segment=' is missing at the end of the file");
    EXPECT_EQ(DescriptionError("record=x key=1\n"), "line 1, element 'record=x': not a number");
    EXPECT_EQ(DescriptionError("/* open comment\nrecord=10"),
              "line 1: the comment block is not closed");
    TempDir dir;
    Write(dir.File("bad.des"), "record=100 key=1\nposition=0 length=4\n");
    Result r = Tool({"-create", dir.File("x.dat"), dir.File("bad.des")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: description file " + dir.File("bad.des") +
                         ": line 2, element 'position=0': must be from 1 to 100\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.dat")));
}

TEST(BtrutilDescription, TypeNamesInFullOrByThreeLettersAndKeyFlags) {
    std::string spec = btrutil::ParseDescription(
        "record=64 variable=y key=3 page=4096\n"
        "position=1 length=4 duplicates=n modifiable=n type=autoincrement segment=n\n"
        "position=5 length=8 duplicates=y modifiable=y type=unsigned binary descending=y "
        "segment=y\n"
        "position=13 length=10 duplicates=y modifiable=y type=zst caseinsensitive=y "
        "nullkey=anyseg value=20 segment=n\n"
        "position=23 length=4 DUPLICATES=N modifiable=n Type=Flo segment=n\n");
    ASSERT_EQ(spec.size(), 16u + 4 * 16);
    EXPECT_EQ(recman::LoadU16(&spec[0]), 64);
    EXPECT_EQ(recman::LoadU16(&spec[4]), 3);
    EXPECT_EQ(recman::LoadU16(&spec[10]), recman::kFileVariable);
    auto seg = [&](int i) { return spec.data() + 16 + 16 * i; };
    EXPECT_EQ(static_cast<uint8_t>(seg(0)[10]), recman::kAutoincrement);
    EXPECT_EQ(static_cast<uint8_t>(seg(1)[10]), recman::kUnsignedBinary);
    EXPECT_EQ(recman::LoadU16(seg(1) + 4), recman::kKeyExtended | recman::kKeyDuplicates |
                                               recman::kKeyModifiable | recman::kKeyDescending |
                                               recman::kKeySegmented);
    EXPECT_EQ(static_cast<uint8_t>(seg(2)[10]), recman::kZstring);
    EXPECT_EQ(recman::LoadU16(seg(2) + 4), recman::kKeyExtended | recman::kKeyDuplicates |
                                               recman::kKeyModifiable |
                                               recman::kKeyCaseInsensitive | recman::kKeyNullAny);
    EXPECT_EQ(seg(2)[11], 0x20);
    EXPECT_EQ(recman::LoadU16(seg(2)), 13);
    EXPECT_EQ(static_cast<uint8_t>(seg(3)[10]), recman::kFloat);
}

TEST(Btrutil, SaveAndLoadRoundTripByteForByte) {
    TempDir dir;
    std::string data = dir.File("f.dat"), copy = dir.File("g.dat");
    Write(dir.File("f.des"), kOneKey);
    Result created = Tool({"-CREATE", data, dir.File("f.des")});
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.out, "The file " + data + " was created.\n");
    // Records with the bytes that frame the format inside them.
    std::string r2 = Int32(2) + std::string("\r\n\x1A,12,\0\r", 8);
    std::string r1 = Int32(-1) + std::string(
                                     "ab\0cd\x1A\x1A\x1A"
                                     "ef",
                                     8);
    std::string input = "12," + r2 + "\r\n12," + r1 + "\r\n\x1A";
    Write(dir.File("in.unf"), input);
    Result loaded = Tool({"-load", dir.File("in.unf"), data});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, "2 records were inserted into " + data + ".\n");
    // As stored without a key, along key 0 with N 0.
    Result saved = Tool({"-Save", data, dir.File("out.unf")});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "2 records were saved from " + data + ".\n");
    EXPECT_EQ(Read(dir.File("out.unf")), input);
    ASSERT_EQ(Tool({"-save", data, dir.File("out.unf"), "n", "0"}).status, 0);
    EXPECT_EQ(Read(dir.File("out.unf")), "12," + r1 + "\r\n12," + r2 + "\r\n\x1A");
    // A clone has the layout and none of the records; -copy fills it.
    ASSERT_EQ(Tool({"-clone", copy, data}).status, 0);
    Handle h;
    ASSERT_EQ(h.Open(copy), 0);
    EXPECT_EQ(h.RecordCount(), 0u);
    Result copied = Tool({"-copy", data, copy});
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(copied.out, "2 records were inserted into " + copy + ".\n");
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{-1, 2}));
    // Saving along a key number that does not exist.
    Result badKey = Tool({"-save", data, dir.File("k.unf"), "N", "3"});
    EXPECT_EQ(badKey.status, 6);
    EXPECT_EQ(badKey.err, "btrutil: status 6 (invalid key number) on save of " + data + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("k.unf")));
}

TEST(Btrutil, LoadReportsMalformedInputAndFailingInserts) {
    TempDir dir;
    std::string data = dir.File("f.dat");
    Write(dir.File("f.des"), kOneKey);
    ASSERT_EQ(Tool({"-create", data, dir.File("f.des")}).status, 0);
    Write(dir.File("short.unf"), "12," + Record(1, "", 12) + "\r\n12,abc");
    Result r = Tool({"-load", dir.File("short.unf"), data});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: unformatted file " + dir.File("short.unf") +
                         ": record 2 at byte 17: the file ends inside the record; 1 records "
                         "were inserted\n");
    Write(dir.File("nolen.unf"), "x,abc\r\n");
    r = Tool({"-load", dir.File("nolen.unf"), data});
    EXPECT_EQ(r.err, "btrutil: unformatted file " + dir.File("nolen.unf") +
                         ": record 1 at byte 0: expected the record length; 0 records were "
                         "inserted\n");
    // A duplicate stops the load; what went in before it stays.
    Write(dir.File("dup.unf"),
          "12," + Record(2, "", 12) + "\r\n12," + Record(1, "", 12) + "\r\n\x1A");
    r = Tool({"-load", dir.File("dup.unf"), data});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.err, "btrutil: status 5 (duplicate key value) on insert of record 2 into " + data +
                         "; 1 records were inserted\n");
    Handle h;
    ASSERT_EQ(h.Open(data), 0);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1, 2}));
    // A record of the wrong length for a fixed-length file.
    Write(dir.File("len.unf"), "3,abc\r\n\x1A");
    r = Tool({"-load", dir.File("len.unf"), data});
    EXPECT_EQ(r.status, 22);
}

TEST(Btrutil, LoadRefusesADeclaredLengthBeforeTakingRoomForIt) {
    TempDir dir;
    std::string data = dir.File("f.dat");
    Write(dir.File("f.des"), "record=4 variable=y key=0\n");
    ASSERT_EQ(Tool({"-create", data, dir.File("f.des")}).status, 0);
    // Eleven bytes declaring 4 GiB, a length past the limit, and one past the file's end.
    const std::pair<const char*, std::string> cases[] = {
        {"huge.unf", "4294967295,"},
        {"limit.unf", "8,abcd1234\r\n1073741825,abc"},
        {"end.unf", "5,abcde\r\n1000000,abcdef\r\n\x1A"},
    };
    const char* expected[] = {
        "record 1 at byte 0: the record length is too large; 0 records were inserted",
        "record 2 at byte 12: the record length is too large; 1 records were inserted",
        "record 2 at byte 9: the file ends inside the record; 1 records were inserted",
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Write(dir.File(cases[i].first), cases[i].second);
        Result r = Tool({"-load", dir.File(cases[i].first), data});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "btrutil: unformatted file " + dir.File(cases[i].first) + ": " +
                             expected[i] + "\n");
    }
    Handle h;
    ASSERT_EQ(h.Open(data), 0);
    EXPECT_EQ(h.RecordCount(), 2u);
}

TEST(Btrutil, SaveOfAFileWithoutKeysReadsLongRecordsAgainPhysically) {
    TempDir dir;
    std::string data = dir.File("v.dat");
    Write(dir.File("v.des"), "record=4 variable=y key=0\n");
    ASSERT_EQ(Tool({"-create", data, dir.File("v.des")}).status, 0);
    std::string input;
    std::string records[3] = {std::string(70000, 'a'), "abcd", std::string(300000, 'z')};
    records[2][299999] = '!';
    for (const std::string& r : records) input += std::to_string(r.size()) + "," + r + "\r\n";
    input += "\x1A";
    Write(dir.File("in.unf"), input);
    ASSERT_EQ(Tool({"-load", dir.File("in.unf"), data}).status, 0);
    Result saved = Tool({"-save", data, dir.File("out.unf")});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "3 records were saved from " + data + ".\n");
    EXPECT_TRUE(Read(dir.File("out.unf")) == input);
    // A copy walks the same physical path.
    std::string copy = dir.File("c.dat");
    ASSERT_EQ(Tool({"-clone", copy, data}).status, 0);
    Result copied = Tool({"-copy", data, copy});
    ASSERT_EQ(copied.status, 0) << copied.err;
    ASSERT_EQ(Tool({"-save", copy, dir.File("copy.unf")}).status, 0);
    EXPECT_TRUE(Read(dir.File("copy.unf")) == input);
}

// An existing file is replaced only with Y, and only when it is one of the record manager's
// own files; a refused file keeps every byte.
TEST(Btrutil, CreateReplacesOnlyItsOwnFilesAndOnlyWhenAsked) {
    TempDir dir;
    Write(dir.File("f.des"), kOneKey);
    const std::string vendor =
        std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/F17.DAT";
    struct Case {
        bool own;
        std::vector<std::string> extra;
        bool replaced;
    } cases[] = {{true, {}, false},
                 {true, {"N"}, false},
                 {true, {"y"}, true},
                 {false, {}, false},
                 {false, {"Y"}, false}};
    for (const Case& c : cases) {
        const std::string data = dir.File(c.own ? "own.dat" : "F17.DAT");
        std::filesystem::remove(data);
        if (c.own) {
            ASSERT_EQ(Tool({"-create", data, dir.File("f.des")}).status, 0);
            Write(dir.File("in.unf"), "12," + std::string(12, 'x') + "\r\n\x1A");
            ASSERT_EQ(Tool({"-load", dir.File("in.unf"), data}).status, 0);
        } else {
            std::filesystem::copy_file(vendor, data);
        }
        const std::string before = Read(data);
        std::vector<std::string> args = {"-create", data, dir.File("f.des")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        Result r = Tool(args);
        SCOPED_TRACE(data + (c.extra.empty() ? "" : " " + c.extra[0]));
        if (c.replaced) {
            EXPECT_EQ(r.status, 0) << r.err;
            Handle h;
            ASSERT_EQ(h.Open(data), 0);
            EXPECT_EQ(h.RecordCount(), 0u);
            continue;
        }
        EXPECT_EQ(r.status, 59);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "btrutil: status 59 (file already exists) on create of " + data +
                             (c.extra.empty() || c.extra[0] != "Y"
                                  ? "; Y after the description file replaces it\n"
                                  : ": it is not a file of this record manager and is not "
                                    "replaced\n"));
        EXPECT_TRUE(Read(data) == before);
    }
}

// Records whose key 0 holds its null value are in no walk along key 0, and in the save.
TEST(Btrutil, SaveKeepsRecordsANullKeyLeavesOut) {
    TempDir dir;
    const std::string data = dir.File("n.dat");
    Write(dir.File("n.des"),
          "record=4 variable=n key=1\n"
          "position=1 length=4 duplicates=y modifiable=y type=int nullkey=allsegs value=00 "
          "segment=n\n");
    ASSERT_EQ(Tool({"-create", data, dir.File("n.des")}).status, 0);
    const std::string input = "4," + Int32(5) + "\r\n4," + Int32(0) + "\r\n4," + Int32(3) +
                              "\r\n4," + Int32(0) + "\r\n\x1A";
    Write(dir.File("in.unf"), input);
    ASSERT_EQ(Tool({"-load", dir.File("in.unf"), data}).status, 0);
    Result saved = Tool({"-save", data, dir.File("out.unf")});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "4 records were saved from " + data + ".\n");
    EXPECT_TRUE(Read(dir.File("out.unf")) == input);
    // Along the key, as asked: only the records it holds.
    Result keyed = Tool({"-save", data, dir.File("key.unf"), "N", "0"});
    EXPECT_EQ(keyed.out, "2 records were saved from " + data + ".\n");
    EXPECT_TRUE(Read(dir.File("key.unf")) == "4," + Int32(3) + "\r\n4," + Int32(5) + "\r\n\x1A");
}

TEST(Btrutil, OwnerNamesAndStat) {
    TempDir dir;
    std::string data = dir.File("o.dat");
    Write(dir.File("o.des"), kOneKey);
    ASSERT_EQ(Tool({"-create", data, dir.File("o.des")}).status, 0);
    Result set = Tool({"-setowner", data, "/Osecret", "0"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "The owner name of " + data + " was set.\n");
    Result denied = Tool({"-stat", data});
    EXPECT_EQ(denied.status, 51);
    EXPECT_EQ(denied.err, "btrutil: status 51 (invalid owner name) on open of " + data + "\n");
    Result stat = Tool({"-STAT", data, "-Osecret"});
    ASSERT_EQ(stat.status, 0) << stat.err;
    EXPECT_EQ(stat.out, "File Statistics for " + data +
                            "\n\n"
                            "Page Size = 1024\n"
                            "Key Only = No\n"
                            "Total Number of Records = 0\n"
                            "Record Length = 12\n"
                            "Record Compression = No\n"
                            "Variable Records = No\n"
                            "Blank Truncation = No\n"
                            "Total Number of Keys = 1\n"
                            "Total Number of Segments = 1\n\n"
                            "Key Segment Position Length Type            Flags Null Unique     "
                            "ACS\n"
                            "0   1       1        4      Integer         M     --   0          "
                            "--\n\n"
                            "Legend: D = Duplicates, R = Repeating Duplicates, M = Modifiable,\n"
                            "L = Null Key (All Segments), A = Null Key (Any Segment), < = "
                            "Descending,\n"
                            "I = Case Insensitive; Null values are hexadecimal.\n");
    ASSERT_EQ(Tool({"-clrowner", data, "/Osecret"}).status, 0);
    EXPECT_EQ(Tool({"-stat", data}).status, 0);
    EXPECT_EQ(Tool({"-setowner", data, "/Otoolongname", "0"}).err,
              "btrutil: the owner name toolongname is longer than 8 characters\n");
    EXPECT_EQ(Tool({"-frobnicate"}).status, 1);
}

}  // namespace

namespace {

// A file the vendor-format reader refuses names the reason after the status; the next
// failing open of one of our own files does not repeat it.
TEST(Btrutil, RefusedFileNamesItsReasonOnce) {
    TempDir dir;
    const std::string bogus = dir.File("bogus.dat");
    Write(bogus, "not a data file");
    Result refused = Tool({"-stat", bogus});
    EXPECT_EQ(refused.status, 30);
    EXPECT_EQ(refused.err, "btrutil: status 30 (not a Btrieve file) on open of " + bogus +
                               ": Not a Btrieve file: the file is too short\n");
    const std::string data = dir.File("o.dat");
    Write(dir.File("o.des"), kOneKey);
    ASSERT_EQ(Tool({"-create", data, dir.File("o.des")}).status, 0);
    ASSERT_EQ(Tool({"-setowner", data, "/Osecret", "0"}).status, 0);
    EXPECT_EQ(Tool({"-stat", data}).err,
              "btrutil: status 51 (invalid owner name) on open of " + data + "\n");
}

TEST(Btrutil, HelpAndVersionAnswerOnStandardOutput) {
    const std::string usage = "Usage: btrutil [-engine LIBRARY] -COMMAND ARGUMENTS\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string outStart;  // the first line of standard output
        std::string errStart;  // the first line of standard error
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        {{"--help", "extra"}, 0, usage, ""},
        {{"--version"}, 0, "btrutil ", ""},
        {{"-engine", "embedded", "--version"}, 0, "btrutil ", ""},
        {{"--version", "extra"}, 1, "", "btrutil: usage: btrutil -ver\n"},
        {{"--helps"}, 1, "", "btrutil: unknown command --helps\n"},
        {{"-H"}, 1, "", "btrutil: unknown command -H\n"},
        {{}, 1, "", usage},
    };
    for (const Case& c : cases) {
        const Result r = Tool(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1).rfind(c.outStart, 0), 0u) << r.out;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1).rfind(c.errStart, 0), 0u) << r.err;
        EXPECT_EQ(r.out.empty(), c.status != 0) << what;
    }
    // The version names the engine that serves on its second line.
    const Result version = Tool({"--version"});
    EXPECT_EQ(version.out.substr(version.out.find('\n') + 1),
              "Engine: embedded record manager, version 6.15 N, 6.15 L\n");
    EXPECT_EQ(Tool({"--help"}).out, Tool({"-h"}).out);
}

}  // namespace

// -save over the accounting package's 89 files: each gives as many records as an
// independent decoder found, in physical order and along key 0 alike (a key with null
// values excepted).
TEST(BtrutilShared, SaveGivesEveryRecordOfEveryFile) {
    const std::vector<sharedsamples::TRow> rows = sharedsamples::ExchequerRows();
    if (rows.empty()) GTEST_SKIP() << "the shared samples are not beside the source tree";
    TempDir dir;
    for (const sharedsamples::TRow& row : rows) {
        const std::string path = sharedsamples::Folder() + "/exchequer/" + row.path;
        SCOPED_TRACE(row.path);
        const Result physical = Tool({"-save", path, dir.File("p.unf")});
        ASSERT_EQ(physical.status, 0) << physical.err;
        EXPECT_EQ(physical.out,
                  std::to_string(row.records) + " records were saved from " + path + ".\n");
        if (row.keys == 0) continue;
        const Result byKey = Tool({"-save", path, dir.File("k.unf"), "N", "0"});
        ASSERT_EQ(byKey.status, 0) << byKey.err;
        // The same records, in key order: the same unformatted lines in another order.
        auto lines = [](const std::string& text) {
            std::vector<std::string> out;
            for (size_t at = 0; at < text.size();) {
                const size_t comma = text.find(',', at);
                if (comma == std::string::npos) break;
                const size_t length = std::stoul(text.substr(at, comma - at));
                out.push_back(text.substr(comma + 1, length));
                at = comma + 1 + length + 2;
            }
            std::sort(out.begin(), out.end());
            return out;
        };
        EXPECT_EQ(lines(Read(dir.File("k.unf"))), lines(Read(dir.File("p.unf"))));
    }
}
