// Where the demo looks for its song: the working directory, then the folder it
// was installed to.
#include <cstdio>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "music/song_path.h"

namespace {

void touch(const std::string& path) { std::fclose(std::fopen(path.c_str(), "wb")); }

TEST(SongPath, WorkingDirectoryFirstThenTheInstalledFolder)
{
    char folderTemplate[] = "/tmp/murl13-songs-XXXXXX";
    const std::string folder = mkdtemp(folderTemplate);
    const std::string here = "song-path-test-here.oXM", installed = "song-path-test-installed.oXM";
    touch(here);
    touch(folder + "/" + here);
    touch(folder + "/" + installed);
    music::setSongFolder(folder);
    EXPECT_EQ(music::findSong(here.c_str()), here);
    EXPECT_EQ(music::findSong(installed.c_str()), folder + "/" + installed);
    EXPECT_EQ(music::findSong("missing.oXM"), "missing.oXM");
    EXPECT_EQ(music::findSong("./song-path-test-installed.oXM"), "./song-path-test-installed.oXM");
    music::setSongFolder("");
    for (const std::string& name : {here, folder + "/" + here, folder + "/" + installed}) unlink(name.c_str());
    rmdir(folder.c_str());
}

}  // namespace
