// The field data types of the record model, with their fixed numbering (other units switch on
// the ordinals), and the type names that error messages quote.
#pragma once

#include <cstdint>

enum TFieldType : int {
    ftUnknown = 0,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd,
};

inline constexpr int kLastFieldType = ftFMTBcd;

// "ftString" for ftString and so on; "" for an ordinal outside 0..37.
const char* FieldTypeName(TFieldType type);

// A currency amount in fixed point: the value times 10000 (four decimals).
using TCurrency = int64_t;
inline constexpr int64_t kCurrencyScale = 10000;
