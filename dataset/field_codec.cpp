#include "dataset/field_codec.h"

#include <cmath>
#include <cstring>

#include "dict/file_data.h"
#include "platform/datetime.h"
#include "platform/exception.h"
#include "platform/format.h"

TFieldShape FieldShapeOfTypeCode(int32_t typeCode, int32_t dictSize) {
    switch (typeCode) {
        case btOemString:
        case btString:
        case btString2:
        case btOemLString:
        case btLString:
            return {ftString, dictSize > 0 ? dictSize - 1 : 0};
        case btSmallint:
            return {ftSmallint, 0};
        case btInteger:
            return {ftInteger, 0};
        case btFloat:
        case btFloat8:
        case btExtended:
        case btExtended2:
        case btSingle:
            return {ftFloat, 0};
        case btDate:
            return {ftDate, 0};
        case btTime:
            return {ftTime, 0};
        case btLogical:
            return {ftBoolean, 0};
        case btWord:
        case btByte:
            return {ftWord, 0};
        case btBytes:
            return {ftBytes, dictSize};
        case btBinaryBlob:
            return {ftBlob, 0};
        case btMemoBlob:
            return {ftMemo, 0};
        case btGraphicBlob:
            return {ftGraphic, 0};
        case btAutoInc:
            return {ftAutoInc, 0};
        case btTrimmedString:
            return {ftString, dictSize > 0 ? dictSize : 0};
        case btShortInt:
            return {ftSmallint, 0};
        case btLargeint:
        case btUInt32:
            return {ftLargeint, 0};
        case btUInt64:
            return {ftFMTBcd, 20};
        case btPackedDecimal:
            return {ftFMTBcd, dictSize > 0 ? 2 * dictSize - 1 : 0};
        case btNumeric:
        case btNumericSA:
            return {ftFMTBcd, dictSize};
        case btNumericSTS:
            return {ftFMTBcd, dictSize > 0 ? dictSize - 1 : 0};
        case btCurrency:
            return {ftFMTBcd, 19};
        case btTimestamp:
            return {ftTimeStamp, 0};
        case btBFloat4:
        case btBFloat8:
            return {ftFloat, 0};
        case btBit:
            return {ftBoolean, 0};
        case btWString:
        case btWZString:
            return {ftWideString, dictSize / 2};
        case btGuid:
            return {ftGuid, 38};
        case btTailText:
            return {ftMemo, 0};
        case btTailBytes:
            return {ftBlob, 0};
        default:
            return {ftUnknown, 0};
    }
}

bool AllBytesEqual(const void* bytes, size_t count, uint8_t value) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i)
        if (p[i] != value) return false;
    return true;
}

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = kDays[month - 1];
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) last = 29;
    return day <= last;
}

namespace {

// Day number of a valid date (1 January of year 1 is 1).
int32_t DayNumberOf(int year, int month, int day) {
    static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int y = year - 1;
    int32_t n = y * 365 + y / 4 - y / 100 + y / 400 + kBefore[month - 1] + day;
    if (month > 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) ++n;
    return n;
}

// The date of a day number 1..kMaxDayNumber.
void DateOf(int32_t dayNumber, int& year, int& month, int& day) {
    int32_t n = dayNumber - 1;  // days since 1 January of year 1
    int y400 = n / 146097;
    n %= 146097;
    int y100 = n / 36524;
    if (y100 == 4) y100 = 3;
    n -= y100 * 36524;
    int y4 = n / 1461;
    n %= 1461;
    int y1 = n / 365;
    if (y1 == 4) y1 = 3;
    n -= y1 * 365;
    year = y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1;
    bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    month = 1;
    while (true) {
        int len = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
        if (n < len) break;
        n -= len;
        ++month;
    }
    day = n + 1;
}

}  // namespace

bool DecodeBtrDate(const uint8_t* bytes, int32_t& dayNumber) {
    int day = bytes[0];
    int month = bytes[1];
    int year = bytes[2] | (bytes[3] << 8);
    if (!IsValidDate(year, month, day)) return false;
    dayNumber = DayNumberOf(year, month, day);
    return true;
}

void EncodeBtrDate(int32_t dayNumber, uint8_t* bytes) {
    if (dayNumber < 1 || dayNumber > kMaxDayNumber)
        throw EConvertError(Format("'%d.%d' is not a valid timestamp", dayNumber, 0));
    int year = 0, month = 0, day = 0;
    DateOf(dayNumber, year, month, day);
    bytes[0] = static_cast<uint8_t>(day);
    bytes[1] = static_cast<uint8_t>(month);
    bytes[2] = static_cast<uint8_t>(year & 0xff);
    bytes[3] = static_cast<uint8_t>(year >> 8);
}

bool DecodeBtrTime(const uint8_t* bytes, int32_t& milliseconds) {
    int hundredths = bytes[0], seconds = bytes[1], minutes = bytes[2], hours = bytes[3];
    if (hours > 23 || minutes > 59 || seconds > 59 || hundredths > 99) return false;
    if ((hours | minutes | seconds | hundredths) == 0) return false;
    milliseconds = ((hours * 60 + minutes) * 60 + seconds) * 1000 + hundredths * 10;
    return true;
}

void EncodeBtrTime(int32_t milliseconds, uint8_t* bytes) {
    if (milliseconds < 0 || milliseconds >= 86400000)
        throw EConvertError(Format("'%d.%d' is not a valid timestamp", kDateDelta, milliseconds));
    int32_t ms = milliseconds;
    bytes[3] = static_cast<uint8_t>(ms / 3600000);
    ms %= 3600000;
    bytes[2] = static_cast<uint8_t>(ms / 60000);
    ms %= 60000;
    bytes[1] = static_cast<uint8_t>(ms / 1000);
    bytes[0] = static_cast<uint8_t>((ms % 1000) / 10);
}

double ExtendedToDouble(const uint8_t* bytes) {
    uint64_t mantissa = 0;
    std::memcpy(&mantissa, bytes, 8);  // little-endian host, as the record bytes
    int signExp = bytes[8] | (bytes[9] << 8);
    bool negative = (signExp & 0x8000) != 0;
    int exponent = signExp & 0x7fff;
    double value;
    if (exponent == 0x7fff) {
        value = (mantissa << 1) == 0 ? HUGE_VAL : NAN;
    } else if (exponent == 0 && mantissa == 0) {
        value = 0.0;
    } else {
        // mantissa is the significand with its binary point after bit 63
        int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        // Round the 64-bit mantissa to the double's precision in one step where possible.
        value = std::ldexp(static_cast<double>(mantissa), e);
    }
    return negative ? -value : value;
}

void DoubleToExtended(double value, uint8_t* bytes) {
    uint64_t mantissa = 0;
    int signExp = std::signbit(value) ? 0x8000 : 0;
    double a = std::fabs(value);
    if (std::isnan(value)) {
        mantissa = 0xC000000000000000ull;
        signExp |= 0x7fff;
    } else if (std::isinf(value)) {
        mantissa = 0x8000000000000000ull;
        signExp |= 0x7fff;
    } else if (a != 0) {
        int e = 0;
        double m = std::frexp(a, &e);  // a = m * 2^e, 0.5 <= m < 1
        mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
        signExp |= (e - 1 + 16383);
    }
    std::memcpy(bytes, &mantissa, 8);
    bytes[8] = static_cast<uint8_t>(signExp & 0xff);
    bytes[9] = static_cast<uint8_t>(signExp >> 8);
}
