// Where the demo looks for its song: the working directory, then the folder it
// was installed to.
#include <cstdio>
#include <climits>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "music/song_path.h"

namespace {

TEST(SongPath, WorkingDirectoryFirstThenTheInstalledFolder)
{
    char folderTemplate[] = "/tmp/murl13-songs-XXXXXX";
    const std::string folder = mkdtemp(folderTemplate), here = "song-path-here.oXM", there = "song-path-there.oXM";
    const std::string files[] = {here, folder + "/" + here, folder + "/" + there};
    for (const std::string& path : files) std::fclose(std::fopen(path.c_str(), "wb"));
    music::setSongFolder(folder);
    EXPECT_EQ(music::findSong(here.c_str()), here);
    EXPECT_EQ(music::findSong(there.c_str()), folder + "/" + there);
    EXPECT_EQ(music::findSong("missing.oXM"), "missing.oXM");
    EXPECT_EQ(music::findSong(("./" + there).c_str()), "./" + there);  // a path is taken as given
    // Where a missing song was looked for, as a message names the folders.
    char workingFolder[PATH_MAX];
    ASSERT_NE(getcwd(workingFolder, sizeof workingFolder), nullptr);
    const std::vector<std::string> folders = music::songSearchFolders("missing.oXM");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], workingFolder);
    music::setSongFolder(folder + "/sub/..");
    EXPECT_EQ(music::songSearchFolders("missing.oXM"), folders);
    EXPECT_TRUE(music::songSearchFolders("./missing.oXM").empty());
    music::setSongFolder("");
    for (const std::string& path : files) unlink(path.c_str());
    rmdir(folder.c_str());
}

}  // namespace
