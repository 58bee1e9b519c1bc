#include "app/command_line.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "tool/options.h"

namespace app {

namespace {

// A whole number within [lowest, highest], as the workbench reads one (plain
// decimal, no spaces), into `out`.
bool readInteger(const char* text, int lowest, int highest, int& out)
{
    const auto value = parseInteger(text, lowest, highest);
    if (!value) return false;
    out = int(*value);
    return true;
}

}  // namespace

ParseOutcome parseDemoArguments(int argc, const char* const* argv, DemoOptions& options, std::FILE* errors)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(arg, "--") == 0) {
            // The end of the options: the demo takes no other arguments.
            if (value == nullptr) break;
            std::fprintf(errors, "murl13: unexpected argument %s\n", quoted(value).c_str());
            return ParseOutcome::BadUsage;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) return ParseOutcome::Help;
        if (std::strcmp(arg, "--version") == 0) return ParseOutcome::Version;
        if (std::strcmp(arg, "--window") == 0) {
            options.window = true;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            options.window = options.fullscreen = true;
        } else if (std::strcmp(arg, "--scale") == 0) {
            if (!readInteger(value, 1, 8, options.scale)) {
                std::fprintf(errors, "murl13: --scale takes a whole number from 1 to 8\n");
                return ParseOutcome::BadUsage;
            }
            options.window = true;
            ++i;
        } else if (std::strcmp(arg, "--fps") == 0) {
            if (!readInteger(value, 0, 1000, options.fps)) {
                std::fprintf(errors, "murl13: --fps takes a whole number from 0 to 1000\n");
                return ParseOutcome::BadUsage;
            }
            ++i;
        } else {
            std::fprintf(errors, "murl13: unknown argument %s\n", quoted(arg).c_str());
            return ParseOutcome::BadUsage;
        }
    }
    return ParseOutcome::Run;
}

HostChoice chooseHost(const DemoOptions& options, bool stdoutIsTerminal, bool displayAvailable)
{
    if (options.window) return HostChoice::Window;
    if (stdoutIsTerminal) return HostChoice::Terminal;
    return displayAvailable ? HostChoice::Window : HostChoice::Refuse;
}

bool displayNamed()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// The console the demo draws in, and when it takes the window by itself:
// Windows gives every launch a console, so there it never does: it takes
// --window to leave the console, and the window is not chosen by itself.
#ifdef _WIN32
#define CONSOLE_NAME "console"
#define WINDOW_CHOSEN "; needed when stdout is\n                not a console (redirected to a file or a pipe)\n"
#else
#define CONSOLE_NAME "terminal"
#define WINDOW_CHOSEN "; chosen by itself when\n                stdout is not a terminal and a display is available\n"
#endif

void printDemoUsage(std::FILE* out)
{
    std::fputs("usage: murl13 [--fps N]\n"
               "       murl13 --window [--scale N] [--fullscreen] [--fps N]\n"
               "\n"
               "Plays the demo in this " CONSOLE_NAME " (80 by 50 cells), or in a window with\n"
               "the VGA font and palette. Escape ends it.\n"
               "\n"
               "  --window      show the demo in a desktop window" WINDOW_CHOSEN
               "  --scale N     window pixels per console pixel, 1 to 8 (default: the\n"
               "                largest of 1 to 4 that fits the desktop); implies --window\n"
               "  --fullscreen  start in full screen (F11 or Alt+Enter toggles); implies --window\n"
               "  --fps N       frames per second, 0 to 1000 (default 60); 0 draws frames\n"
               "                back to back\n"
               "  --version     the version and the commit it was built from\n"
               "  --help        this text\n",
               out);
}

}  // namespace app
