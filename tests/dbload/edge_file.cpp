#include "edge_file.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "tests/dataset/btr_files.h"

namespace {

// A date or time as the record stores it; all zeros is the null date and the midnight time.
struct TDate {
    uint8_t Day, Month;
    uint16_t Year;
};
struct TTime {
    uint8_t Hours, Minutes, Seconds, Hundredths;
};

// The values of one row, by field.
struct TRow {
    std::string Text;   // TXT, code 1: UTF-8, stored as CP866
    int16_t Small;      // SMALL, code 2
    int32_t Whole;      // WHOLE, code 3
    double Dbl;         // DBL, code 4
    TDate Born;         // BORN, code 5
    TTime Clock;        // CLOCK, code 6
    double Dbl7;        // DBL7, code 7
    std::string Raw;    // RAW, code 8: UTF-8, stored as CP1251
    std::string Raw9;   // RAW9, code 9: as RAW
    double Ext;         // EXT, code 10
    double Ext11;       // EXT11, code 11
    uint8_t Flag;       // FLAG, code 12
    uint16_t Word;      // WORD, code 13
    std::string Bytes;  // BYTES, code 14: 6 raw bytes
    std::string LText;  // LTXT, code 15: UTF-8, stored as CP866 after a length byte
    std::string LRaw;   // LRAW, code 16: UTF-8, stored as CP1251 after a length byte
    std::string Bin;    // BIN, code 17: blob content, empty is null
    std::string Memo;   // MEMO, code 18: UTF-8, stored as CP866 like all Btrieve text
    std::string Pic;    // PIC, code 19
    float Single;       // SINGLE, code 20
    uint8_t Tiny;       // TINY, code 21
};

struct TFieldSpec {
    const char* Name;
    int Code;
    int32_t Size;
    bool Classic;  // the classic script has a literal for it
};

constexpr TFieldSpec kFields[] = {
    {"ID", 22, 4, true},    {"TXT", 1, 120, true},  {"SMALL", 2, 2, true},
    {"WHOLE", 3, 4, true},  {"DBL", 4, 8, true},    {"BORN", 5, 4, true},
    {"CLOCK", 6, 4, true},  {"DBL7", 7, 8, true},   {"RAW", 8, 40, true},
    {"RAW9", 9, 12, true},  {"EXT", 10, 10, true},  {"EXT11", 11, 10, true},
    {"FLAG", 12, 1, false}, {"WORD", 13, 2, true},  {"BYTES", 14, 6, false},
    {"LTXT", 15, 60, true}, {"LRAW", 16, 30, true}, {"BIN", 17, 8, false},
    {"MEMO", 18, 8, false}, {"PIC", 19, 8, false},  {"SINGLE", 20, 4, true},
    {"TINY", 21, 1, true},
};

const char kAllLetters[] =
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюяЁёЄєЇїЎў";

// 70,000 bytes running through every byte value, so 0x00, 0x27 and 0x5C all occur.
std::string LongBlob() {
    std::string b(70000, '\0');
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return b;
}

std::vector<TRow> Rows() {
    const std::string crlf = "\r\n";
    std::vector<TRow> rows;
    // The smallest integers, one second after midnight, the year 1, negatives.
    rows.push_back({"O'Brien" + crlf + "said 'hi'",
                    -32768,
                    INT32_MIN,
                    -1.5,
                    {1, 1, 1},
                    {0, 0, 1, 0},
                    1E-5,
                    "it's \\ 'мир'",
                    "a\\b",
                    -0.001,
                    -2.5,
                    1,
                    0,
                    std::string("\x00\x27\x5C\x00\xFF\x01", 6),
                    "Ёлка's" + crlf + "ель",
                    "back\\slash ''",
                    std::string(1, '\x27'),
                    "Memo 'text'" + crlf + "Жук",
                    "",
                    -1.5F,
                    0});
    // The largest integers, midnight (a null time), 9999-12-31, 17 digits, every letter.
    rows.push_back({kAllLetters,
                    32767,
                    INT32_MAX,
                    1.23456789012346E17,
                    {31, 12, 9999},
                    {0, 0, 0, 0},
                    0.1 + 0.2,
                    "№ «мир» €",
                    "",
                    1E20,
                    123456.789,
                    0,
                    65535,
                    std::string(6, '\0'),
                    "ЎўЄєЇї",
                    "",
                    LongBlob(),
                    "",
                    "\x5C",
                    3.4028235E38F,
                    255});
    // The year 33, the last hundredth of a day, empty text, zeros.
    rows.push_back({"",
                    0,
                    0,
                    0.0,
                    {1, 1, 33},
                    {23, 59, 59, 99},
                    0.0,
                    "",
                    "",
                    0.0,
                    0.0,
                    0,
                    1,
                    "\x27\x27\x27\x27\x27\x27",
                    "",
                    "",
                    std::string(1, '\0'),
                    "",
                    "",
                    0.0F,
                    1});
    rows.push_back({"Юля",
                    -1,
                    -1,
                    2.0 / 3.0,
                    {31, 12, 1899},
                    {12, 0, 0, 50},
                    -1E-300,
                    "1899",
                    "",
                    1E-5,
                    -1E300,
                    1,
                    7,
                    "abcdef",
                    "Ъ",
                    "x",
                    "",
                    "",
                    "",
                    1E-5F,
                    128});
    rows.push_back({"Feb 28",
                    1,
                    1,
                    1.7976931348623157E308,
                    {28, 2, 1900},
                    {0, 0, 0, 1},
                    -1E-5,
                    "",
                    "",
                    2.5,
                    1.5,
                    0,
                    2,
                    "",
                    "",
                    "",
                    "",
                    "",
                    "",
                    1.0F,
                    2});
    rows.push_back({"Feb 29",
                    2,
                    2,
                    -123456789.125,
                    {29, 2, 2000},
                    {0, 1, 0, 0},
                    1e15,
                    "",
                    "",
                    0.1,
                    0.2,
                    0,
                    3,
                    "",
                    "",
                    "",
                    "",
                    "",
                    "",
                    0.1F,
                    3});
    // A date that is not valid (1900 is not a leap year) and a time past 23:59: both null.
    rows.push_back({"null date",
                    3,
                    3,
                    3.0,
                    {29, 2, 1900},
                    {25, 0, 0, 0},
                    3.0,
                    "",
                    "",
                    3.0,
                    3.0,
                    0,
                    4,
                    "",
                    "",
                    "",
                    "",
                    "",
                    "",
                    3.0F,
                    4});
    return rows;
}

// The 10-byte extended form of a double: 64-bit mantissa, then sign and 15-bit exponent.
void PutExtended(TRecordBytes& r, size_t at, double value) {
    uint8_t bytes[10] = {};
    if (value != 0) {
        int exponent = 0;
        const double mantissa = std::frexp(std::fabs(value), &exponent);  // [0.5, 1)
        const auto bits = static_cast<uint64_t>(std::ldexp(mantissa, 64));
        const uint16_t top =
            static_cast<uint16_t>((value < 0 ? 0x8000 : 0) | (exponent - 1 + 16383));
        std::memcpy(bytes, &bits, 8);
        std::memcpy(bytes + 8, &top, 2);
    } else if (std::signbit(value)) {
        bytes[9] = 0x80;
    }
    r.Put(at, bytes, 10);
}

std::string Cp866(const std::string& utf8) {
    return AnsiToOemText(Utf8ToAnsi(utf8));
}

// Firebird's isql reads a CR LF inside a quoted text of a script as LF, and the classic
// script has no other way to write it: the file for the classic script keeps the LF alone.
std::string ForScript(std::string text, bool classic) {
    if (classic) std::erase(text, '\r');
    return text;
}

// The record of a row, laid out by the fields of the file; blobs go after the fixed part.
std::string Record(const TRow& row, int32_t id, bool classic, size_t fixedLength) {
    TRecordBytes r(fixedLength);
    std::string tail;
    size_t at = 0;
    auto blob = [&](const std::string& content) {
        const auto offset = static_cast<uint32_t>(tail.size());
        r.Value<uint32_t>(at, content.empty() ? 0 : offset);
        r.Value<uint32_t>(at + 4, static_cast<uint32_t>(content.size()));
        tail += content;
    };
    for (const TFieldSpec& f : kFields) {
        if (classic && !f.Classic) continue;
        const std::string name = f.Name;
        if (name == "ID") r.Value<int32_t>(at, id);
        if (name == "TXT") r.Text(at, Cp866(ForScript(row.Text, classic)));
        if (name == "SMALL") r.Value<int16_t>(at, row.Small);
        if (name == "WHOLE") r.Value<int32_t>(at, row.Whole);
        // The classic script writes 15 digits: the largest double would come out rounded up,
        // beyond the range of any database's double.
        if (name == "DBL") r.Value<double>(at, classic && row.Dbl == DBL_MAX ? 1E308 : row.Dbl);
        if (name == "BORN") r.Value<TDate>(at, row.Born);
        if (name == "CLOCK") {
            const uint8_t t[4] = {row.Clock.Hundredths, row.Clock.Seconds, row.Clock.Minutes,
                                  row.Clock.Hours};
            r.Put(at, t, 4);
        }
        if (name == "DBL7") r.Value<double>(at, row.Dbl7);
        if (name == "RAW") r.Text(at, Utf8ToAnsi(row.Raw));
        if (name == "RAW9") r.Text(at, Utf8ToAnsi(row.Raw9));
        if (name == "EXT") PutExtended(r, at, row.Ext);
        if (name == "EXT11") PutExtended(r, at, row.Ext11);
        if (name == "FLAG") r.Value<uint8_t>(at, row.Flag);
        if (name == "WORD") r.Value<uint16_t>(at, row.Word);
        if (name == "BYTES") r.Text(at, row.Bytes);
        if (name == "LTXT" || name == "LRAW") {
            const std::string text =
                name == "LTXT" ? Cp866(ForScript(row.LText, classic)) : Utf8ToAnsi(row.LRaw);
            r.Value<uint8_t>(at, static_cast<uint8_t>(text.size())).Text(at + 1, text);
        }
        if (name == "BIN") blob(row.Bin);
        if (name == "MEMO") blob(Cp866(row.Memo));
        if (name == "PIC") blob(row.Pic);
        if (name == "SINGLE") r.Value<float>(at, row.Single);
        if (name == "TINY") r.Value<uint8_t>(at, row.Tiny);
        at += static_cast<size_t>(f.Size);
    }
    return r.Bytes() + tail;
}

void MakeDataFile(const std::string& path, bool classic, TDictFile& description) {
    size_t length = 0;
    for (const TFieldSpec& f : kFields) {
        if (classic && !f.Classic) continue;
        description.Fields.push_back({f.Name, f.Code, f.Size});
        length += static_cast<size_t>(f.Size);
    }
    description.Keys.push_back({"ID"});
    std::vector<std::string> records, ticks;
    int32_t id = 0;
    for (const TRow& row : Rows()) records.push_back(Record(row, ++id, classic, length));
    MakeBtrieveFile(path, static_cast<uint16_t>(length), {{Segment(1, 4, 1, false, false)}},
                    records, !classic);
}

}  // namespace

