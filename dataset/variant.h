// The variant value of a field: null, text, integer, double, date-time or boolean, and the
// equality that locating records by value uses.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/datetime.h"

// A date-time inside a variant, kept apart from a plain double.
struct TVarDateTime {
    TDateTime Value = 0;
    bool operator==(const TVarDateTime&) const = default;
};

using TVariant = std::variant<std::monostate, std::string, int64_t, double, bool, TVarDateTime>;

inline bool VarIsNull(const TVariant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// Equality across the kinds as a variant compares: numbers (integer, double, date-time,
// boolean) by numeric value; a text against a number is read as a number (blanks around it
// allowed, "." or the regional decimal separator), so "5" equals 5 and "1.5" equals 1.5, and a
// text that is no number equals no number; null equals only null.
bool VarEquals(const TVariant& a, const TVariant& b);
