#include "dataset/variant.h"

#include <cctype>
#include <charconv>

#include "platform/regional.h"

namespace {

bool AsNumber(const TVariant& v, double& out) {
    if (auto* i = std::get_if<int64_t>(&v)) {
        out = static_cast<double>(*i);
    } else if (auto* d = std::get_if<double>(&v)) {
        out = *d;
    } else if (auto* t = std::get_if<TVarDateTime>(&v)) {
        out = t->Value;
    } else if (auto* b = std::get_if<bool>(&v)) {
        out = *b ? 1 : 0;
    } else {
        return false;
    }
    return true;
}

// The text without the blanks around it.
std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A text as an integer: all of it, blanks around allowed.
bool TextToInteger(std::string_view text, int64_t& out) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// A text as a number: all of it, with "." or the regional decimal separator.
bool TextToNumber(std::string_view text, double& out) {
    std::string s(Trimmed(text));
    if (!s.empty() && s.front() == '+') s.erase(0, 1);
    const char separator = FormatSettings().DecimalSeparator;
    for (char& c : s)
        if (c == separator) c = '.';
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// A text against a value of another kind: the text read as that kind's number; a text that
// is no number equals nothing but text.
bool TextEquals(const std::string& text, const TVariant& other) {
    if (auto* i = std::get_if<int64_t>(&other)) {
        int64_t n = 0;
        if (TextToInteger(text, n)) return n == *i;
    }
    double x = 0, y = 0;
    return AsNumber(other, y) && TextToNumber(text, x) && x == y;
}

}  // namespace

bool VarEquals(const TVariant& a, const TVariant& b) {
    if (VarIsNull(a) || VarIsNull(b)) return VarIsNull(a) && VarIsNull(b);
    auto* sa = std::get_if<std::string>(&a);
    auto* sb = std::get_if<std::string>(&b);
    if (sa && sb) return *sa == *sb;
    if (sa) return TextEquals(*sa, b);
    if (sb) return TextEquals(*sb, a);
    if (auto* ia = std::get_if<int64_t>(&a))
        if (auto* ib = std::get_if<int64_t>(&b)) return *ia == *ib;
    double x = 0, y = 0;
    return AsNumber(a, x) && AsNumber(b, y) && x == y;
}
