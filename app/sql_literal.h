// The literal forms the target dialects share: text in the script's encoding, ISO dates and
// times, "." decimals, shortest round-trip floats, hexadecimal bytes and psql's COPY text
// escapes. Locale-free: nothing here reads the regional settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/sql_dialect.h"
#include "dataset/field.h"
#include "platform/datetime.h"

// True for the field types whose values are text (ftString, ftFixedChar, ftWideString).
bool IsTextFieldType(TFieldType type);
// True for the raw-byte types (ftBytes, ftVarBytes) and the binary blobs.
bool IsBinaryFieldType(TFieldType type);
// True for the text blobs (ftMemo, ftFmtMemo).
bool IsMemoFieldType(TFieldType type);

// "Record %d, field %s: the text holds characters outside code page 1251".
[[noreturn]] void LossyTextError(int32_t recordNo, const TField& field);

// The current text of a text field in the script's encoding: UTF-8 straight from the field,
// or its CP1251 text, refused (LossyTextError) when CP1251 lost a letter of it or shows one
// as a look-alike.
void AppendFieldText(std::string& out, const TField& field, TScriptEncoding encoding,
                     int32_t recordNo);
// The current content of a memo (stored in the OEM code page) in the script's encoding; a
// CP1251 script refuses (LossyTextError) a letter CP1251 lacks. Zero bytes ending the memo are
// left out; one before its end raises "Record %d, field %s: the text holds a zero byte".
void AppendMemoText(std::string& out, const TField& field, TScriptEncoding encoding,
                    int32_t recordNo);
// System text (CP1251) in the script's encoding.
void AppendSystemText(std::string& out, std::string_view ansi, TScriptEncoding encoding);

// text between apostrophes, an apostrophe doubled; with backslashEscapes a backslash is
// doubled too (for a target that reads backslash escapes in its literals).
void AppendQuotedText(std::string& out, std::string_view text, bool backslashEscapes = false);
// The text quoted (quotes doubled) in pieces joined by " || ", each CR written as cr (the
// target's expression for it) outside the quotes: 'a' || char(13) || 'b'.
void AppendQuotedTextCrApart(std::string& out, std::string_view text, std::string_view cr);

// 'YYYY-MM-DD' parts without the apostrophes.
void AppendIsoDate(std::string& out, TDateTime value);
// HH:MM:SS, then ".f" to ".fff" when the value has milliseconds.
void AppendIsoTime(std::string& out, TDateTime value);
// The date, a blank and the time as above.
void AppendIsoTimestamp(std::string& out, TDateTime value);
// A timestamp of 100-ns ticks since 1 January of year 1 as "YYYY-MM-DD HH:MM:SS", then its
// fraction of a second cut (never rounded, so that it never reaches the next second, day or
// year) to digits (1 to 7) with trailing zeros left out: 9999-12-31 23:59:59.9999999 at 6
// digits is "9999-12-31 23:59:59.999999".
void AppendTicksTimestamp(std::string& out, uint64_t ticks, int digits);

// The shortest decimal that reads back as the same double, "." as the separator; an exponent
// form for integers of 16 digits or more, so that no target reads an exact numeric. Raises
// an error naming record and field for an infinity or a NaN.
void AppendShortestFloat(std::string& out, double value, int32_t recordNo, const TField& field);
// The same for a value known to be finite.
void AppendShortestFiniteFloat(std::string& out, double value);
// The same written at p (kFloatTextRoom bytes of room); answers its end.
char* ShortestFiniteFloatAt(char* p, double value);
// A finite double as Firebird 3 reads it back bit for bit. Firebird gathers a literal's digits
// in a double and applies its power of ten in one step, which is exact only while the digits
// stay below 2^53 and the power within 10^22: such a value keeps its shortest decimal (at most
// 15 digits, 10^-22 to 10^22); any other is written as its mantissa times a power of two,
// "CAST(-4503599627370497 AS DOUBLE PRECISION) * POWER(2e0, -1074)".
void AppendFirebirdFloat(std::string& out, double value);
// The same for SQLite (3.40 reads some 17-digit decimals and those near the ends of the range
// one unit off), without functions a build may lack: "CAST(1 AS REAL) / 4611686018427387904 /
// ...", each step by at most 2^62.
void AppendSQLiteFloat(std::string& out, double value);
// A currency amount (value times 10000) in plain decimal with ".".
void AppendDecimalCurrency(std::string& out, TCurrency value);
// Upper-case hexadecimal digits of the bytes.
void AppendHex(std::string& out, std::string_view bytes);
// The text with psql's COPY text escapes: backslash, tab, line feed, carriage return,
// backspace, form feed and vertical tab as \\ \t \n \r \b \f \v.
void AppendCopyEscaped(std::string& out, std::string_view text);
