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
// then the alternate screen, no cursor, no autowrap. `firstTime` also sets the
// title and asks once for 80 by 50 cells. Called by openConsole and on resume.
void enterTerminal(bool firstTime);

// Leaves the alternate screen, shows the cursor, resets the colours and
// autowrap, and restores the saved modes. Called on the way out and before a
// suspend. Does nothing when the terminal is not entered.
void leaveTerminal();

// Saves the modes again: after a resume the shell's modes are the ones to
// restore later.
void resaveTerminal();

// Writes all of `data`, waiting while the terminal is slow. False when the
// terminal is gone (hang-up) or the write fails otherwise.
bool writeAll(int fd, const char* data, size_t size);

// Rows and columns of the terminal on `fd`; 80 by 50 when it does not say.
void terminalSize(int fd, int& rows, int& columns);

}  // namespace terminal
