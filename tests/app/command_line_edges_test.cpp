// The edges of both programs' command lines, run as programs: a help or
// version text that cannot be written is a failure; a misspelt option is
// named as unknown; "--" ends the options; numbers are plain decimals; and a
// name from the command line cannot put control characters on the terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string output;  // stderr, or whatever the command line keeps
};

// Runs a shell command line with TOOL and DEMO naming the two programs.
Outcome run(const std::string& command)
{
    const std::string line = "TOOL='" MURL13_TOOL_BINARY "' DEMO='" MURL13_BINARY "'; " + command;
    FILE* pipe = popen(line.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

bool says(const Outcome& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

TEST(CommandLineEdges, HelpAndVersionThatCannotBeWrittenFail)
{
    for (const char* command : {"$TOOL --version", "$TOOL --help", "$TOOL frame --help", "$TOOL art --help",
                                "$TOOL song --help", "$TOOL bench --help", "$TOOL capture --help", "$DEMO --version",
                                "$DEMO --help"}) {
        const Outcome full = run(std::string(command) + " 2>&1 >/dev/full");
        EXPECT_EQ(full.status, 1) << command;
        EXPECT_TRUE(says(full, "cannot write to standard output")) << command << ": " << full.output;
        const Outcome fine = run(std::string(command) + " 2>&1 >/dev/null");
        EXPECT_EQ(fine.status, 0) << command;
        EXPECT_EQ(fine.output, "") << command;
    }
}

TEST(CommandLineEdges, UnknownOptionsAreNamedSoEvenWithoutAValueAfterThem)
{
    for (const char* command : {"frame --bogus", "frame --time 1 --bogus", "art logo3 --bogus", "song x.oXM --bogus",
                                "bench --bogus", "capture out.gif --bogus", "capture --bogus out.gif"}) {
        const Outcome r = run(std::string("$TOOL ") + command + " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_TRUE(says(r, "unknown option: '--bogus'")) << command << ": " << r.output;
    }
    EXPECT_TRUE(says(run("$TOOL frame --time 2>&1"), "missing value for: '--time'"));
}

TEST(CommandLineEdges, DoubleDashEndsTheOptions)
{
    // After "--" a name may begin with a dash: an image name, a song, an output.
    EXPECT_EQ(run("$TOOL art -- logo3 --format digits 2>&1 >/dev/null").status, 2);  // --format is a name now
    const Outcome logo = run("$TOOL art --format digits -- logo3");
    EXPECT_EQ(logo.status, 0);
    EXPECT_EQ(logo.output, run("$TOOL art logo3 --format digits").output);
    EXPECT_GT(logo.output.size(), 600u);
    const Outcome song = run("cd /tmp && $TOOL song -- -no-such.oXM 2>&1");
    EXPECT_EQ(song.status, 1);
    // Where it was looked for: the working directory, then the data folder
    // beside the program (share/murl13 of its installation).
    EXPECT_TRUE(says(song, "cannot load the song '-no-such.oXM': it is not in '/tmp' nor in '")) << song.output;
    EXPECT_TRUE(says(song, "/share/murl13'")) << song.output;
    const Outcome capture = run("cd /tmp && $TOOL capture --song /no/such.oXM -- -clip.gif 2>&1");
    EXPECT_EQ(capture.status, 1) << capture.output;
    EXPECT_TRUE(says(capture, "cannot load the song")) << capture.output;
    EXPECT_EQ(run("cd /tmp && ls -- -clip.gif* 2>/dev/null").output, "");
    // Commands without names take none, after "--" or not.
    EXPECT_EQ(run("$TOOL frame --time 1 -- --order 2 2>/dev/null").status, 2);
    EXPECT_EQ(run("$TOOL frame 5 2>/dev/null").status, 2);
    EXPECT_EQ(run("$TOOL frame --time 1 -- | wc -c").output, "16000\n");
}

TEST(CommandLineEdges, NumbersArePlainDecimalsEverywhere)
{
    for (const char* value : {"0x10", "' 5'", "'5 '", "''", "+-5", "5e", "1e999", "inf", "1,5", "0b1"}) {
        for (const char* option : {"--time", "--order", "--accent"}) {
            const Outcome r = run(std::string("$TOOL frame ") + option + " " + value + " 2>&1 >/dev/null");
            EXPECT_EQ(r.status, 2) << option << " " << value;
        }
        EXPECT_EQ(run(std::string("$TOOL song x.oXM --seconds ") + value + " 2>/dev/null").status, 2) << value;
    }
    for (const char* value : {"16", "-2.5", "+3", ".5", "5.", "1e1", "2.5E-1"})
        EXPECT_EQ(run(std::string("$TOOL frame --time ") + value + " | wc -c").output, "16000\n") << value;
}

TEST(CommandLineEdges, ControlCharactersInNamesAreEscapedInMessages)
{
    // A newline, an escape sequence that would clear the screen, a C1 control
    // and a byte that is no UTF-8; a printable UTF-8 name passes as it is.
    const Outcome art = run("$TOOL art \"$(printf 'a\\nb\\033[2J\\302\\233c\\377')\" 2>&1");
    EXPECT_EQ(art.status, 2);
    EXPECT_TRUE(says(art, "unknown image: 'a\\nb\\x1B[2J\\xC2\\x9Bc\\xFF'")) << art.output;
    EXPECT_EQ(art.output.find('\033'), std::string::npos);
    const Outcome song = run("cd /tmp && $TOOL song \"$(printf 'no\\tsuch\\033.oXM')\" 2>&1");
    EXPECT_TRUE(says(song, "'no\\tsuch\\x1B.oXM'")) << song.output;
    const Outcome command = run("$TOOL \"$(printf '\\033]0;title\\007')\" 2>&1");
    EXPECT_TRUE(says(command, "unknown command '\\x1B]0;title\\x07'")) << command.output;
    EXPECT_TRUE(says(run("$TOOL art 'l\xc3\xb6go' 2>&1"), "unknown image: 'l\xc3\xb6go'"));
    const Outcome demo = run("$DEMO \"$(printf '\\033[2J\\033]0;x\\007')\" 2>&1");
    EXPECT_EQ(demo.status, 2);
    EXPECT_TRUE(says(demo, "murl13: unknown argument '\\x1B[2J\\x1B]0;x\\x07'")) << demo.output;
    EXPECT_EQ(demo.output.find('\033'), std::string::npos);
}

}  // namespace
