// Writing a video file with a sound track through FFmpeg's libraries. The
// container and codecs follow the file name's extension; pictures come in as
// the console's cells, drawn with the VGA font and palette into the frame as
// its layout says (raster/picture_layout.h); sound comes in as interleaved
// 16-bit stereo at 44,100 Hz. An animated GIF has no sound: its pictures are
// in the 16 VGA colours, pixel for pixel.
//
// The file is written on a thread of its own: writePicture and writeSound
// queue their work and return (waiting only while a few pictures are queued
// already), so the caller renders the next frame while this one is drawn and
// encoded. A failure of the writing thread is reported by the next call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/picture_layout.h"
#include "state/demo_state.h"

namespace video {

constexpr int SOUND_RATE = 44100;  // frames per second of the sound handed in
constexpr int SOUND_CHANNELS = 2;
constexpr int SHARED_SOUND_RATE = 48000;  // the rate of the sound in files for sharing (MP4, WebM)
constexpr int HD_LINES = 720;  // frames this tall or taller are tagged (and converted) as BT.709

// .mp4: H.264 (yuv420p) and AAC, the index at the front; .mkv: lossless FFV1
// (RGB) and FLAC at the song's rate; .webm: VP9 and Opus; .gif: an animated
// GIF (no sound) that loops.
enum class Format { Mp4, Mkv, Webm, Gif };

// A GIF times its frames in hundredths of a second, and browsers slow down
// frames shorter than two: the rates it shows truly are those dividing 100, up to 50.
bool gifShowsRate(int fps);

// The format named by the path's extension (case-insensitive); false for any other.
bool formatForPath(const std::string& path, Format& format);

struct VideoFile;

// True when the container goes back to earlier bytes to finish the file (MP4
// moves its index to the front at the end): not for a pipe.
bool needsSeekableFile(Format format);

// Opens the file (created or truncated) and gets the encoders ready for
// frames of the layout's size at fps frames a second. Null, with the reason
// in error, when an encoder is missing from this FFmpeg or the file cannot be
// opened. The file is never removed here: what becomes of an unfinished one is
// the caller's business.
VideoFile* openVideoFile(const std::string& path, Format format, const raster::PictureLayout& layout, int fps,
                         std::string& error);

// The next picture: 80 by 50 cells (copied before the call returns).
bool writePicture(VideoFile* file, const CharInfo* cells, std::string& error);

// The next stereo frames of sound (dropped for a GIF).
bool writeSound(VideoFile* file, const int16_t* samples, size_t frames, std::string& error);

// Writes what is queued, drains the encoders, completes and closes the file,
// and frees it, also on failure.
bool finishVideoFile(VideoFile* file, std::string& error);

// Drops what is queued, closes the unfinished file and frees it. Accepts null.
void discardVideoFile(VideoFile* file);

}  // namespace video
