// The terminal session: raw mode and the demo's screen on the way in, the
// terminal as the program found it on every way out, crashes included.
#pragma once

#include <cstddef>

namespace terminal {

// Saves the modes of the terminal on `outputFd` and, when it is another
// terminal, of `keyFd` (-1: none), so that leaveTerminal can put them back.
// Installs the crash handlers that restore them. Called by openConsole.
void saveTerminal(int outputFd, int keyFd);

// Raw mode on the saved terminals (signals from Ctrl-C, Ctrl-Z and Ctrl-\ kept),
// then the title pushed and set, the alternate screen, no cursor, no autowrap
// (when entered already, only the modes again). `firstTime` also asks once for
// 80 by 50 cells. Called by openConsole and on resume.
void enterTerminal(bool firstTime);

// Erases and leaves the alternate screen, shows the cursor, resets the colours
// and autowrap, pops the title, then restores the saved modes. A terminal that
// does not read loses what it has not taken of the frames instead, so that the
// whole sequence is queued for it at once and reaches it when it reads again.
// Called on the way out and before a suspend. Does nothing when the terminal
// is not entered.
void leaveTerminal();

// Saves the modes again: after a resume the shell's modes are the ones to
// restore later.
void resaveTerminal();

// Writes all of `data` to the non-blocking `fd`, waiting while the terminal is
// slow. Gives up after `timeoutMs` (-1: never) or, with `giveUpOnStop`, as soon
// as an event that ends the demo or a suspend (Ctrl-Z) is raised. FAILED when the terminal is gone
// (hang-up) or the write fails otherwise. `sent` (optional) counts the bytes
// that went out.
enum class Written { ALL, STOPPED, TIMED_OUT, FAILED };
Written writeAll(int fd, const char* data, size_t size, int timeoutMs, bool giveUpOnStop, size_t* sent = nullptr);

// A descriptor for writing to the terminal on `fd` without blocking: an open
// of its own, or `fd` itself made non-blocking while the terminal is entered
// (and restored on every way out) when the terminal cannot be opened again.
int openOutput(int fd);

// True when `a` and `b` are the same terminal.
bool sameTerminal(int a, int b);

// Tells the way out that a synchronized update was begun and not yet ended
// (a frame cut short), so that it ends it.
void synchronizedUpdateOpen(bool open);

// Rows and columns of the terminal on `fd`; 80 by 50 when it does not say.
void terminalSize(int fd, int& rows, int& columns);

}  // namespace terminal
