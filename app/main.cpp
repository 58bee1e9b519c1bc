// murl13: the demo. The frame loop lives in the core; the terminal or the
// window host gives it a screen, a clock and a keyboard, the music layer a song.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/command_line.h"
#include "hosts/console_choice.h"
#include "hosts/terminal/terminal_app.h"
#include "hosts/window/window_host.h"
#include "music/song_path.h"
#include "runtime/cell_workers.h"
#include "runtime/frame_loop.h"

namespace {

// The song is played from the working directory, else from the data folder of
// the installation this binary belongs to (found from where it runs, so that
// an installed tree can move).
std::string installedSongFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string binary(path, size_t(length));
    return binary.substr(0, binary.rfind('/') + 1) + MURL13_SONG_FOLDER_FROM_BINARY;
}

int runInTerminal(const app::DemoOptions& options)
{
    if (!terminal::requireTerminal()) return 1;
    terminal::setFrameRate(options.fps);
    const int status = runDemo();
    terminal::closeConsole();
    // Ctrl-C, SIGTERM and SIGHUP end the demo cleanly, then the process dies
    // by that signal as its caller expects.
    terminal::endByStopSignal();
    return status;
}

int runInWindow(const app::DemoOptions& options)
{
    // With no display named and no video driver asked for by name, SDL's
    // drivers would only fail, and the Wayland library says so on stderr
    // before the demo can: the demo's own line is the only one.
    if (!app::displayNamed() && std::getenv("SDL_VIDEODRIVER") == nullptr) {
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
    app::DemoOptions options;
    switch (app::parseDemoArguments(argc, argv, options, stderr)) {
    case app::ParseOutcome::Help: app::printDemoUsage(stdout); return 0;
    case app::ParseOutcome::BadUsage: app::printDemoUsage(stderr); return 2;
    case app::ParseOutcome::Run: break;
    }
    music::setSongFolder(installedSongFolder());
    // Paced frames (by the display or --fps) are milliseconds apart: the cell
    // workers sleep between them rather than watch for the next one.
    setWorkersWatchForFrames(options.fps == 0);
    switch (app::chooseHost(options, isatty(STDOUT_FILENO), app::displayNamed())) {
    case app::HostChoice::Terminal: return runInTerminal(options);
    case app::HostChoice::Window: return runInWindow(options);
    case app::HostChoice::Refuse: break;
    }
    terminal::requireTerminal();  // says why
    return 1;
}