namespace {

// exact.dbt: ID (unique key 0), DBL, KEYTXT (unique key 1), MEMO. Doubles Firebird misread as
// shortest decimals (17 digits, beyond 10^22, the smallest normal and subnormals) and random
// bit patterns; key texts "abc" and "abc  " (a zero byte and blanks after the same letters),
// "ABC", "ёлка" and "елка";
// memos of 17,000 ASCII characters and of 70,000 box-drawing letters (210,000 UTF-8 bytes).
void MakeExactFile(const std::string& path, TDictFile& description) {
    description.Fields = {{"ID", 22, 4}, {"DBL", 4, 8}, {"KEYTXT", 1, 8}, {"MEMO", 18, 8}};
    description.Keys = {{"ID"}, {"KEYTXT"}};
    std::vector<double> values = {0.1 + 0.2,
                                  1E23,
                                  2.2250738585072014E-308,
                                  5E-324,
                                  -1E-310,
                                  1.7976931348623157E308,
                                  4409482951994290.0,
                                  3.4028234663852886E38,
                                  2.5};
    uint64_t bits = 0x9E3779B97F4A7C15ULL;
    while (values.size() < 300) {
        bits ^= bits << 13;
        bits ^= bits >> 7;
        bits ^= bits << 17;
        double v;
        std::memcpy(&v, &bits, 8);
        if (std::isfinite(v)) values.push_back(v);
    }
    std::vector<std::string> records;
    for (size_t i = 0; i < values.size(); ++i) {
        TRecordBytes r(28);
        r.Value<int32_t>(0, static_cast<int32_t>(i + 1)).Value<double>(4, values[i]);
        // Keys a case- or accent-blind comparison would take for one: "ABC" beside "abc",
        // "ёлка" beside "елка" (CP866).
        std::string key = i == 0   ? std::string("abc\0\0\0\0\0", 8)
                          : i == 1 ? std::string("abc     ")
                          : i == 2 ? std::string("ABC")
                          : i == 3 ? std::string("\xF1\xAB\xAA\xA0")
                          : i == 4 ? std::string("\xA5\xAB\xAA\xA0")
                                   : "k" + std::to_string(i);
        key.resize(8, '\0');
        r.Text(12, key);
        // "╔═╗" in CP866, which CP1251 lacks.
        std::string memo = i == 0 ? std::string(17000, 'a') : i == 1 ? "\xC9\xCD\xBB" : "";
        while (i == 1 && memo.size() < 70000) memo += memo;
        if (i == 1) memo.resize(70000);
        r.Value<uint32_t>(20, 0).Value<uint32_t>(24, static_cast<uint32_t>(memo.size()));
        records.push_back(r.Bytes() + memo);
    }
    MakeBtrieveFile(path, 28, {{Segment(1, 4, 1, false, false)}, {Segment(13, 8, 0, false, false)}},
                    records, true);
}

// big.dbt and bigfb.dbt: ID (unique key 0), MEMO, BIN. Record 1 holds a memo of lines of
// box letters and ASCII ending in CR LF and a blob of every byte value, of the given sizes;
// record 2, small values.
void MakeBigFile(const std::string& path, size_t memoBytes, size_t blobBytes,
                 TDictFile& description) {
    description.Fields = {{"ID", 22, 4}, {"MEMO", 18, 8}, {"BIN", 17, 8}};
    description.Keys = {{"ID"}};
    std::vector<std::string> records;
    const std::pair<std::string, std::string> values[] = {
        {std::string(), std::string()}, {"short \xC9\xCD\xBB", std::string("\0\x27\x5C", 3)}};
    for (size_t i = 0; i < 2; ++i) {
        std::string memo = values[i].first, bin = values[i].second;
        for (int n = 0; i == 0 && memo.size() < memoBytes; ++n)
            memo += "\xC9\xCD\xBB line " + std::to_string(n) + "\r\n";
        for (int n = 0; i == 0 && bin.size() < blobBytes; ++n)
            bin.push_back(static_cast<char>(n * 7));
        TRecordBytes r(20);
        r.Value<int32_t>(0, static_cast<int32_t>(i + 1));
        r.Value<uint32_t>(4, 0).Value<uint32_t>(8, static_cast<uint32_t>(memo.size()));
        r.Value<uint32_t>(12, static_cast<uint32_t>(memo.size()))
            .Value<uint32_t>(16, static_cast<uint32_t>(bin.size()));
        records.push_back(r.Bytes() + memo + bin);
    }
    MakeBtrieveFile(path, 20, {{Segment(1, 4, 1, false, false)}}, records, true);
}

}  // namespace

