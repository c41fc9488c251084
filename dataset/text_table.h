// Byte-for-byte code-page translation of record text between OEM (CP866) and ANSI (CP1251),
// done in place through tables built once from the platform's conversions.
#pragma once

#include <cstddef>

void TranslateInPlace(char* text, size_t length, bool toOem);
