// murl13: the demo. The frame loop lives in the core; the console host (a
// terminal, a Windows console) or the window host gives it a screen, a clock
// and a keyboard, the music layer a song.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/platform.h"
#include "murl13_version.h"
#include "hosts/console_choice.h"
#include "hosts/window/window_host.h"
#include "music/song_path.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"

namespace {

// 0 when the text printed reached stdout; else 1, saying so on stderr (a
// full disk, a closed pipe).
int outputStatus()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "murl13: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

int runInWindow(const app::DemoOptions& options)
{
    // With no display named and no video driver asked for by name, SDL's
    // drivers would only fail, and the Wayland library says so on stderr
    // before the demo can: the demo's own line is the only one.
    if (!app::windowCanShow()) {
        std::fputs("murl13: no window: no display to show it on\n", stderr);
        return 1;
    }
    if (!window::openWindow({options.scale, options.fullscreen, options.fps})) return 1;
    hosts::useConsole(hosts::Console::Window);
    const int status = runDemo();
    window::closeWindow();
    window::endByStopSignal();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    app::useUtf8Arguments(argc, argv);
    app::DemoOptions options;
    switch (app::parseDemoArguments(argc, argv, options, stderr)) {
    case app::ParseOutcome::Help: app::printDemoUsage(stdout); return outputStatus();
    case app::ParseOutcome::Version: std::puts("murl13 " MURL13_VERSION); return outputStatus();
    case app::ParseOutcome::BadUsage: app::printDemoUsage(stderr); return 2;
    case app::ParseOutcome::Run: break;
    }
    // The song is played from the working directory, else from the data folder
    // of the installation this program belongs to.
    music::setSongFolder(music::installedSongFolder(MURL13_SONG_FOLDER_FROM_BINARY));
    // Paced frames (by the display or --fps) are milliseconds apart: the cell
    // workers sleep between them rather than watch for the next one.
    setWorkersWatchForFrames(options.fps == 0);
    switch (app::chooseHost(options, app::stdoutIsConsole(), app::windowWithoutAsking())) {
    case app::HostChoice::Terminal: return app::runInConsole(options);
    case app::HostChoice::Window: return runInWindow(options);
    case app::HostChoice::Refuse: break;
    }
    app::explainNoConsole();
    return 1;
}
