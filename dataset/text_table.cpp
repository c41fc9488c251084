#include "dataset/text_table.h"

#include <array>
#include <string>

#include "platform/codepage.h"

namespace {

struct Tables {
    std::array<unsigned char, 256> toAnsi{};
    std::array<unsigned char, 256> toOem{};
    Tables() {
        std::string all(256, '\0');
        for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
        std::string ansi = OemToAnsiText(all);
        std::string oem = AnsiToOemText(all);
        for (int i = 0; i < 256; ++i) {
            toAnsi[i] = static_cast<unsigned char>(ansi[i]);
            toOem[i] = static_cast<unsigned char>(oem[i]);
        }
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

void TranslateInPlace(char* text, size_t length, bool toOem) {
    const auto& table = toOem ? TheTables().toOem : TheTables().toAnsi;
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
}
