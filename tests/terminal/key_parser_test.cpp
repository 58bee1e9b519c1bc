// The key parser: which bytes from a terminal are the Escape key. Catches an
// arrow key, a function key, a terminal's reply or Alt+key taken for Escape
// (the demo would end), a real Escape press missed or held back (also after an
// Alt+key that looks like the start of a string), Enter or Space missed by the
// error box, and the answers to the start-up query taken for keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/terminal/input_thread.h"

using terminal::Key;

namespace {

// Feeds `bytes` one at a time, a pause standing for a time of silence, and,
// when `thenSilence`, lets the Escape timeout pass; returns the keys reported.
constexpr char PAUSE = '\x01';
std::vector<Key> keysOf(const std::string& bytes, bool thenSilence = true)
{
    terminal::KeyParser parser;
    std::vector<Key> keys;
    auto add = [&](Key k) {
        if (k != Key::NONE) keys.push_back(k);
    };
    for (unsigned char b : bytes) add(b == PAUSE ? terminal::keyTimeout(parser) : terminal::feedKey(parser, b));
    if (thenSilence) add(terminal::keyTimeout(parser));
    return keys;
}

}  // namespace

TEST(KeyParser, EscapeEnterAndSpaceButNoSequenceNorAltKey)
{
    struct Case { const char* bytes; bool thenSilence; std::vector<Key> keys; };
    const Case cases[] = {
        {"\x1b", false, {}},  // an ESC may start a sequence: wait
        {"\x1b", true, {Key::ESCAPE}},
        {"\x1b\x1b", false, {Key::ESCAPE}},  // ESC ESC needs no wait
        {"abc\x1b", true, {Key::ESCAPE}},
        {"\x1b[A\x1b", true, {Key::ESCAPE}},
        {"\x1b]2;t\x07\x1b\x1b", false, {Key::ESCAPE}},
        {"\x1b[1;\x1b", true, {Key::ESCAPE}},  // an ESC inside a CSI starts over
        {"\r", true, {Key::ENTER}}, {"\n", true, {Key::ENTER}}, {" ", true, {Key::SPACE}},
        // Alt+P, X, ], ^ and _ start a string: an Escape press then still counts,
        // and a pause ends the string, so that Enter counts again.
        {"\x1bP\x1b", true, {Key::ESCAPE}}, {"\x1bX\x1b", true, {Key::ESCAPE}},
        {"\x1b]\x01\x1b", true, {Key::ESCAPE}}, {"\x1b^\x01\r", true, {Key::ENTER}},
        {"\x1b_ab\x01\x1b\x1b", false, {Key::ESCAPE}}, {"\x1b[\x01 ", true, {Key::SPACE}},
    };
    for (const Case& c : cases) EXPECT_EQ(keysOf(c.bytes, c.thenSilence), c.keys) << "bytes " << c.bytes + 1;

    // Other keys' sequences, terminal replies and Alt+key are no key at all.
    const char* noKey[] = {
        "\x1b[A", "\x1b[B", "\x1b[1;5C", "\x1b[15~", "\x1b[200~pasted\x1b[201~",  // CSI keys, paste
        "\x1bOA", "\x1bOP",                                                       // SS3 keys
        "\x1b]11;rgb:0000/0000/0000\x07", "\x1b]2;title\x1b\\",                   // OSC replies
        "\x1bP1$r0m\x1b\\", "\x1b_Gi=1;OK\x1b\\",                                 // DCS, APC replies
        "\x1b[8;50;80t", "\x1b[?2026;2y", "\x1b[?2026;$y", "\x1b[2026;1$y",       // CSI replies
        "\x1bx", "\x1b.", "\x1b ",                                                // Alt+key
    };
    for (const char* bytes : noKey) EXPECT_EQ(keysOf(bytes), std::vector<Key>{}) << "bytes " << bytes + 1;
}
