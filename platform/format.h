// printf-style formatting of the system's message texts into a std::string.
#pragma once

#include <cstdarg>
#include <string>

std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* pattern, va_list args);
