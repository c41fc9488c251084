// Redo and decision files made by someone who may write in a data file's folder: opening the
// file for writing refuses each with status 2 and a message, and touches neither the data
// file nor anything outside the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "btr_helpers.h"
#include "recman/redo_log.h"

namespace recman_test {
namespace {

namespace layout = recman::redo_layout;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string U32(uint32_t v) {
    std::string s(4, '\0');
    recman::StoreU32(s.data(), v);
    return s;
}

const recman::TxId kId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::string kDecision = "d.dat-commit-0102030405060708090a0b0c0d0e0f10";

// A redo file of transaction kId, laid out as the writer lays it out.
struct Redo {
    std::string bytes = std::string(layout::kRedoMagic, 8) +
                        std::string(reinterpret_cast<const char*>(kId.data()), kId.size());
    Redo& Change(recman::RedoOp op, uint64_t position, const std::string& record,
                 uint32_t declared = 0) {
        std::string head(layout::kChangeHeadSize, '\0');
        head[layout::kKindAt] = static_cast<char>(op);
        recman::StoreU64(head.data() + layout::kPositionAt, position);
        recman::StoreU32(head.data() + layout::kLengthAt,
                         declared ? declared : static_cast<uint32_t>(record.size()));
        bytes += head + record;
        return *this;
    }
    std::string End(const std::string& decision = kDecision) const {
        return bytes + '\0' + U32(static_cast<uint32_t>(decision.size())) + decision +
               std::string(layout::kRedoEnd, 8);
    }
};

std::string Decision(const std::vector<std::string>& redoNames) {
    std::string d = std::string(layout::kDecisionMagic, 8) +
                    std::string(reinterpret_cast<const char*>(kId.data()), kId.size()) +
                    U32(static_cast<uint32_t>(redoNames.size()));
    for (const std::string& n : redoNames) d += U32(static_cast<uint32_t>(n.size())) + n;
    return d + std::string(layout::kDecisionEnd, 8);
}

std::vector<std::string> g_messages;

const std::string kLeft =
    "; left as it is, and writes to its data file answer status 2 until it is removed";

struct Folders {
    TempDir dir, outside;
    std::string Data() const { return dir.File("d.dat"); }
    std::string Redo() const { return dir.File("d.dat-redo"); }
    std::string Victim() const { return outside.File("victim"); }
};

struct Case {
    const char* name;
    std::string spec;  // of d.dat
    std::function<void(const Folders&)> make;
    int16_t insert;                                  // the status of the insert that follows
    std::function<std::string(const Folders&)> why;  // what the message says; null: none
    std::vector<int32_t> records;                    // d.dat's records afterwards
};

std::string Fixed() {
    return Spec(40, 0, {{1, 4, 0, recman::kInteger}});
}
std::string Variable() {
    return Spec(40, recman::kFileVariable, {{1, 4, 0, recman::kInteger}});
}

}  // namespace

TEST(RedoHostile, EachCraftedSideFileIsRefusedAndNothingOutsideTheFolderIsTouched) {
    using recman::BaseNameOf;
    using recman::RedoOp;
    const Case cases[] = {
        {"decision named by a path that leaves the folder",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Record(2, "", 40)).End("../victim"));
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": names the decision file \"../victim\", which is not its transaction's "
                    "in its folder";
         },
         {1}},
        {"decision named by an absolute path ending in a zero byte",
         Fixed(),
         [](const Folders& f) { Save(f.Redo(), Redo().End(f.Victim() + std::string(1, '\0'))); },
         2,
         [](const Folders& f) {
             return f.Redo() + ": names the decision file \"" + f.Victim() +
                    "\\x00\", which is not its transaction's in its folder";
         },
         {1}},
        {"decision of the right name in another folder",
         Fixed(),
         [](const Folders& f) {
             const std::string there = "../" + BaseNameOf(f.outside.Path()) + "/" + kDecision;
             Save(f.outside.File(kDecision), Decision({"d.dat-redo"}));
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Record(2, "", 40)).End(there));
         },
         2,
         [](const Folders& f) {
             return f.Redo() + ": names the decision file \"../" + BaseNameOf(f.outside.Path()) +
                    "/" + kDecision + "\", which is not its transaction's in its folder";
         },
         {1}},
        {"decision of another transaction's name",
         Fixed(),
         [](const Folders& f) { Save(f.Redo(), Redo().End("d.dat-commit-00")); },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": names the decision file \"d.dat-commit-00\", which is not its "
                    "transaction's in its folder";
         },
         {1}},
        {"decision that names a redo file elsewhere",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Record(2, "", 40)).End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo", f.Victim() + "-redo"}));
         },
         2,
         [](const Folders& f) {
             return f.dir.File(kDecision) + ": names the redo file \"" + f.Victim() +
                    "-redo\", which is not one of its folder's";
         },
         {1}},
        {"decision that is a symbolic link",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().End());
             ASSERT_EQ(::symlink(f.Victim().c_str(), f.dir.File(kDecision).c_str()), 0);
         },
         2,
         [](const Folders& f) { return f.dir.File(kDecision) + ": is a symbolic link"; },
         {1}},
        {"redo file that is a symbolic link",
         Fixed(),
         [](const Folders& f) {
             Save(f.Victim(), Redo().End());
             ASSERT_EQ(::symlink(f.Victim().c_str(), f.Redo().c_str()), 0);
         },
         2,
         [](const Folders& f) { return f.Redo() + ": is a symbolic link"; },
         {1}},
        {"redo file that is a FIFO",
         Fixed(),
         [](const Folders& f) { ASSERT_EQ(::mkfifo(f.Redo().c_str(), 0600), 0); },
         2,
         [](const Folders& f) { return f.Redo() + ": is not a regular file"; },
         {1}},
        {"record longer than the file's",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Record(2, "", 41)).End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": change 1 holds a record of 41 bytes; the file's records have "
                    "40 to 40";
         },
         {1}},
        {"record shorter than the fixed part",
         Variable(),
         [](const Folders& f) {
             Save(f.Redo(), Redo()
                                .Change(RedoOp::kUpdate, 1, Record(1, "", 60))
                                .Change(RedoOp::kInsert, 2, Record(2, "", 39))
                                .End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": change 2 holds a record of 39 bytes; the file's records have "
                    "40 to 1000000000";
         },
         {1}},
        {"256 MiB declared in a file of 40-byte records",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, "x", 256u << 20).End());
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": change 1 holds a record of 268435456 bytes; the file's "
                    "records have 40 to 40";
         },
         {1}},
        {"512 MiB declared in a redo file of 100 bytes: cut short, so never decided",
         Variable(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Record(2, "", 60), 512u << 20).End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         0,
         nullptr,
         {1, 3}},
        {"deletion that carries bytes",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kDelete, 1, "abc").End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": change 1 holds a record of 3 bytes; the file's records have none in a "
                    "deletion";
         },
         {1}},
        {"record at position 0",
         Fixed(),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 0, Record(2, "", 40)).End());
         },
         2,
         [](const Folders& f) {
             return f.Redo() + ": change 1 is at position 0, which no record has";
         },
         {1}},
        {"short record for an autoincrement key",
         Spec(40, 0, {{5, 4, 0, recman::kAutoincrement}}),
         [](const Folders& f) {
             Save(f.Redo(), Redo().Change(RedoOp::kInsert, 2, Int32(2)).End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         2,
         [](const Folders& f) {
             return f.Redo() +
                    ": change 1 holds a record of 4 bytes; the file's records have "
                    "40 to 40";
         },
         {1}},
        {"whole redo file of a variable-length file replays",
         Variable(),
         [](const Folders& f) {
             Save(f.Redo(), Redo()
                                .Change(RedoOp::kUpdate, 1, Record(5, "", 60))
                                .Change(RedoOp::kInsert, 2, Record(2, "", 40))
                                .End());
             Save(f.dir.File(kDecision), Decision({"d.dat-redo"}));
         },
         0,
         nullptr,
         {2, 3, 5}},
    };
    recman::SetRecoveryReporter([](const std::string& m) { g_messages.push_back(m); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_messages.clear();
        Folders f;
        ASSERT_EQ(Create(f.Data(), c.spec), 0);
        {
            Handle h;
            ASSERT_EQ(h.Open(f.Data()), 0);
            ASSERT_EQ(h.Insert(Record(1, "", 40)), 0);
        }
        Save(f.Victim(), "keep me");
        c.make(f);
        const std::string data = Bytes(f.Data()), victim = Bytes(f.Victim());
        Handle h;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(h.Open(f.Data()), 0);  // still opens, for reading at least
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(h.Insert(Record(3, "", 40)), c.insert);
        if (c.insert != 0) {
            EXPECT_EQ(Bytes(f.Data()), data);
        }
        EXPECT_EQ(Walk(h, 0), c.records);
        EXPECT_EQ(Bytes(f.Victim()), victim);
        EXPECT_TRUE(std::filesystem::exists(f.Victim()));
        std::vector<std::string> expected;
        // Once as the file opens and once as the insert tries again.
        if (c.why) expected = {c.why(f) + kLeft, c.why(f) + kLeft};
        EXPECT_EQ(g_messages, expected);
        // A refused side file stays for a person to look at; a replayed one goes.
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(f.Redo())),
                  c.insert != 0);
    }
    recman::SetRecoveryReporter(nullptr);
}

