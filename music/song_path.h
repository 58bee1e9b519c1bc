// Where the song is looked for: the working directory first, then the folder
// the song was installed to.
#pragma once

#include <string>

namespace music {

// The folder searched for a song not found in the working directory; empty
// (the default) searches nowhere else. Set by the demo before it starts.
void setSongFolder(const std::string& folder);

// fileName when it opens as given or names a folder of its own; otherwise the
// song folder's copy when that opens; otherwise fileName, to fail as given
// (null: an empty name).
std::string findSong(const char* fileName);

}  // namespace music
