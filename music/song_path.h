// Where the song is looked for: the working directory first, then the folder
// the song was installed to.
#pragma once

#include <string>
#include <vector>

namespace music {

// The folder searched for a song not found in the working directory; empty
// (the default) searches nowhere else. Set by each program before it starts.
void setSongFolder(const std::string& folder);

// The data folder of the installation the running program belongs to: its
// own folder joined with `fromProgram` (a relative path such as
// "../share/murl13"), so that an installed tree can move; empty when the
// program's path is unknown.
std::string installedSongFolder(const char* fromProgram);

// fileName when it opens as given or names a folder of its own (a '/'; on
// Windows also a backslash or a drive letter); otherwise the
// song folder's copy when that opens; otherwise fileName, to fail as given
// (null: an empty name).
std::string findSong(const char* fileName);

// The folders findSong looks in for fileName, in order, for a message when the
// song is not found: the working directory and the song folder, each as an
// absolute path where it exists (none for a name with a folder of its own).
std::vector<std::string> songSearchFolders(const char* fileName);

}  // namespace music
