// The key parser: which bytes from a terminal are the Escape key. Catches an
// arrow key, a function key, a terminal's reply or Alt+key taken for Escape
// (the demo would end), and a real Escape press missed or held back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/terminal/input_thread.h"

using terminal::Key;

namespace {

// Feeds `bytes` as one read and, when `thenSilence`, lets the Escape timeout
// pass; returns the keys reported.
std::vector<Key> keysOf(const std::string& bytes, bool thenSilence = true)
{
    terminal::KeyParser parser;
    std::vector<Key> keys;
    for (unsigned char b : bytes)
        if (Key k = terminal::feedKey(parser, b); k != Key::NONE) keys.push_back(k);
    if (thenSilence)
        if (Key k = terminal::keyTimeout(parser); k != Key::NONE) keys.push_back(k);
    return keys;
}

const std::vector<Key> NOTHING;
const std::vector<Key> ESCAPE{Key::ESCAPE};

}  // namespace

TEST(KeyParser, LoneEscapeIsEscapeOnlyAfterSilence)
{
    EXPECT_EQ(keysOf("\x1b", false), NOTHING) << "an ESC may start a sequence: wait";
    EXPECT_EQ(keysOf("\x1b"), ESCAPE);
    EXPECT_EQ(keysOf("\x1b\x1b", false), ESCAPE) << "ESC ESC needs no wait";
    EXPECT_EQ(keysOf("abc\x1b"), ESCAPE);
}

TEST(KeyParser, SequencesAndAltKeysAreNotEscape)
{
    const char* notEscape[] = {
        "\x1b[A", "\x1b[B", "\x1b[1;5C", "\x1b[15~", "\x1b[200~pasted\x1b[201~",  // CSI keys, paste
        "\x1bOA", "\x1bOP",                                                       // SS3 keys
        "\x1b]11;rgb:0000/0000/0000\x07", "\x1b]2;title\x1b\\",                   // OSC replies
        "\x1bP1$r0m\x1b\\", "\x1b_Gi=1;OK\x1b\\",                                 // DCS, APC replies
        "\x1b[?62;22c", "\x1b[8;50;80t",                                          // CSI replies
        "\x1bx", "\x1b.",                                                         // Alt+key
    };
    for (const char* bytes : notEscape) EXPECT_EQ(keysOf(bytes), NOTHING) << "bytes " << bytes + 1;
}

TEST(KeyParser, EscapeAfterASequenceStillCounts)
{
    EXPECT_EQ(keysOf("\x1b[A\x1b"), ESCAPE);
    EXPECT_EQ(keysOf("\x1b]2;t\x07\x1b\x1b", false), ESCAPE);
    // An ESC inside a CSI starts over: the CSI is dropped, the ESC stands alone.
    EXPECT_EQ(keysOf("\x1b[1;\x1b"), ESCAPE);
}

TEST(KeyParser, EnterAndSpaceForTheErrorBox)
{
    EXPECT_EQ(keysOf("\r"), std::vector<Key>{Key::ENTER});
    EXPECT_EQ(keysOf("\n"), std::vector<Key>{Key::ENTER});
    EXPECT_EQ(keysOf(" "), std::vector<Key>{Key::SPACE});
    EXPECT_EQ(keysOf("\x1b "), NOTHING) << "Alt+Space is not Space";
}
