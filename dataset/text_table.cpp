#include "dataset/text_table.h"

#include "platform/codepage.h"

void TranslateInPlace(char* text, size_t length, bool toOem) {
    // The tables of the code page in force now: it may change between two opens.
    const unsigned char* table = toOem ? AnsiToOemTable() : OemToAnsiTable();
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
}
