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
};

struct TBField {
    std::string Name;  // ANSI
    int32_t Offset = 0;
    int32_t TypeCode = 0;
    int32_t Size = 0;
};

struct TBKey {
    std::string FieldName;  // ANSI
    int32_t KeyNumber = 0;
    uint8_t CaseInsensitive = 0;
    uint8_t Segmented = 0;  // another segment of the same key follows
};

struct TBFieldList {
    std::vector<TBField> Items;
    int32_t RecordSize = 0;  // sum of the sizes added: the offset of the next field
    size_t Count() const { return Items.size(); }
    const TBField& operator[](size_t i) const { return Items[i]; }
};

struct TBKeyList {
    std::vector<TBKey> Items;
    int32_t KeyCount = 0;  // keys completed: the key number of the next segment
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
