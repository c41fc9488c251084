// A script line gathered in room made without filling: what was written stays, across growth.
#include <gtest/gtest.h>

#include <string>

#include "app/script_text.h"

namespace {

// Pieces of a line as the appenders write them: whole texts, single bytes, and room of which
// only part is used (a value shorter than its widest form).
TEST(ScriptText, KeepsEveryWrittenByteAcrossGrowth) {
    struct TCase {
        const char* name;
        size_t room;  // room asked for each piece
        size_t used;  // of it, bytes written
        int pieces;
    };
    const TCase cases[] = {
        {"bytes one at a time", 1, 1, 1000},
        {"values under their room", 40, 7, 300},
        {"room larger than the first growth", 5000, 4999, 3},
        {"nothing written in the room", 64, 0, 10},
    };
    for (const TCase& c : cases) {
        TScriptText text;
        std::string expected;
        for (int i = 0; i < c.pieces; ++i) {
            char* p = text.Room(c.room);
            for (size_t k = 0; k < c.used; ++k) p[k] = static_cast<char>('a' + (i + k) % 26);
            text.SetEnd(p + c.used);
            for (size_t k = 0; k < c.used; ++k)
                expected.push_back(static_cast<char>('a' + (i + k) % 26));
            text.Push(',');
            text.Append("; ");
            expected += ",; ";
        }
        EXPECT_EQ(text.View(), expected) << c.name;
        text.clear();
        EXPECT_EQ(text.size(), 0u) << c.name;
        text.Append("again");
        EXPECT_EQ(text.View(), "again") << c.name;
    }
}

}  // namespace
