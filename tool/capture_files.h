// The capture's files on disk. Whatever the user named is replaced only by a
// complete capture: a regular file (or a path that does not exist yet) is
// written as a temporary file beside it and renamed onto it at the end, so a
// failure or a signal leaves what was there before. A path that is not a
// regular file (a device, a FIFO) is written to directly and never removed.
// The capture removes only the temporary files it created, on a failure and on
// every signal that ends the process. The temporary's folder is held open, so
// a folder renamed meanwhile still gets the finished file, or loses the
// temporary on a failure.
#pragma once

#include <string>

// One file the capture writes.
struct CaptureFile {
    std::string named;    // the path the user gave, for messages
    std::string target;   // that path with its symbolic links resolved
    std::string writing;  // where the bytes go: a temporary beside target (by a path that
                          // follows it wherever its folder moves), or target itself
    bool temporary = false;  // writing is a temporary file of ours, renamed onto target when complete
    int slot = -1;           // the temporary's entry in the table of temporaries
};

// Refuses, before anything is written, an output or cells file that is the
// song or each other, also through links or another spelling of the path.
// Returns the reason, or an empty string when the paths are apart. `cells`
// may be null.
std::string sameFileProblem(const char* song, const char* out, const char* cells);

// Makes ready to write `path`: the temporary beside it, or the path itself
// when it is not a regular file. `seekable`: the format goes back to earlier
// bytes, which a FIFO or socket cannot take (refused then). Refuses at once
// what the end could not replace: a file the user may not write, another
// user's file in a folder where only owners may remove files (as /tmp), a
// file mounted over, and, as a shell's redirection does, a path whose links
// go round in a loop. False with the reason in `error`.
bool prepareCaptureFile(const char* path, bool seekable, CaptureFile& file, std::string& error);

// Renames the complete temporary onto its target (nothing to do for a file
// written directly). False with the reason in `error`; the temporary is
// removed then.
bool commitCaptureFile(CaptureFile& file, std::string& error);

// Removes the temporary, if the capture made one. The target is never touched.
void discardCaptureFile(CaptureFile& file);

// From now on every signal whose default action ends the process (unless it
// was ignored when the program started) first removes the temporaries that are
// still there, writes `note` (may be null) to stderr, then ends the process by
// that signal.
void removeTemporariesOnEndingSignals();
void setEndingSignalNote(const char* note);

// `message` with each temporary's path replaced by the path the user named.
std::string inUserTerms(std::string message, const CaptureFile& file);
