#include "platform/format.h"

#include <cstdio>

std::string FormatV(const char* pattern, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, pattern, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, pattern, args);
    return out;
}

std::string Format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    std::string out = FormatV(pattern, args);
    va_end(args);
    return out;
}