void MakeEdgeFiles(const std::string& dir) {
    TDictFile edge{"edge.dbt", {}, {}}, plain{"plain.dbt", {}, {}}, exact{"exact.dbt", {}, {}},
        big{"big.dbt", {}, {}}, bigfb{"bigfb.dbt", {}, {}};
    MakeDataFile(dir + "/edge.dbt", false, edge);
    MakeDataFile(dir + "/plain.dbt", true, plain);
    MakeExactFile(dir + "/exact.dbt", exact);
    // 9 MiB of blob: over MariaDB's 16 MiB packet as hex. Firebird, slow to build long blobs,
    // gets 5.5 MiB: over its 10 MiB statement as hex; with 6,000 lines of memo.
    MakeBigFile(dir + "/big.dbt", size_t{3} << 20, size_t{9} << 20, big);
    MakeBigFile(dir + "/bigfb.dbt", 100000, size_t{11} << 19, bigfb);
    MakeDictionary(dir + "/edge.def", {edge, plain, exact, big, bigfb});
}

namespace {

// A name as a dictionary stores it: blank-padded to size.
std::string Padded(std::string name, size_t size) {
    name.resize(size, ' ');
    return name;
}

// A packed decimal of 10 bytes: 19 digits, then the sign nibble (F or D).
std::string Packed(const std::string& digits, bool negative) {
    std::string nibbles = std::string(19 - digits.size(), '0') + digits;
    std::string out;
    for (size_t i = 0; i < 20; i += 2) {
        const int high = nibbles[i] - '0';
        const int low = i + 1 < 19 ? nibbles[i + 1] - '0' : (negative ? 0xD : 0xF);
        out.push_back(static_cast<char>(high << 4 | low));
    }
    return out;
}

}  // namespace

