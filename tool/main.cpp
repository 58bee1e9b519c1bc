#include "tool/tool.h"

#include "music/song_path.h"
#include "tool/options.h"

#include "murl13_version.h"

#include <cstdio>
#include <cstring>

static const char USAGE[] =
    "usage: murl13-tool COMMAND [OPTIONS]\n"
    "commands:\n"
    "  frame   render one frame from a given state (murl13-tool frame --help)\n"
    "  art     print one of the images (murl13-tool art --help)\n"
    "  song    list a module's order changes and instrument triggers\n"
    "  bench   render a fixed schedule of frames and report the frame times\n"
    NOT_ON_WINDOWS("  capture render the show to a video file with its sound (murl13-tool capture --help)\n")
    "  --version  the version and the commit it was built from\n";

int main(int argc, char** argv)
{
    startWorkbench(argc, argv);
    if (argc < 2) {
        std::fputs(USAGE, stderr);
        return USAGE_ERROR;
    }
    // The song is looked for as the demo looks for it: the working directory,
    // then the data folder of the installation this program belongs to.
    music::setSongFolder(music::installedSongFolder(MURL13_SONG_FOLDER_FROM_BINARY));
    const char* command = argv[1];
    if (std::strcmp(command, "frame") == 0) return toolFrame(argc - 2, argv + 2);
    if (std::strcmp(command, "art") == 0) return toolArt(argc - 2, argv + 2);
    if (std::strcmp(command, "song") == 0) return toolSong(argc - 2, argv + 2);
    if (std::strcmp(command, "bench") == 0) return toolBench(argc - 2, argv + 2);
    if (std::strcmp(command, "capture") == 0) return toolCapture(argc - 2, argv + 2);
    if (std::strcmp(command, "--version") == 0) return printText("murl13-tool " MURL13_VERSION "\n");
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) return printText(USAGE);
    std::fprintf(stderr, "murl13-tool: unknown command %s\n", quoted(command).c_str());
    std::fputs(USAGE, stderr);
    return USAGE_ERROR;
}
