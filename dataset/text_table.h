// Byte-for-byte code-page translation of record text between the OEM code page (CP866 unless
// another is set) and ANSI (CP1251), done in place through the platform's tables.
#pragma once

#include <cstddef>

void TranslateInPlace(char* text, size_t length, bool toOem);
