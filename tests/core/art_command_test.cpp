// murl13-tool art is how the images are read from outside the program (other
// renderings are compared against what it prints), so its digits must be the
// very pixels the demo draws, and a mistyped command must fail loudly: usage
// on stderr, status 2 and nothing on stdout that a script could mistake for an
// image. The tool is run as a separate program from the folder this test
// binary was built into.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "art/images.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

std::string toolPath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "murl13-tool";
    std::string path(self, size_t(length));
    return path.substr(0, path.rfind('/') + 1) + "murl13-tool";
}

// Runs the tool with `args` and `redirect` (which picks the stream to keep).
ToolRun run(const std::string& args, const char* redirect)
{
    ToolRun result;
    const std::string command = "'" + toolPath() + "' art " + args + " " + redirect;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ToolRun stdoutOf(const std::string& args) { return run(args, "2>/dev/null"); }
ToolRun stderrOf(const std::string& args) { return run(args, "2>&1 >/dev/null"); }

std::string expectedDigits(const ImageInfo& image)
{
    std::string text;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) text += char('0' + image.pixels[y * image.width + x]);
        text += '\n';
    }
    return text;
}

class ArtCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(access(toolPath().c_str(), X_OK), 0) << "build murl13-tool first: " << toolPath();
    }
};

TEST_F(ArtCommand, DigitsAreThePixelsOfEveryImage)
{
    const struct {
        const char* name;
        const int* pixels;
        int width, height;
    } expected[] = {
        {"logo1a", logo1a, LOGO1A_WIDTH, LOGO1A_HEIGHT},
        {"logo1b", logo1b, LOGO1B_WIDTH, LOGO1B_HEIGHT},
        {"logo2", logo2, LOGO2_WIDTH, LOGO2_HEIGHT},
        {"logo3", logo3, LOGO3_WIDTH, LOGO3_HEIGHT},
        {"warpTexture", warpTexture, TEXTURE_WIDTH, TEXTURE_HEIGHT},
    };
    for (const auto& e : expected) {
        const ImageInfo image{e.name, e.pixels, e.width, e.height};
        const ToolRun explicitDigits = stdoutOf(std::string(e.name) + " --format digits");
        EXPECT_EQ(explicitDigits.status, 0) << e.name;
        EXPECT_EQ(explicitDigits.out, expectedDigits(image)) << e.name;
        // Into a pipe, digits are the default.
        EXPECT_EQ(stdoutOf(e.name).out, explicitDigits.out) << e.name;
    }
}

TEST_F(ArtCommand, AnsiPreviewIsColouredText)
{
    const ToolRun logo = stdoutOf("--format=ansi logo3");
    EXPECT_EQ(logo.status, 0);
    EXPECT_EQ(logo.out.rfind("\x1b[", 0), 0u);
    EXPECT_NE(logo.out.find("\xe2\x96\xa0"), std::string::npos) << "lit pixels show as U+25A0";

    const ToolRun texture = stdoutOf("warpTexture --format ansi");
    EXPECT_EQ(texture.status, 0);
    EXPECT_NE(texture.out.find("\xe2\x96\x80"), std::string::npos) << "two pixel rows per upper-half block";
    int lines = 0;
    for (char c : texture.out) lines += c == '\n';
    EXPECT_EQ(lines, TEXTURE_HEIGHT / 2);
}

TEST_F(ArtCommand, BadArgumentsGiveUsageAndStatusTwoAndNoOutput)
{
    const char* const bad[] = {
        "",                          // no image
        "nosuch",                    // unknown image
        "logo1a --format png",       // unknown format
        "logo1a --format",           // missing value
        "logo1a --colour",           // unknown option
        "logo1a logo2",              // two images
    };
    for (const char* args : bad) {
        const ToolRun out = stdoutOf(args);
        EXPECT_EQ(out.status, 2) << "'" << args << "'";
        EXPECT_EQ(out.out, "") << "'" << args << "'";
        EXPECT_NE(stderrOf(args).out.find("usage: murl13-tool art"), std::string::npos) << "'" << args << "'";
    }
}

TEST_F(ArtCommand, HelpGoesToStdout)
{
    const ToolRun help = stdoutOf("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: murl13-tool art"), std::string::npos);
}

}  // namespace