void MakeDdfFiles(const std::string& dir) {
    struct TColumn {
        const char* Name;
        int Type, Offset, Size, Dec;
    };
    const TColumn columns[] = {{"ID", 1, 0, 4, 0},
                               {"TS", 20, 4, 8, 0},
                               {"CUR", 19, 12, 8, 0},
                               {"DEC", 5, 20, 10, 2},
                               {"U64", 14, 30, 8, 0}};
    std::vector<std::string> files, fields, indexes;
    auto fileRow = [&](int id, const std::string& name, const std::string& location,
                       uint8_t flags) {
        TRecordBytes r(97);
        r.Value<uint16_t>(0, static_cast<uint16_t>(id))
            .Text(2, Padded(name, 20))
            .Text(22, Padded(location, 64))
            .Value<uint8_t>(86, flags);
        files.push_back(r.Bytes());
    };
    uint16_t fieldId = 1;
    auto fieldRow = [&](uint16_t file, const TColumn& c) {
        TRecordBytes r(32);
        r.Value<uint16_t>(0, fieldId++)
            .Value<uint16_t>(2, file)
            .Text(4, Padded(c.Name, 20))
            .Value<uint8_t>(24, static_cast<uint8_t>(c.Type))
            .Value<uint16_t>(25, static_cast<uint16_t>(c.Offset))
            .Value<uint16_t>(27, static_cast<uint16_t>(c.Size))
            .Value<uint8_t>(29, static_cast<uint8_t>(c.Dec));
        fields.push_back(r.Bytes());
    };
    // The dictionary describes its own three files first.
    fileRow(1, "X$File", "FILE.DDF", 16);
    fileRow(2, "X$Field", "FIELD.DDF", 16);
    fileRow(3, "X$Index", "INDEX.DDF", 16);
    // STAMPS (10) has every column, TICKS (11) its first two, in a file of their own.
    fileRow(10, "STAMPS", "stamps.dat", 0);
    fileRow(11, "TICKS", "ticks.dat", 0);
    for (const TColumn& c : {TColumn{"Xe$Id", 1, 0, 2, 0}, TColumn{"Xe$DataType", 1, 24, 1, 0},
                             TColumn{"Xe$Offset", 1, 25, 2, 0}, TColumn{"Xe$Size", 1, 27, 2, 0}})
        fieldRow(2, c);
    for (const uint16_t table : {10, 11}) {
        TRecordBytes key(10);
        key.Value<uint16_t>(0, table).Value<uint16_t>(2, fieldId);  // ID, key 0, part 0
        indexes.push_back(key.Bytes());
        for (const TColumn& c : columns)
            if (table == 10 || c.Offset < 12) fieldRow(table, c);
    }
    struct TRow {
        uint64_t Ticks;
        int64_t Currency;
        std::string Decimal;
        bool Negative;
        uint64_t Unsigned;
    };
    const TRow rows[] = {
        {3155378975999999999ULL, INT64_MIN, "9999999999999999999", false, UINT64_MAX},
        {639323370051234567ULL, INT64_MAX, "1", true, 1ULL << 63},
        {1, 123456789, "0", false, 0},
    };
    std::vector<std::string> records, ticks;
    int32_t id = 0;
    for (const TRow& row : rows) {
        TRecordBytes r(38);
        r.Value<int32_t>(0, ++id)
            .Value<uint64_t>(4, row.Ticks)
            .Value<int64_t>(12, row.Currency)
            .Text(20, Packed(row.Decimal, row.Negative))
            .Value<uint64_t>(30, row.Unsigned);
        records.push_back(r.Bytes());
        ticks.push_back(r.Bytes().substr(0, 12));
    }
    const uint8_t kInteger = 1;
    MakeBtrieveFile(dir + "/FILE.DDF", 97, {{Segment(1, 2, kInteger, false, false)}}, files);
    MakeBtrieveFile(dir + "/FIELD.DDF", 32, {{Segment(1, 2, kInteger, false, false)}}, fields);
    MakeBtrieveFile(dir + "/INDEX.DDF", 10, {{Segment(1, 2, kInteger, false, true)}}, indexes);
    MakeBtrieveFile(dir + "/stamps.dat", 38, {{Segment(1, 4, kInteger, false, false)}}, records);
    MakeBtrieveFile(dir + "/ticks.dat", 12, {{Segment(1, 4, kInteger, false, false)}}, ticks);
}
