// Code-page conversions: OEM (CP866) and ANSI (CP1251) tables, and the UTF-8 edges.
#include "platform/codepage.h"

#include "platform/exception.h"

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
    // Each of them is a change of character; the 51 characters CP1251 lacks are all there are.
    int changed = 0;
    for (int b = 0; b < 256; ++b)
        if (OemTextChangesCharacters(std::string(1, static_cast<char>(b)))) ++changed;
    EXPECT_EQ(changed, 51);
    EXPECT_TRUE(OemTextChangesCharacters("ab\xFB"));             // √
    EXPECT_FALSE(OemTextChangesCharacters("\x80\xA0\xF0\xF1"));  // А а Ё ё
    EXPECT_FALSE(OemTextLosesCharacters(oem));
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

// --- the other OEM code pages of DOS-era data

// Sets the OEM code page for one test and puts the default back.
class OemPage {
  public:
    explicit OemPage(int cp) { SetOemCodePage(cp); }
    ~OemPage() { SetOemCodePage(866); }
};

struct TUpperHalf {
    int cp;
    const char* utf8;  // the characters of bytes 0x80..0xFF, in order
};

// The published charts of the three code pages.
const TUpperHalf kUpperHalves[] = {
    {437,
     "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌"
     "█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0"},
    {850,
     "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø×ƒáíóúñÑªº¿®¬½¼¡«»░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐└┴┬├─┼ãÃ╚╔╩╦╠═╬¤ðÐÊËÈıÍÎÏ┘┌█▄"
     "¦Ì▀ÓßÔÒõÕµþÞÚÛÙýÝ¯´\u00AD±‗¾¶§÷¸°¨·¹³²■\u00A0"},
    {852,
     "ÇüéâäůćçłëŐőîŹÄĆÉĹĺôöĽľŚśÖÜŤťŁ×čáíóúĄąŽžĘę¬źČş«»░▒▓│┤ÁÂĚŞ╣║╗╝Żż┐└┴┬├─┼Ăă╚╔╩╦╠═╬¤đĐĎËďŇÍÎě┘┌█▄"
     "ŢŮ▀ÓßÔŃńňŠšŔÚŕŰýÝţ´\u00AD˝˛ˇ˘§÷¸°¨˙űŘř■\u00A0"},
};

