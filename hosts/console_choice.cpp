// The five console operations of state/console_host.h, forwarded to the host
// the demo's main picked. escapeHeld, asked on every march step, reads both
// hosts' stop flags (the unused one stays clear) instead of calling through.
#include "hosts/console_choice.h"

#include "hosts/terminal/input_thread.h"
#include "hosts/terminal/terminal_app.h"
#include "hosts/window/window_host.h"
#include "state/console_host.h"

namespace hosts {

namespace {

Console chosen = Console::Terminal;

}  // namespace

void useConsole(Console console) { chosen = console; }

}  // namespace hosts

using hosts::chosen;
using hosts::Console;

void openConsole() { chosen == Console::Window ? window::openConsole() : terminal::openConsole(); }

uint32_t clockMs() { return chosen == Console::Window ? window::clockMs() : terminal::clockMs(); }

void presentFrame() { chosen == Console::Window ? window::presentFrame() : terminal::presentFrame(); }

uint16_t escapeHeld()
{
    const unsigned stop = (terminal::events.load(std::memory_order_relaxed) & terminal::STOP_EVENTS) |
                          window::stopRequested.load(std::memory_order_relaxed);
    return stop ? 1 : 0;
}

void showErrorBox(const char* text, const char* caption)
{
    chosen == Console::Window ? window::showErrorBox(text, caption) : terminal::showErrorBox(text, caption);
}
