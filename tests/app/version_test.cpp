// `--version` of both programs: one line naming the project's version and,
// when built from a git checkout, the commit checked out now. A version line
// made only when the build was configured would name an old commit after the
// next one; this catches it, as it catches a program that forgot the option.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

// The first line a command prints on stdout, and its exit status.
std::pair<std::string, int> firstLine(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int status = pclose(pipe);
    return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(Version, BothProgramsNameTheProjectVersionAndTheCurrentCommit)
{
    const auto [head, gitStatus] = firstLine("git -C '" MURL13_SOURCE_DIR "' rev-parse --short=7 HEAD 2>/dev/null");
    std::string expected = MURL13_PROJECT_VERSION;
    if (gitStatus == 0 && head.size() > 1) expected += " (git " + head.substr(0, head.size() - 1) + ")";
    for (const char* program : {MURL13_BINARY, MURL13_TOOL_BINARY}) {
        const std::string name = std::string(program).substr(std::string(program).rfind('/') + 1);
        EXPECT_EQ(firstLine(std::string("'") + program + "' --version"),
                  std::make_pair(name + " " + expected + "\n", 0));
    }
}

}  // namespace
