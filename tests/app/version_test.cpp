// `--version` of both programs: one line with the project's version and, in a
// git checkout, the commit checked out now; a line made only when the build
// was configured would name an old commit after the next one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string outputOf(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    return pipe && pclose(pipe) == 0 ? text : "failed: " + text;
}

TEST(Version, BothProgramsNameTheProjectVersionAndTheCurrentCommit)
{
    const std::string head = outputOf("git -C '" MURL13_SOURCE_DIR "' rev-parse --short=7 HEAD 2>/dev/null");
    const std::string commit = head.rfind("failed", 0) == 0 ? "" : " (git " + head.substr(0, head.size() - 1) + ")";
    EXPECT_EQ(outputOf("'" MURL13_BINARY "' --version"), "murl13 " MURL13_PROJECT_VERSION + commit + "\n");
    EXPECT_EQ(outputOf("'" MURL13_TOOL_BINARY "' --version"), "murl13-tool " MURL13_PROJECT_VERSION + commit + "\n");
}

}  // namespace
