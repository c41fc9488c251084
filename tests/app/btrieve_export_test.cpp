// The export run over real Btrieve files of the embedded record manager: field types that have
// no literal stop the run with their type name on the first record where they hold a value,
// and the failed run leaves no script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/export_run.h"
#include "app/export_setup.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "test_host.h"
#include "tests/dataset/btr_files.h"

namespace {

struct TCase {
    const char* name;
    int typeCode;
    int32_t size;
    const char* typeName;
};

class BtrieveExport : public ::testing::TestWithParam<TCase> {
  protected:
    TTempDir dir_;
    TDefaultSession session_;
};

// Record 1 holds no value in the field (where the type can be null), record 2 does.
TEST_P(BtrieveExport, FieldWithoutLiteralFailsNamingItsType) {
    const TCase& c = GetParam();
    const std::string base = dir_.Path("odd.dbt"), dict = dir_.Path("odd.def");
    const uint16_t length = static_cast<uint16_t>(4 + c.size);
    std::vector<std::string> records;
    for (int32_t id = 1; id <= 2; ++id) {
        TRecordBytes r(length);
        r.Value<int32_t>(0, id);
        if (id == 2) {
            if (c.typeCode == 17)
                r.Value<uint32_t>(8, 5);  // a blob reference of length 5
            else
                r.Value<uint8_t>(4, 1);
        }
        records.push_back(r.Bytes());
    }
    MakeBtrieveFile(base, length, {{Segment(1, 4, 1, false, false)}}, records, c.typeCode == 17);
    MakeDictionary(dict, {{"odd.dbt", {{"ID", 3, 4}, {"ODD", c.typeCode, c.size}}, {{"ID"}}}});

    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    TTestHost host;
    TExportRun run(ds, host);
    run.NameDataSet = [](TDataSet& d, const std::string& dictName, const std::string& baseName) {
        auto& b = static_cast<TBDataSet&>(d);
        b.SetDictName(dictName);
        b.SetBaseName(baseName);
    };
    TImpInfo info;
    info.DictionaryFileName = dict;
    info.BaseFileName = base;
    info.SQLFileName = dir_.Path("out.sql");
    info.ImpTableName = "T";
    info.CreateDDL = false;
    EXPECT_FALSE(run.ExecuteReportingErrors(info));
    ASSERT_EQ(host.Errors.size(), 1u);
    EXPECT_EQ(host.Errors[0],
              std::string("Cannot convert value: Unknown field type (") + c.typeName + ")");
    EXPECT_TRUE(host.Messages.empty());
    // A failed run leaves no script.
    EXPECT_FALSE(std::filesystem::exists(info.SQLFileName));
    // Where the first record's field is null, that record counted; the second one failed.
    EXPECT_EQ(run.RecordCounter(), c.typeCode == 17 ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Types, BtrieveExport,
                         ::testing::Values(TCase{"Logical", 12, 2, "ftBoolean"},
                                           TCase{"Bytes", 14, 3, "ftBytes"},
                                           TCase{"Blob", 17, 8, "ftBlob"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A file written by the vendor's engine, described by a dictionary of our own, exported
// through the reader: four records on a key of duplicates in their chain order, and on a
// signed-integer key in its order.
class VendorFileExport : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDictionary(
            dict_,
            {{"mbbsemu.dat",
              {{"PAD", 2, 2}, {"NAME", 8, 32}, {"NUM", 3, 4}, {"TEXT", 8, 32}, {"ID", 22, 4}},
              {{"NAME"}, {"NUM"}, {"TEXT"}, {"ID"}}}});
    }
    std::string Export(int32_t keyPath) {
        TBDataSet ds;
        ds.SetReadOnly(true);
        ds.SetLocking(false);
        ds.SetKeyPath(keyPath);
        TTestHost host;
        TExportRun run(ds, host);
        run.NameDataSet = [](TDataSet& d, const std::string& dictName,
                             const std::string& baseName) {
            auto& b = static_cast<TBDataSet&>(d);
            b.SetDictName(dictName);
            b.SetBaseName(baseName);
        };
        TImpInfo info;
        info.DictionaryFileName = dict_;
        info.BaseFileName =
            std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/MBBSEMU.DAT";
        info.SQLFileName = dir_.Path("mbbsemu.sql");
        info.ImpTableName = "USERS";
        info.CreateDDL = false;
        EXPECT_TRUE(run.ExecuteReportingErrors(info));
        EXPECT_TRUE(host.Errors.empty()) << host.Errors[0];
        std::ifstream in(info.SQLFileName, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        // The INSERT lines only: the header carries the time of the run.
        std::string inserts, line;
        while (std::getline(all, line))
            if (line.rfind("INSERT", 0) == 0) inserts += line + "\n";
        return inserts;
    }

    TTempDir dir_;
    TDefaultSession session_;
    const std::string dict_ = dir_.Path("mbbsemu.def");
};

TEST_F(VendorFileExport, FourRecordsInKeyOrder) {
    const std::string head = "INSERT INTO USERS (PAD, NAME, NUM, TEXT, ID) VALUES (0, 'Sysop', ";
    EXPECT_EQ(Export(-1), head + "3444, '3444', 1);\r\n" + head + "7776, '7776', 2);\r\n" + head +
                              "1052234073, 'StringValue', 3);\r\n" + head +
                              "-615634567, 'stringValue', 4);\r\n");
    EXPECT_EQ(Export(1), head + "-615634567, 'stringValue', 4);\r\n" + head +
                             "3444, '3444', 1);\r\n" + head + "7776, '7776', 2);\r\n" + head +
                             "1052234073, 'StringValue', 3);\r\n");
}

}  // namespace

namespace {

// Logical, bytes, blob and memo fields of a Btrieve file in each target's script: the values
// the classic script cannot write.
class TargetExport : public ::testing::Test {
  protected:
    static constexpr uint16_t kLength = 29;  // Id 4, Ok 2, X 3, Blob 8, Memo 8, N 4
    static std::string Ref(uint32_t offset, uint32_t length) {
        return TRecordBytes(8).Value<uint32_t>(0, offset).Value<uint32_t>(4, length).Bytes();
    }
    void Make(const std::string& blob, const std::string& memo) {
        TRecordBytes r(kLength);
        r.Value<int32_t>(0, 1).Value<int16_t>(4, 1).Text(6, std::string("\x00\x27\x5C", 3));
        r.Text(9, Ref(0, static_cast<uint32_t>(blob.size())));
        r.Text(17, Ref(static_cast<uint32_t>(blob.size()), static_cast<uint32_t>(memo.size())));
        TRecordBytes empty(kLength);
        empty.Value<int32_t>(0, 2).Text(9, Ref(0, 0)).Text(17, Ref(0, 0));
        MakeBtrieveFile(base_, kLength, {{Segment(1, 4, 1, false, false)}},
                        {r.Bytes() + blob + memo, empty.Bytes()}, true);
        MakeDictionary(dict_, {{"t.dbt",
                                {{"Id", 3, 4},
                                 {"Ok", 12, 2},
                                 {"X", 14, 3},
                                 {"Blob", 17, 8},
                                 {"Memo", 18, 8},
                                 {"N", 3, 4}},
                                {{"Id"}}}});
    }
    // The data lines of the target's script (from the line after "/* Data */").
    // The whole script of the target over t.def and t.dbt; empty when the run failed (its
    // errors in errors_). The host's messages stay in messages_.
    std::string Script(TSqlTarget target, TScriptEncoding encoding = seUtf8) {
        TBDataSet ds;
        ds.SetReadOnly(true);
        ds.SetLocking(false);
        TTestHost host;
        TExportRun run(ds, host);
        TExportChoice choice;
        choice.Form.Target = target;
        choice.Encoding = encoding;
        choice.NameDataSet = [](TDataSet& d, const std::string& dictName,
                                const std::string& baseName) {
            auto& b = static_cast<TBDataSet&>(d);
            b.SetDictName(dictName);
            b.SetBaseName(baseName);
        };
        TImpInfo info;
        info.DictionaryFileName = dict_;
        info.BaseFileName = base_;
        info.SQLFileName = dir_.Path("out.sql");
        info.ImpTableName = "T";
        SetUpExportRun(run, info, choice);
        const bool done = run.ExecuteReportingErrors(info);
        errors_ = host.Errors;
        messages_ = host.Messages;
        if (!done) return std::string();
        std::ifstream in(info.SQLFileName, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // The column types, then the data.
    std::string Data(TSqlTarget target, TScriptEncoding encoding = seUtf8) {
        const std::string s = Script(target, encoding);
        if (s.empty()) return s;
        const size_t types = s.find(" (\n") + 3, data = s.find("/* Data */\n");
        return s.substr(types, s.find("\n)", types) + 1 - types) + s.substr(data + 11);
    }

    TTempDir dir_;
    TDefaultSession session_;
    const std::string base_ = dir_.Path("t.dbt"), dict_ = dir_.Path("t.def");
    std::vector<std::string> errors_, messages_;
};

TEST_F(TargetExport, LogicalBytesBlobAndMemoPerTarget) {
    // The memo in CP866: "Ёж'\r\n".
    Make(std::string("\x00\xFF", 2), "\xF0\xA6'\r\n");
    const std::string memo = "'\xD0\x81\xD0\xB6''\r\n'";
    // The clients of MariaDB, Firebird and SQLite read a CR LF inside quotes as LF: their
    // scripts write the CR as \r, or outside the quotes.
    const std::string memoMy = "'\xD0\x81\xD0\xB6''\\r\n'";
    const std::string memoFb = "'\xD0\x81\xD0\xB6''' || ASCII_CHAR(13) || '\n'";
    const std::string memoLite = "'\xD0\x81\xD0\xB6''' || char(13) || '\n'";
    EXPECT_EQ(Data(stPostgreSQL),
              "  \"Id\" INTEGER,\n  \"Ok\" BOOLEAN,\n  \"X\" BYTEA,\n  \"Blob\" BYTEA,\n"
              "  \"Memo\" TEXT,\n  \"N\" INTEGER\n"
              "BEGIN;\n"
              "INSERT INTO \"T\" (\"Id\", \"Ok\", \"X\", \"Blob\", \"Memo\", \"N\") VALUES (1, "
              "TRUE, '\\x00275C'::bytea, '\\x00FF'::bytea, " +
                  memo +
                  ", 0);\n"
                  "INSERT INTO \"T\" (\"Id\", \"Ok\", \"X\", \"Blob\", \"Memo\", \"N\") VALUES "
                  "(2, FALSE, '\\x000000'::bytea, NULL, NULL, 0);\n"
                  "COMMIT;\n");
    EXPECT_EQ(Data(stMySQL),
              "  Id INTEGER,\n  Ok BOOLEAN,\n  X VARBINARY(3),\n  `Blob` LONGBLOB,\n"
              "  Memo LONGTEXT,\n  N INTEGER\n"
              "START TRANSACTION;\n"
              "INSERT INTO T (Id, Ok, X, `Blob`, Memo, N) VALUES (1, TRUE, X'00275C', X'00FF', " +
                  memoMy +
                  ", 0);\n"
                  "INSERT INTO T (Id, Ok, X, `Blob`, Memo, N) VALUES (2, FALSE, X'000000', NULL, "
                  "NULL, 0);\n"
                  "COMMIT;\n");
    const std::string columnsFb =
        "  \"Id\" INTEGER,\n  \"Ok\" BOOLEAN,\n  X VARCHAR(3) CHARACTER SET OCTETS,\n"
        "  \"Blob\" BLOB SUB_TYPE BINARY,\n  \"Memo\" BLOB SUB_TYPE TEXT,\n  N INTEGER\n";
    const std::string namesFb = "(\"Id\", \"Ok\", X, \"Blob\", \"Memo\", N)";
    EXPECT_EQ(
        Data(stFirebird),
        columnsFb + "RECREATE GLOBAL TEMPORARY TABLE T_LOAD (\n" + columnsFb +
            ") ON COMMIT DELETE ROWS;\nRECREATE GLOBAL TEMPORARY TABLE T_PIECE (N SMALLINT, T "
            "BLOB SUB_TYPE TEXT, B BLOB SUB_TYPE BINARY) ON COMMIT DELETE ROWS;\n"
            "INSERT INTO T_LOAD " +
            namesFb + " VALUES (1, TRUE, x'00275C', x'00FF', " + memoFb +
            ", 0);\nINSERT INTO T_LOAD " + namesFb +
            " VALUES (2, FALSE, x'000000', NULL, NULL, 0);\nINSERT INTO T " + namesFb +
            " SELECT \"Id\", \"Ok\", X, \"Blob\", \"Memo\", N FROM T_LOAD;\nCOMMIT;\n"
            "DROP TABLE T_LOAD;\nDROP TABLE T_PIECE;\n");
    EXPECT_EQ(Data(stSQLite),
              "  Id INTEGER,\n  Ok BOOLEAN,\n  X BLOB,\n  Blob BLOB,\n  Memo TEXT,\n"
              "  N INTEGER\n"
              "BEGIN TRANSACTION;\n"
              "INSERT INTO T (Id, Ok, X, Blob, Memo, N) VALUES (1, TRUE, X'00275C', X'00FF', " +
                  memoLite +
                  ", 0);\n"
                  "INSERT INTO T (Id, Ok, X, Blob, Memo, N) VALUES (2, FALSE, X'000000', "
                  "NULL, NULL, 0);\n"
                  "COMMIT;\n");
}

// A TIME of midnight and a date that is no date are written as NULL with one warning per
// column; a zero date is the file's own null and passes without one.
TEST_F(TargetExport, MidnightAndInvalidDatesAreNullWithAWarningPerColumn) {
    auto record = [](int32_t id, std::string date, std::string time) {
        return TRecordBytes(12).Value<int32_t>(0, id).Text(4, date).Text(8, time).Bytes();
    };
    const std::string zero(4, '\0');
    MakeBtrieveFile(
        base_, 12, {{Segment(1, 4, 1, false, false)}},
        {record(1, "\x1D\x02\xE4\x07", std::string("\x00\x00\x1E\x0C", 4)),  // 2020-02-29 12:30
         record(2, "\x1D\x02\xE5\x07", zero),                                // 2021-02-29
         record(3, zero, zero), record(4, std::string("\x01\x0D\xE4\x07", 4), "\x63\x3B\x3B\x17")},
        false);
    MakeDictionary(dict_, {{"t.dbt", {{"Id", 3, 4}, {"D", 5, 4}, {"T", 6, 4}}, {{"Id"}}}});
    const std::string script = Script(stPostgreSQL);
    ASSERT_TRUE(errors_.empty()) << errors_.at(0);
    const std::string insert = "INSERT INTO \"T\" (\"Id\", \"D\", \"T\") VALUES ";
    EXPECT_NE(
        script.find(insert + "(1, '2020-02-29', '12:30:00');\n" + insert + "(2, NULL, NULL);\n" +
                    insert + "(3, NULL, NULL);\n" + insert + "(4, NULL, '23:59:59.99');\n"),
        std::string::npos)
        << script;
    EXPECT_EQ(messages_,
              (std::vector<std::string>{
                  "Warning|Table T, field D: 2 values written as NULL (the stored bytes hold no "
                  "valid date)|warning",
                  "Warning|Table T, field T: 2 values written as NULL (00:00:00, midnight, which "
                  "a TIME of the file cannot tell from no time)|warning",
                  "Confirmation|Extract completed successfuly!\r\nRecords imported: 4|info"}));
}

TEST_F(TargetExport, MemoLettersACp1251ScriptCannotHoldStopTheRun) {
    Make("", "\xB3\xC4");  // box drawing in CP866: "│─"
    EXPECT_EQ(Data(stMySQL, seAnsi), "");
    EXPECT_EQ(errors_,
              std::vector<std::string>(
                  {"Table T, record 1, field Memo: the text holds characters outside code page "
                   "1251"}));
    EXPECT_NE(Data(stMySQL).find("'\xE2\x94\x82\xE2\x94\x80'"), std::string::npos);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(TargetExport, FirebirdBuildsLongValuesOfPieces) {
    std::string blob(70000, '\x27'), memo(40000, 'a');
    blob[29999] = '\x01';
    memo[29999] = '\'';
    Make(blob, memo);
    const std::string s = Data(stFirebird);
    std::string expectedBlob = "CAST(x'";
    for (size_t i = 0; i < 29999; ++i) expectedBlob += "27";
    expectedBlob += "01' AS BLOB SUB_TYPE BINARY) || x'";
    for (size_t i = 0; i < 30000; ++i) expectedBlob += "27";
    expectedBlob += "' || x'";
    for (size_t i = 0; i < 10000; ++i) expectedBlob += "27";
    expectedBlob += "'";
    // Text in a UTF-8 script: pieces of 16,000 characters (Firebird counts four bytes each).
    const std::string expectedMemo = "CAST('" + std::string(16000, 'a') +
                                     "' AS BLOB SUB_TYPE TEXT) || '" + std::string(13999, 'a') +
                                     "''" + std::string(2000, 'a') + "' || '" +
                                     std::string(8000, 'a') + "'";
    EXPECT_NE(
        s.find("VALUES (1, TRUE, x'00275C', " + expectedBlob + ", " + expectedMemo + ", 0);\n"),
        std::string::npos);
}

}  // namespace

namespace {

// Text CP1251 shows as look-alikes (CP866 box drawing): the classic script writes them as it
// always did and says so once; a target's CP1251 script refuses them; UTF-8 keeps them.
class LookAlikeExport : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<std::string> records;
        const char* texts[] = {"\xC9\xCD\xBB", "plain", "\xBA\xA0\xBA"};  // ╔═╗, ║а║
        for (int32_t i = 0; i < 3; ++i) {
            TRecordBytes r(12);
            r.Value<int32_t>(0, i + 1).Text(4, texts[i]);
            records.push_back(r.Bytes());
        }
        MakeBtrieveFile(base_, 12, {{Segment(1, 4, 1, false, false)}}, records, false);
        MakeDictionary(dict_, {{"t.dbt", {{"Id", 3, 4}, {"S", 1, 8}}, {{"Id"}}}});
    }
    // The INSERT lines; the run's warnings and errors in host_.
    std::string Inserts(TSqlTarget target, TScriptEncoding encoding) {
        TBDataSet ds;
        ds.SetReadOnly(true);
        ds.SetLocking(false);
        host_ = TTestHost();
        TExportRun run(ds, host_);
        run.NameDataSet = [](TDataSet& d, const std::string& dictName,
                             const std::string& baseName) {
            auto& b = static_cast<TBDataSet&>(d);
            b.SetDictName(dictName);
            b.SetBaseName(baseName);
        };
        run.Form.Target = target;
        run.Encoding = encoding;
        TImpInfo info;
        info.DictionaryFileName = dict_;
        info.BaseFileName = base_;
        info.SQLFileName = dir_.Path("out.sql");
        info.ImpTableName = "T";
        info.CreateDDL = false;
        if (!run.ExecuteReportingErrors(info)) return std::string();
        std::ifstream in(info.SQLFileName, std::ios::binary);
        std::string line, inserts;
        while (std::getline(in, line))
            if (line.rfind("INSERT", 0) == 0) inserts += line + "\n";
        return inserts;
    }

    TTempDir dir_;
    TDefaultSession session_;
    TTestHost host_;
    const std::string base_ = dir_.Path("t.dbt"), dict_ = dir_.Path("t.def");
};

TEST_F(LookAlikeExport, ClassicCountsThemTargetsRefuseThemUtf8KeepsThem) {
    EXPECT_EQ(Inserts(stClassic, seAnsi),
              "INSERT INTO T (Id, S) VALUES (1, '\xE3=\xAC');\r\n"
              "INSERT INTO T (Id, S) VALUES (2, 'plain');\r\n"
              "INSERT INTO T (Id, S) VALUES (3, '\xA6\xE0\xA6');\r\n");
    EXPECT_EQ(host_.Messages,
              std::vector<std::string>(
                  {"Warning|Table T: 2 text values changed: characters code page 1251 lacks (box "
                   "drawing) written as look-alikes; --encoding utf8 keeps them|warning",
                   "Confirmation|Extract completed successfuly!\r\nRecords imported: 3|info"}));
    EXPECT_EQ(Inserts(stPostgreSQL, seAnsi), "");
    EXPECT_EQ(host_.Errors, std::vector<std::string>({"Table T, record 1, field S: the text "
                                                      "holds characters outside code page 1251"}));
    EXPECT_EQ(
        Inserts(stPostgreSQL, seUtf8),
        "INSERT INTO \"T\" (\"Id\", \"S\") VALUES (1, '\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97');\n"
        "INSERT INTO \"T\" (\"Id\", \"S\") VALUES (2, 'plain');\n"
        "INSERT INTO \"T\" (\"Id\", \"S\") VALUES (3, '\xE2\x95\x91\xD0\xB0\xE2\x95\x91');\n");
    EXPECT_TRUE(host_.Errors.empty());
}

}  // namespace
