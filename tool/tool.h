// murl13-tool: the developer's workbench. Each command is one function that
// gets the arguments after its name and returns the exit status.
#pragma once

int toolFrame(int argc, char** argv);  // render one frame from a given state
int toolArt(int argc, char** argv);    // print one image
int toolSong(int argc, char** argv);   // probe a song: order changes and triggers
int toolBench(int argc, char** argv);  // benchmark the whole show
int toolCapture(int argc, char** argv);  // render the show to a video file

// Bad options: the message and the usage go to stderr; the caller exits with 2.
constexpr int USAGE_ERROR = 2;
