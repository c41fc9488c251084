#include "dataset/field_type.h"

namespace {

const char* const kFieldTypeNames[] = {
    "ftUnknown",    "ftString",     "ftSmallint", "ftInteger",     "ftWord",      "ftBoolean",
    "ftFloat",      "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",      "ftDateTime",
    "ftBytes",      "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",      "ftGraphic",
    "ftFmtMemo",    "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor",    "ftFixedChar",
    "ftWideString", "ftLargeint",   "ftADT",      "ftArray",       "ftReference", "ftDataSet",
    "ftOraBlob",    "ftOraClob",    "ftVariant",  "ftInterface",   "ftIDispatch", "ftGuid",
    "ftTimeStamp",  "ftFMTBcd",
};
static_assert(sizeof(kFieldTypeNames) / sizeof(kFieldTypeNames[0]) == kLastFieldType + 1);

}  // namespace

const char* FieldTypeName(TFieldType type) {
    int n = static_cast<int>(type);
    if (n < 0 || n > kLastFieldType) return "";
    return kFieldTypeNames[n];
}
