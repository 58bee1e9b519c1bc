// Writing a video file with a sound track through FFmpeg's libraries. The
// container and codecs follow the file name's extension; pictures come in as
// RGB24, sound as interleaved 16-bit stereo at 44,100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace video {

constexpr int SOUND_RATE = 44100;  // frames per second of the sound handed in
constexpr int SOUND_CHANNELS = 2;

// .mp4: H.264 (yuv420p) and AAC; .mkv: lossless FFV1 (RGB) and FLAC;
// .webm: VP9 and Opus.
enum class Format { Mp4, Mkv, Webm };

// The format named by the path's extension (case-insensitive); false for any other.
bool formatForPath(const std::string& path, Format& format);

struct VideoFile;

// True when the container goes back to earlier bytes to finish the file (MP4
// writes its index last and points to it from the start): not for a pipe.
bool needsSeekableFile(Format format);

// Opens the file (created or truncated) and gets the encoders ready for
// pictures of width by height at fps pictures a second. Null, with the reason
// in error, when an encoder is missing from this FFmpeg or the file cannot be
// opened. The file is never removed here: what becomes of an unfinished one is
// the caller's business.
VideoFile* openVideoFile(const std::string& path, Format format, int width, int height, int fps,
                         std::string& error);

// The next picture: height rows of width RGB pixels, rowStride bytes apart.
bool writePicture(VideoFile* file, const uint8_t* rgb, size_t rowStride, std::string& error);

// The next stereo frames of sound.
bool writeSound(VideoFile* file, const int16_t* samples, size_t frames, std::string& error);

// Drains the encoders, completes and closes the file, and frees it, also on
// failure.
bool finishVideoFile(VideoFile* file, std::string& error);

// Closes the unfinished file and frees it. Accepts null.
void discardVideoFile(VideoFile* file);

}  // namespace video
