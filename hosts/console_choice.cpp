// The five console operations of state/console_host.h, forwarded to the host
// the demo's main picked: the system's console (a terminal, a Windows
// console) or the window. escapeHeld, asked on every march step, reads both
// hosts' stop flags (the unused one stays clear) instead of calling through.
#include "hosts/console_choice.h"

#include "hosts/system_console.h"
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

void openConsole() { chosen == Console::Window ? window::openConsole() : system_console::openConsole(); }

uint32_t clockMs() { return chosen == Console::Window ? window::clockMs() : system_console::clockMs(); }

void presentFrame() { chosen == Console::Window ? window::presentFrame() : system_console::presentFrame(); }

uint16_t escapeHeld()
{
    const unsigned stop = hosts::systemConsoleStopped() | window::stopRequested.load(std::memory_order_relaxed);
    return stop ? 1 : 0;
}

void showErrorBox(const char* text, const char* caption)
{
    chosen == Console::Window ? window::showErrorBox(text, caption) : system_console::showErrorBox(text, caption);
}
