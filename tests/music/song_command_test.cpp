// murl13-tool song as a program: a listing that cannot be written whole (a
// full disk, a closed stdout) must fail with status 1, not pass for complete.
#include "music/test_modules.h"
#include "tool_process.h"

TEST(SongCommand, AListingThatCannotBeWrittenWholeFails)
{
    xm::Module module = testxm::testModule(2, std::vector<int>(40, 4));
    for (xm::Pattern& pattern : module.patterns) pattern.at(0, 0) = {xm::NOTE_C4, 2};
    const std::string song = testxm::writeTempFile("listing.xm", xm::serialise(module));
    EXPECT_EQ(tool("song", song).first, 0);
    for (const char* redirect : {"2>&1 >/dev/full", "2>&1 >&-"}) {
        const auto failed = tool("song", song, redirect);
        EXPECT_TRUE(failed.first == 1 && failed.second.find("cannot write the listing") != std::string::npos)
            << redirect << ": " << failed.first << " " << failed.second;
    }
}
