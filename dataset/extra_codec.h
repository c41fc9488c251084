// Byte forms of the storage types the data dictionaries of the engine family add to our own:
// packed and ASCII decimals as exact decimal text, Microsoft Binary floats, 100-ns timestamps,
// UTF-16 text and GUIDs. Pure functions on the stored bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/datetime.h"

// Appends digits (most significant first, leading zeros allowed) with the point placed scale
// digits from the right, as plain decimal text: "-12.50", "0.05", "7". A zero is never negative.
void AppendDecimalText(std::string& out, bool negative, const std::string& digits, int scale);

// Packed BCD: two digits per byte, high nibble first, the last nibble the sign (0xD or 0xB
// negative; 0xA, 0xC, 0xE, 0xF positive). False for a digit nibble above 9.
bool DecodePackedDecimal(const uint8_t* bytes, size_t size, int scale, std::string& out);

// ASCII digits right-justified (leading blanks or zeros) with the sign in one of three forms:
// the last digit overpunched EBCDIC-style ('{' 'A'..'I' positive, '}' 'J'..'R' negative,
// plain digits positive), ASCII-style ('p'..'y' negative, plain digits positive), or a
// separate trailing '+' / '-'. False for any other byte.
enum class TNumericSign { Ebcdic, Ascii, TrailingSeparate };
bool DecodeNumericText(const uint8_t* bytes, size_t size, int scale, TNumericSign sign,
                       std::string& out);

// Unsigned 64-bit little-endian integer as decimal text.
std::string UInt64Text(const uint8_t* bytes);

// Microsoft Binary Format: byte 3 (or 7) the exponent biased by 128 (0 is zero), the top bit
// of byte 2 (or 6) the sign, the remaining bits the mantissa below an implied leading 1; the
// 8-byte form stores the low 32 bits of its mantissa first.
double MsBinary4ToDouble(const uint8_t* bytes);
double MsBinary8ToDouble(const uint8_t* bytes);

// 100-ns ticks since 1 January of year 1 (little-endian, unsigned) as a date-time value.
TDateTime TicksToDateTime(uint64_t ticks);
// The ticks of a date-time value, to the nearest tick within its day; 0 before year 1.
uint64_t DateTimeToTicks(TDateTime value);

// The text of a GUID: the first three groups little-endian, as Windows stores them:
// {00112233-4455-6677-8899-AABBCCDDEEFF}.
std::string GuidText(const uint8_t* bytes);

// UTF-16LE code units to UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf16AsUtf8(std::string& out, const uint16_t* units, size_t count);
