// The byte forms of Btrieve record fields by dictionary type code: which dataset field each
// code becomes, dates, times, 10-byte extended floats, and the lowest and highest key values
// used to position at either end of a key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dataset/field_type.h"

// The dataset field made for a dictionary field: its type and definition size.
struct TFieldShape {
    TFieldType Type = ftUnknown;
    int32_t Size = 0;
};
TFieldShape FieldShapeOfTypeCode(int32_t typeCode, int32_t dictSize);

// True when each of the count bytes equals value; true for count 0.
bool AllBytesEqual(const void* bytes, size_t count, uint8_t value);

// Date bytes: day, month, year (16-bit). The day number counts 1 January of year 1 as day 1.
bool IsValidDate(int year, int month, int day);
// False for a date that is not valid (the day number is then left alone).
bool DecodeBtrDate(const uint8_t* bytes, int32_t& dayNumber);
// EConvertError "'%d.%d' is not a valid timestamp" for a day number before 1 January of year
// 1 or after 31 December 9999 (the 16-bit year cannot hold it); bytes are left alone then.
void EncodeBtrDate(int32_t dayNumber, uint8_t* bytes);

// Time bytes: hundredths, seconds, minutes, hours. Midnight (all four zero) is no time.
bool DecodeBtrTime(const uint8_t* bytes, int32_t& milliseconds);
// Milliseconds since midnight, 0..86399999; EConvertError outside.
void EncodeBtrTime(int32_t milliseconds, uint8_t* bytes);

// 10-byte extended float: 64-bit mantissa with explicit integer bit, 15-bit exponent, sign.
double ExtendedToDouble(const uint8_t* bytes);
void DoubleToExtended(double value, uint8_t* bytes);

// The day number of 31 December 9999.
inline constexpr int32_t kMaxDayNumber = 3652059;
