// Code-page conversions: OEM (CP866) and ANSI (CP1251) tables, and the UTF-8 edges.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string AllBytes() {
    std::string s(256, '\0');
    for (int i = 0; i < 256; ++i) s[i] = static_cast<char>(i);
    return s;
}

unsigned char Oem2Ansi(unsigned char b) {
    return static_cast<unsigned char>(OemToAnsiText(std::string(1, static_cast<char>(b)))[0]);
}
unsigned char Ansi2Oem(unsigned char b) {
    return static_cast<unsigned char>(AnsiToOemText(std::string(1, static_cast<char>(b)))[0]);
}

TEST(CodePage, EveryByteKeepsLengthAndAsciiIsUnchanged) {
    const std::string all = AllBytes();
    const std::string a = OemToAnsiText(all);
    const std::string o = AnsiToOemText(all);
    ASSERT_EQ(a.size(), 256u);
    ASSERT_EQ(o.size(), 256u);
    for (int i = 0; i < 0x80; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(a[i]), i);
        EXPECT_EQ(static_cast<unsigned char>(o[i]), i);
    }
    // Embedded NULs are text like any other byte.
    EXPECT_EQ(OemToAnsiText(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, CyrillicLettersMapBothWays) {
    // CP866: А..п at 0x80..0xAF, р..я at 0xE0..0xEF; CP1251: А..я at 0xC0..0xFF.
    for (int i = 0; i < 48; ++i) {
        EXPECT_EQ(Oem2Ansi(0x80 + i), 0xC0 + i) << i;
        EXPECT_EQ(Ansi2Oem(0xC0 + i), 0x80 + i) << i;
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Oem2Ansi(0xE0 + i), 0xF0 + i) << i;
        EXPECT_EQ(Ansi2Oem(0xF0 + i), 0xE0 + i) << i;
    }
    // Ё and ё, Є є Ї ї Ў ў, degree, numero, currency sign, no-break space.
    const std::string oem = "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xFC\xFD\xFF";
    const std::string ansi = "\xA8\xB8\xAA\xBA\xAF\xBF\xA1\xA2\xB0\xB9\xA4\xA0";
    EXPECT_EQ(OemToAnsiText(oem), ansi);
    EXPECT_EQ(AnsiToOemText(ansi), oem);
}

TEST(CodePage, BoxDrawingTakesTheBestFit) {
    // ░ ▒ ▓ │ ┤ ║ ╗ └ ┬ ─ ┼ ╔ ═ ╬ █ ▌ ▐ ▀ ∙ √ ■
    const std::string oem =
        "\xB0\xB1\xB2\xB3\xB4\xBA\xBB\xC0\xC2\xC4\xC5\xC9\xCD\xCE\xDB\xDD\xDE\xDF"
        "\xF9\xFB\xFE";
    const std::string ansi =
        "---\xA6+\xA6\xAC"
        "LT-+\xE3=+-\xA6\xA6-\x95v\xA6";
    EXPECT_EQ(OemToAnsiText(oem), ansi);
}

TEST(CodePage, AnsiCharactersMissingFromOemTakeTheClosestOrQuestionMark) {
    // ‚ „ … – — ‘ ’ “ ” « » І і Ґ ґ and Ђ (no fit) and the unassigned 0x98.
    const std::string ansi = "\x82\x84\x85\x96\x97\x91\x92\x93\x94\xAB\xBB\xB2\xB3\xA5\xB4\x80\x98";
    const std::string oem = ",\":--''\"\"<>Ii\x83\xA3??";
    EXPECT_EQ(AnsiToOemText(ansi), oem);
}

TEST(CodePage, Utf8RoundTripsEveryAnsiByte) {
    const std::string all = AllBytes();
    const std::string utf8 = AnsiToUtf8(all);
    bool ok = true;
    EXPECT_EQ(Utf8ToAnsi(utf8, &ok), all);
    EXPECT_TRUE(ok);
    EXPECT_EQ(AnsiToUtf8("\xC0\xE1\xA8\xB8"), "\xD0\x90\xD0\xB1\xD0\x81\xD1\x91");  // АбЁё
    EXPECT_EQ(OemToUtf8("\x80\xF1\xC4"), "\xD0\x90\xD1\x91\xE2\x94\x80");           // Аё─
}

TEST(CodePage, Utf8WithoutAnsiCounterpartIsRefused) {
    bool ok = true;
    // "a", a box-drawing ─ (not in CP1251), "b", a stray continuation byte, "€".
    EXPECT_EQ(Utf8ToAnsi("a\xE2\x94\x80"
                         "b\x80\xE2\x82\xAC",
                         &ok),
              "a?b?\x88");
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(Utf8ToAnsi("\xD0", &ok), "?");  // truncated sequence
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF", &ok), "??");  // overlong encoding of '/'
    EXPECT_FALSE(ok);
    EXPECT_EQ(Utf8ToAnsi("plain"), "plain");
}

}  // namespace
