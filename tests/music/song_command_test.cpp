// murl13-tool song run as a program: a listing that cannot be written whole
// (a full disk, a closed stdout) must fail with status 1 rather than pass a
// truncated listing off as complete, and a song path that names a FIFO or a
// device must fail at once with status 1 rather than wait for a writer.
#include "music/fifo_guard.h"
#include "music/test_modules.h"
#include "tool_process.h"

using namespace testxm;

TEST(SongCommand, AListingThatCannotBeWrittenOrASongThatIsNoFileFails)
{
    xm::Module module = testModule(2, std::vector<int>(40, 4));
    for (xm::Pattern& pattern : module.patterns) pattern.at(0, 0) = {xm::NOTE_C4, 2};
    const std::string song = writeTempFile("listing.xm", xm::serialise(module));
    const auto listing = tool("song", song);
    EXPECT_EQ(listing.first, 0);
    EXPECT_GT(listing.second.size(), 1000u);
    EXPECT_EQ(listing.second.substr(listing.second.rfind('\n', listing.second.size() - 2) + 1, 4), "end ");
    for (const char* redirect : {">/dev/full", ">&-"}) {
        const auto failed = tool("song", song, (std::string("2>&1 ") + redirect).c_str());
        EXPECT_EQ(failed.first, 1) << redirect;
        EXPECT_NE(failed.second.find("cannot write the listing"), std::string::npos) << redirect;
    }

    FifoGuard fifo(testing::TempDir() + "murl13_" + std::to_string(getpid()) + "_song_fifo");
    EXPECT_EQ(tool("song", fifo.path).first, 1);
    EXPECT_EQ(tool("song", "/dev/zero").first, 1);
    EXPECT_FALSE(fifo.released) << "the tool waited for a writer";
}
