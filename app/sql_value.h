// SQL literals of field values for the INSERT statements of the export script: quoted text
// and dates, bare numbers, NULL, and the error naming a type without a literal rule.
#pragma once

#include <string>

#include "dataset/field.h"
#include "platform/datetime.h"

// The current value of the field as an SQL literal; numbers always with "." whatever the
// regional decimal separator. Raises Exception "Cannot convert value:
// Unknown field type (%s)" for a non-null value of a type without a rule, ERangeError
// "Range check error" for a large integer outside 32 bits.
std::string FieldToSQLValue(const TField& field);
// The same, appended to out (the export builds its lines without temporary texts).
void AppendFieldSQLValue(std::string& out, const TField& field);

// The date as "yyyy/mm/dd", "/" being the regional date separator; the time is ignored.
std::string DateToSQL(TDateTime value);

// A currency amount (value times 10000) in plain decimal, at most 4 decimals, trailing zeros
// and a trailing separator left out.
void AppendCurrencyText(std::string& out, TCurrency value);
// The same with the given decimal separator.
void AppendCurrencyText(std::string& out, TCurrency value, char separator);

// "Cannot convert value: Unknown field type (%s)" with the type's name.
[[noreturn]] void UnknownFieldTypeError(TFieldType type);
