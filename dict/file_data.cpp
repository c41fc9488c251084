#include "dict/file_data.h"

#include "platform/codepage.h"

bool AddField(TBFieldList& list, const std::string& oemName, int32_t size, int32_t typeCode) {
    if (size < 0 || size > kMaxDictRecordSize - list.RecordSize) return false;
    TBField field;
    bool lost = false;
    field.Name = OemToAnsiText(oemName, &lost);
    if (lost || OemTextChangesCharacters(oemName)) field.Utf8Name = OemToUtf8(oemName);
    field.Offset = list.RecordSize;
    field.TypeCode = typeCode;
    field.Size = size;
    list.Items.push_back(std::move(field));
    list.RecordSize += size;
    return true;
}

void AddKeySegment(TBKeyList& list, const std::string& oemFieldName, bool segmented,
                   bool caseInsensitive) {
    list.Items.push_back(TBKey{OemToAnsiText(oemFieldName), list.KeyCount,
                               static_cast<uint8_t>(caseInsensitive),
                               static_cast<uint8_t>(segmented)});
    if (!segmented) ++list.KeyCount;
}

void CopyFileData(const TFileData& source, TFileData& target) {
    target.MemSize = source.MemSize;
    target.OwnerName = source.OwnerName;
    target.Keys = source.Keys ? std::make_unique<TBKeyList>(*source.Keys) : nullptr;
    target.Fields = source.Fields ? std::make_unique<TBFieldList>(*source.Fields) : nullptr;
}

int32_t TranslateTypeByte(uint8_t typeByte) {
    static const int32_t kTable[19] = {2, 3,  20, 20, 4,  4,  7, 1,  8, 5,
                                       6, 14, 1,  21, 11, 11, 4, 10, 8};
    return typeByte < 19 ? kTable[typeByte] : btBytes;
}

std::string UpperCaseAZ(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string LowerCaseAZ(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}
