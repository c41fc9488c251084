// Text forms of numbers for the field classes: the general floating-point format with the
// regional decimal separator, and strict parsing of integer and floating-point texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Appends value in general format with precision significant digits to out: fixed notation
// while the decimal exponent lies in -3..precision, scientific ("1E-5", "1.5E17") otherwise;
// "INF", "-INF", "NAN" for the special values.
void AppendFloatText(std::string& out, double value, int precision);
// The same with the given decimal separator.
void AppendFloatText(std::string& out, double value, int precision, char separator);

// The most bytes FloatTextAt and HundredthsAt write.
constexpr size_t kFloatTextRoom = 32;
// AppendFloatText's text written at p (kFloatTextRoom bytes of room); answers its end.
char* FloatTextAt(char* p, double value, int precision, char separator);

// The shortest decimal of a value with one or two decimals below 10^13 in size, which is
// also its form with fifteen significant digits: false (nothing appended) for other values.
bool AppendHundredths(std::string& out, double value, char separator);
// The same written at p (kFloatTextRoom bytes of room): its end, or null for other values.
char* HundredthsAt(char* p, double value, char separator);

// Decimal integer with optional sign and surrounding blanks; EConvertError
// "'%s' is not a valid integer value" otherwise, ERangeError outside 64 bits.
int64_t TextToInt64(std::string_view text);
// A number with the regional (or ".") decimal separator and optional exponent; EConvertError
// "'%s' is not a valid floating point value" otherwise.
double TextToFloat(std::string_view text);