TEST(OemCodePages, EveryCharacterToUtf8AndBack) {
    std::string upper;
    for (int b = 0x80; b < 0x100; ++b) upper.push_back(static_cast<char>(b));
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii.push_back(static_cast<char>(b));
    for (const TUpperHalf& page : kUpperHalves) {
        OemPage scope(page.cp);
        EXPECT_EQ(OemCodePage(), page.cp);
        EXPECT_EQ(OemToUtf8(upper), page.utf8) << page.cp;
        std::string appended = "x";
        AppendOemUtf8(appended, ascii);
        EXPECT_EQ(appended, "x" + ascii) << page.cp;
        bool ok = true;
        EXPECT_EQ(Utf8ToOem(page.utf8, &ok), upper) << page.cp;
        EXPECT_TRUE(ok) << page.cp;
        // Cyrillic is in none of them.
        EXPECT_EQ(Utf8ToOem("aЖ", &ok), "a?");
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(OemCodePage(), 866);
    EXPECT_EQ(OemToUtf8("\x80\xF1\xC4"), "\xD0\x90\xD1\x91\xE2\x94\x80");  // Аё─ again
}

TEST(OemCodePages, IntoCp1251LettersItLacksAreMarkedLost) {
    {
        OemPage scope(437);
        bool lost = false;
        // Müller, Straße: ü and ß have no CP1251 form.
        EXPECT_EQ(OemToAnsiText("M\x81ller Stra\xE1"
                                "e",
                                &lost),
                  "M?ller Stra?e");
        EXPECT_TRUE(lost);
        EXPECT_TRUE(OemTextLosesCharacters("\x9C"));  // £
        // Box drawing takes the same best fit as in CP866; µ ± ° · and « » exist in CP1251.
        lost = false;
        EXPECT_EQ(OemToAnsiText("\xC4\xB3\xC5\xE6\xF1\xF8\xFA\xAE\xAF", &lost),
                  "-\xA6+\xB5\xB1\xB0\xB7\xAB\xBB");
        EXPECT_FALSE(lost);
        EXPECT_FALSE(OemTextLosesCharacters("plain ASCII"));
        // Back from CP1251: what CP437 holds, and '?' for Cyrillic.
        EXPECT_EQ(AnsiToOemText("\xB5\xB1\xB0\xAB\xC0\xFF"), "\xE6\xF1\xF8\xAE??");
        EXPECT_EQ(OemToAnsiTable()[0x81], '?');
        EXPECT_EQ(AnsiToOemTable()[0xB0], 0xF8);
    }
    {
        OemPage scope(850);
        EXPECT_TRUE(OemTextLosesCharacters("\x9B"));               // ø
        EXPECT_EQ(OemToAnsiText("\xA9\xCF\xF5"), "\xAE\xA4\xA7");  // ® ¤ §
        EXPECT_FALSE(OemTextLosesCharacters("\xA9\xCF\xF5"));
    }
    {
        OemPage scope(852);
        bool lost = false;
        EXPECT_EQ(OemToAnsiText("\x88\xE7", &lost), "??");  // ł Š
        EXPECT_TRUE(lost);
    }
    // CP866 loses nothing: every byte has its character or its best fit.
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    EXPECT_FALSE(OemTextLosesCharacters(all));
}

TEST(OemCodePages, TheSevenAreTaken) {
    for (int cp : {437, 850, 852, 866, 1250, 1251, 1252})
        EXPECT_TRUE(IsSupportedOemCodePage(cp)) << cp;
    EXPECT_FALSE(IsSupportedOemCodePage(1253));
    try {
        SetOemCodePage(1253);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Code page 1253 is not supported (437, 850, 852, 866, 1250, 1251 or 1252)");
    }
    EXPECT_EQ(OemCodePage(), 866);
}

// Text of a Windows program: its letters into CP1251 (or '?', marked lost) and into UTF-8
// (every letter), and CP1251 back into the code page.
TEST(WindowsCodePages, LettersIntoCp1251AndUtf8) {
    struct Case {
        int cp;
        std::string data, ansi, utf8;
        bool lost;
    };
    const Case cases[] = {
        // é ü ß: Latin letters CP1251 lacks.
        {1252, "Caf\xE9 \xFC\xDF", "Caf? ??", "Café üß", true},
        // € “ ” – © « »: signs CP1251 holds at other or the same places.
        {1252, "\x80\x93\x94\x96\xA9\xAB\xBB", "\x88\x93\x94\x96\xA9\xAB\xBB", "€“”–©«»", false},
        // ł ą Š ő: Central European letters.
        {1250, "\xB3\xB9\x8A\xF5", "????", "łąŠő", true},
        {1250, "\x84\xA7\xB0", "\x84\xA7\xB0", "„§°", false},
        // 1251 data is the system's own text, byte for byte.
        {1251, "\xC0\xE1\xE2\x88\x98", "\xC0\xE1\xE2\x88\x98", "Абв€\xC2\x98", false},
    };
    for (const Case& c : cases) {
        OemPage scope(c.cp);
        bool lost = false;
        EXPECT_EQ(OemToAnsiText(c.data, &lost), c.ansi) << c.cp << " " << c.utf8;
        EXPECT_EQ(lost, c.lost) << c.cp << " " << c.utf8;
        EXPECT_EQ(OemTextLosesCharacters(c.data), c.lost) << c.cp << " " << c.utf8;
        EXPECT_EQ(OemToUtf8(c.data), c.utf8) << c.cp;
        bool ok = true;
        EXPECT_EQ(Utf8ToOem(c.utf8, &ok), c.data) << c.cp << " " << c.utf8;
        EXPECT_TRUE(ok);
        if (!c.lost) {
            EXPECT_EQ(AnsiToOemText(c.ansi), c.data) << c.cp << " " << c.utf8;
        }
    }
    // Cyrillic is not in 1250 or 1252: back from CP1251 it is '?'.
    for (int cp : {1250, 1252}) {
        OemPage scope(cp);
        EXPECT_EQ(AnsiToOemText("\xC0\xFF"), "??") << cp;
    }
}
