// The demo's command line: which console each way of starting it picks, and
// which arguments are refused. A wrong choice here starts a window on a
// terminal user's desktop, or pours escape codes into a launcher's log.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"

namespace {

struct Parsed {
    app::ParseOutcome outcome;
    app::DemoOptions options;
};

Parsed parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "murl13");
    Parsed parsed{app::ParseOutcome::Run, {}};
    std::FILE* sink = std::tmpfile();
    parsed.outcome = app::parseDemoArguments(int(args.size()), args.data(), parsed.options, sink);
    std::fclose(sink);
    return parsed;
}

TEST(CommandLine, ArgumentsGiveOptionsOrAreRefused)
{
    using app::ParseOutcome;
    struct Case {
        std::vector<const char*> args;
        ParseOutcome outcome;
        bool window = false;
        int scale = 0;
        bool fullscreen = false;
        int fps = 60;
    };
    const Case cases[] = {
        {{}, ParseOutcome::Run, false, 0, false, 60},
        {{"--window"}, ParseOutcome::Run, true, 0, false, 60},
        {{"--window", "--scale", "3"}, ParseOutcome::Run, true, 3, false, 60},
        {{"--scale", "8"}, ParseOutcome::Run, true, 8, false, 60},
        {{"--fullscreen", "--fps", "0"}, ParseOutcome::Run, true, 0, true, 0},
        {{"--fps", "144"}, ParseOutcome::Run, false, 0, false, 144},
        {{"--help"}, ParseOutcome::Help, false, 0, false, 60},
        {{"--window", "-h"}, ParseOutcome::Help, true, 0, false, 60},
        {{"--fps", "30", "--version"}, ParseOutcome::Version},
        {{"--scale"}, ParseOutcome::BadUsage},
        {{"--scale", "0"}, ParseOutcome::BadUsage},
        {{"--scale", "9"}, ParseOutcome::BadUsage},
        {{"--scale", "2x"}, ParseOutcome::BadUsage},
        {{"--fps", "-1"}, ParseOutcome::BadUsage},
        {{"--fps", "1001"}, ParseOutcome::BadUsage},
        {{"--fps"}, ParseOutcome::BadUsage},
        {{"--fps", " 5"}, ParseOutcome::BadUsage},
        {{"--fps", "5 "}, ParseOutcome::BadUsage},
        {{"--scale", "0x2"}, ParseOutcome::BadUsage},
        {{"--fps", "30", "--"}, ParseOutcome::Run, false, 0, false, 30},
        {{"--", "--version"}, ParseOutcome::BadUsage},
        {{"--windowed"}, ParseOutcome::BadUsage},
        {{"GLIMVEX.oXM"}, ParseOutcome::BadUsage},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.args);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        ASSERT_EQ(p.outcome, c.outcome);
        if (c.outcome != ParseOutcome::Run) continue;
        EXPECT_EQ(p.options.window, c.window);
        EXPECT_EQ(p.options.scale, c.scale);
        EXPECT_EQ(p.options.fullscreen, c.fullscreen);
        EXPECT_EQ(p.options.fps, c.fps);
    }
}

TEST(CommandLine, HostFollowsTheRequestThenTheTerminalThenTheDisplay)
{
    using app::HostChoice;
    struct Case {
        bool windowAsked, tty, display;
        HostChoice choice;
    };
    const Case cases[] = {
        {false, true, true, HostChoice::Terminal},   // a terminal on a desktop
        {false, true, false, HostChoice::Terminal},  // a console or ssh session
        {false, false, true, HostChoice::Window},    // a desktop launcher
        {false, false, false, HostChoice::Refuse},   // a pipe on a headless box
        {true, true, true, HostChoice::Window},
        {true, false, false, HostChoice::Window},    // asked for: the window host reports what fails
    };
    for (const Case& c : cases) {
        app::DemoOptions options;
        options.window = c.windowAsked;
        EXPECT_EQ(app::chooseHost(options, c.tty, c.display), c.choice)
            << c.windowAsked << c.tty << c.display;
    }
}

}  // namespace