TEST(RedoHostile, ATransactionKeepsToTheFolderOfItsFirstWrittenFile) {
    TempDir one, two;
    ASSERT_EQ(Create(one.File("a.dat"), Fixed()), 0);
    ASSERT_EQ(Create(one.File("b.dat"), Fixed()), 0);
    ASSERT_EQ(Create(two.File("c.dat"), Fixed()), 0);
    Handle a, b, c;
    ASSERT_EQ(a.Open(one.File("a.dat")), 0);
    ASSERT_EQ(b.Open(one.File("b.dat")), 0);
    ASSERT_EQ(c.Open(two.File("c.dat")), 0);
    uint32_t zero = 0;
    ASSERT_EQ(BTRCALL(1019, nullptr, nullptr, &zero, nullptr, 0, 0), 0);
    ASSERT_EQ(a.Insert(Record(1, "", 40)), 0);
    EXPECT_EQ(c.Insert(Record(1, "", 40)), 41);
    ASSERT_EQ(b.Insert(Record(1, "", 40)), 0);
    ASSERT_EQ(BTRCALL(20, nullptr, nullptr, &zero, nullptr, 0, 0), 0);
    EXPECT_EQ(Walk(a, 0), (std::vector<int32_t>{1}));
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{1}));
    EXPECT_EQ(Walk(c, 0), (std::vector<int32_t>{}));
    // Outside a transaction, or in the next one on its own, the other folder's file is written.
    EXPECT_EQ(c.Insert(Record(2, "", 40)), 0);
    EXPECT_EQ(Walk(c, 0), (std::vector<int32_t>{2}));
}

}  // namespace recman_test
