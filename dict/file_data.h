// Descriptions of Btrieve data files as a dictionary gives them: fields with their offsets,
// type codes and sizes, key segments with their key numbers and flags, and the owner name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/datetime.h"

// Storage type codes of dictionary fields (0..22).
enum TBTypeCode : int32_t {
    btNone = 0,
    btOemString = 1,
    btSmallint = 2,
    btInteger = 3,
    btFloat = 4,
    btDate = 5,
    btTime = 6,
    btFloat8 = 7,
    btString = 8,
    btString2 = 9,
    btExtended = 10,
    btExtended2 = 11,
    btLogical = 12,
    btWord = 13,
    btBytes = 14,
    btOemLString = 15,
    btLString = 16,
    btBinaryBlob = 17,
    btMemoBlob = 18,
    btGraphicBlob = 19,
    btSingle = 20,
    btByte = 21,
    btAutoInc = 22,
    // Storages only the data dictionaries of the engine family (and a file's own key types)
    // describe, numbered beyond what the own dictionary forms can store, so that those keep
    // meaning what they meant; Scale carries decimals or a bit number.
    btTrimmedString = 0x10000,  // OEM text cut at the first zero byte, trailing blanks trimmed
    btShortInt = 0x10001,       // signed 8-bit
    btLargeint = 0x10002,       // signed 64-bit
    btUInt32 = 0x10003,         // unsigned 32-bit
    btUInt64 = 0x10004,         // unsigned 64-bit, exact decimal
    btPackedDecimal = 0x10005,  // packed BCD, last nibble the sign (DECIMAL, MONEY)
    btNumeric = 0x10006,        // ASCII digits, last one overpunched EBCDIC-style
    btNumericSA = 0x10007,      // ASCII digits, last one overpunched ASCII-style
    btNumericSTS = 0x10008,     // ASCII digits, then a separate trailing sign
    btCurrency = 0x10009,       // signed 64-bit, four implied decimals
    btTimestamp = 0x1000A,      // 100-ns ticks since 1 January of year 1
    btBFloat4 = 0x1000B,        // Microsoft Binary Format, 4 bytes
    btBFloat8 = 0x1000C,        // Microsoft Binary Format, 8 bytes
    btBit = 0x1000D,            // one bit (Scale) of a byte shared with other bits
    btWString = 0x1000E,        // UTF-16LE, fixed length, trailing blanks and zeros trimmed
    btWZString = 0x1000F,       // UTF-16LE up to the first zero unit
    btGuid = 0x10010,           // 16 bytes, shown as {8-4-4-4-12}
    btTailText = 0x10011,       // the whole variable part: OEM text up to the first zero byte
    btTailBytes = 0x10012,      // the whole variable part: raw bytes
};

// The first of the storages beyond the own dictionary forms.
inline constexpr int32_t kFirstExtraStorage = btTrimmedString;

struct TBField {
    std::string Name;  // ANSI
    int32_t Offset = 0;
    int32_t TypeCode = 0;
    int32_t Size = 0;
    int32_t Scale = 0;        // decimals of an exact decimal, bit number of a bit
    int32_t NullOffset = -1;  // offset of the byte that says NULL (non-zero), or none
    // The name in UTF-8 straight from the dictionary's OEM bytes when ANSI lacks some of its
    // letters or shows them as look-alikes (CP866 "√" as "v"), so that a UTF-8 script keeps
    // them; empty otherwise.
    std::string Utf8Name;
};

struct TBKey {
    std::string FieldName;  // ANSI
    int32_t KeyNumber = 0;
    uint8_t CaseInsensitive = 0;
    uint8_t Segmented = 0;  // another segment of the same key follows
    // A segment no field of the description covers exactly: its own place and storage
    // (Offset -1 when FieldName names the field).
    int32_t Offset = -1;
    int32_t Size = 0;
    int32_t TypeCode = 0;
};

struct TBFieldList {
    std::vector<TBField> Items;
    int32_t RecordSize = 0;  // sum of the sizes added: the offset of the next field
    // Where the columns a dictionary places (before fillers) end, those past the record
    // included; -1 when the list was not laid on a record of a known length.
    int32_t DescribedSize = -1;
    size_t Count() const { return Items.size(); }
    const TBField& operator[](size_t i) const { return Items[i]; }
};

// One segment of a data file's key as the file's header describes it, its flags decoded.
struct TKeySegmentShape {
    int32_t Offset = 0;  // from 0
    int32_t Size = 0;
    int32_t TypeCode = 0;  // storage of its key type (TBTypeCode)
    bool Descending = false;
    bool CaseInsensitive = false;
    bool NullValue = false;      // records whose segment holds the null value are left out
    bool NullIndicator = false;  // the null indicator of a true-null column, no column's bytes
};

// One key of a data file as the file's header describes it.
struct TKeyShape {
    int32_t KeyNumber = 0;
    bool Unique = true;         // the file refuses duplicates
    bool NullSegments = false;  // a segment may be null (null value or null indicator)
    std::vector<TKeySegmentShape> Segments;
};

struct TBKeyList {
    std::vector<TBKey> Items;
    int32_t KeyCount = 0;  // keys completed: the key number of the next segment
    // The open data file's own keys, from its header (empty until a dataset opens the file).
    std::vector<TKeyShape> Shapes;
    size_t Count() const { return Items.size(); }
    const TBKey& operator[](size_t i) const { return Items[i]; }
};

// The description of one data file. Its holder owns both lists.
struct TFileData {
    TDateTime LoadTime = 0;
    int32_t MemSize = 0;
    std::string OwnerName;
    std::unique_ptr<TBKeyList> Keys;
    std::unique_ptr<TBFieldList> Fields;
};

// The longest record a Btrieve file holds: its record length is a 16-bit count.
inline constexpr int32_t kMaxDictRecordSize = 0xffff;

// Appends a field named by OEM text (converted to ANSI) at offset RecordSize. A negative size,
// or one that takes RecordSize past kMaxDictRecordSize, adds nothing and returns false.
bool AddField(TBFieldList& list, const std::string& oemName, int32_t size, int32_t typeCode);
// Appends a segment named by OEM text to key KeyCount; an unsegmented one completes the key.
void AddKeySegment(TBKeyList& list, const std::string& oemFieldName, bool segmented,
                   bool caseInsensitive);
// Copies MemSize, OwnerName and both lists (new lists) from source into target; LoadTime is
// left to the caller.
void CopyFileData(const TFileData& source, TFileData& target);

// Type code of an 87-byte-form type byte 0..18. A byte above 18 has no storage the dataset
// can read; it yields btBytes, so the field's bytes are kept and shown raw.
int32_t TranslateTypeByte(uint8_t typeByte);

// Letters a..z to A..Z (A..Z to a..z); every other byte stays.
std::string UpperCaseAZ(std::string text);
std::string LowerCaseAZ(std::string text);
