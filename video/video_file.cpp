// The video writer on libavformat and libavcodec: one picture stream and one
// sound stream, interleaved by the muxer. Pictures are drawn from the cells
// straight into the encoder's pixel format (frame_planes.h): Y'CbCr 4:2:0,
// RGB, or the GIF's palette indexes, so a GIF holds the 16 VGA colours and no
// others. Sound is resampled and reformatted by libswresample and cut into the
// sound encoder's frame size in a FIFO. Everything is written bit-exact (no
// version strings, no random identifiers), so the same input makes the same
// file.
//
// The caller's thread only queues cells and sound. A drawing thread draws
// each picture into one of a few frames and hands it on; an encoding thread
// sends the frames and the sound, in order, to the encoders (which run threads
// of their own) and the muxer, and gives the frames back. So the caller
// renders frame k + 2 while frame k + 1 is drawn and frame k encoded.
#include "video/video_file.h"

#include <sys/stat.h>

#include "raster/rasterise.h"
#include "video/frame_planes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace video {

namespace {

struct Codecs {
    const char* extension;
    Format format;
    const char* muxer;
    const char* picture;  // encoder names
    const char* sound;  // null: no sound track
    int soundRate;
};

const Codecs CODECS[] = {
    {".mp4", Format::Mp4, "mp4", "libx264", "aac", SHARED_SOUND_RATE},
    {".mkv", Format::Mkv, "matroska", "ffv1", "flac", SOUND_RATE},
    {".webm", Format::Webm, "webm", "libvpx-vp9", "libopus", SHARED_SOUND_RATE},
    {".gif", Format::Gif, "gif", "gif", nullptr, 0},
};

// Pictures queued but not drawn yet: enough for the caller to run ahead by a
// frame or two, few enough that the queue stays small.
constexpr size_t MAX_QUEUED_PICTURES = 3;
// Frames to draw into: one being drawn while another is encoded.
constexpr int DRAWN_FRAMES = 2;

// H.264 frames this large (1920x1080 and up) are encoded for speed and bounded memory.
constexpr int64_t LARGE_FRAME_PIXELS = 1920 * 1080;

const Codecs& codecsFor(Format format)
{
    for (const Codecs& codecs : CODECS)
        if (codecs.format == format) return codecs;
    return CODECS[0];
}

std::string averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

// One piece of work: a picture (its cells, then the frame drawn from them)
// or some sound.
struct Work {
    bool isPicture = false;
    ScreenBuffer cells;
    AVFrame* frame = nullptr;
    std::vector<int16_t> sound;
};

struct VideoFile {
    std::string path;
    Format format = Format::Mp4;
    AVFormatContext* muxer = nullptr;
    bool fileOpen = false;  // the muxer's file handle is open
    AVCodecContext* pictureCodec = nullptr;
    AVCodecContext* soundCodec = nullptr;
    AVStream* pictureStream = nullptr;
    AVStream* soundStream = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    std::vector<AVFrame*> frames;  // every frame drawn into
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int64_t picturesSent = 0;
    int64_t soundSent = 0;  // samples at the encoder's rate
    raster::PictureLayout layout;
    // Drawing: the console picture's palette indexes, where each plane's
    // pixels come from, and the 16 colours in each plane's terms.
    std::vector<uint8_t> indexes = std::vector<uint8_t>(INDEX_BYTES);
    PlaneMap fullPlane, halfPlane;
    YuvColours yuv{};
    uint32_t packed[16] = {};  // RGB pixels, or the GIF's palette
    uint8_t paletteIndex[16] = {};

    // The threads and their queues, under one lock; `failed` and `error` say
    // why they stopped.
    std::thread drawer, encoder;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Work> toDraw, toEncode;
    std::vector<AVFrame*> freeFrames;  // frames not being drawn or encoded
    size_t queuedPictures = 0;         // pictures in toDraw
    bool closing = false;   // no more work comes: write what is queued, then stop
    bool drawn = false;     // the drawing thread has handed on all it will
    bool dropping = false;  // stop at once, dropping what is queued
    bool failed = false;
    std::string error;
};

bool gifShowsRate(int fps) { return fps >= 1 && fps <= 50 && 100 % fps == 0; }

bool formatForPath(const std::string& path, Format& format)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const Codecs& codecs : CODECS) {
        const std::string extension = codecs.extension;
        const size_t slash = lower.rfind('/');
        const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        // The extension must follow a name, not be the whole name.
        if (lower.size() > nameStart + extension.size() &&
            lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0) {
            format = codecs.format;
            return true;
        }
    }
    return false;
}

bool needsSeekableFile(Format format) { return format == Format::Mp4; }

namespace {

void freeAll(VideoFile* file)
{
    if (file->fileOpen) avio_closep(&file->muxer->pb);
    avformat_free_context(file->muxer);
    avcodec_free_context(&file->pictureCodec);
    avcodec_free_context(&file->soundCodec);
    swr_free(&file->resampler);
    if (file->fifo) av_audio_fifo_free(file->fifo);
    for (AVFrame*& frame : file->frames) av_frame_free(&frame);
    av_frame_free(&file->sound);
    av_packet_free(&file->packet);
    delete file;
}

// Sends one frame (null: drain) to an encoder and writes every packet it gives back.
bool encode(VideoFile* file, AVCodecContext* codec, AVStream* stream, const AVFrame* frame, std::string& error)
{
    int status = avcodec_send_frame(codec, frame);
    if (status < 0) {
        error = std::string("encoding failed: ") + averror(status);
        return false;
    }
    for (;;) {
        status = avcodec_receive_packet(codec, file->packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) {
            error = std::string("encoding failed: ") + averror(status);
            return false;
        }
        av_packet_rescale_ts(file->packet, codec->time_base, stream->time_base);
        file->packet->stream_index = stream->index;
        status = av_interleaved_write_frame(file->muxer, file->packet);
        if (status < 0) {
            error = file->path + ": " + averror(status);
            return false;
        }
    }
}

const AVCodec* findEncoder(const char* name, std::string& error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) error = std::string("this FFmpeg has no ") + name + " encoder";
    return codec;
}

// Opens the set-up encoder and gives it a stream in the file; null on failure.
AVStream* startEncoder(VideoFile* file, AVCodecContext* c, std::string& error)
{
    if (file->muxer->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int status = avcodec_open2(c, c->codec, nullptr);
    if (status < 0) {
        error = std::string("cannot start the ") + c->codec->name + " encoder: " + averror(status);
        return nullptr;
    }
    AVStream* stream = avformat_new_stream(file->muxer, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, c) < 0) {
        error = "out of memory";
        return nullptr;
    }
    stream->time_base = c->time_base;
    return stream;
}

bool openPictureCodec(VideoFile* file, Format format, int fps, std::string& error)
{
    const AVCodec* encoder = findEncoder(codecsFor(format).picture, error);
    if (encoder == nullptr) return false;
    AVCodecContext* c = file->pictureCodec = avcodec_alloc_context3(encoder);
    c->width = file->layout.frameWidth;
    c->height = file->layout.frameHeight;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    c->thread_count = 0;  // one per core
    if (format == Format::Gif) {
        // Frames after the first hold only the rectangle that changed. No
        // transparent pixels for the unchanged ones: every frame holds only
        // the 16 colours, and the files came out smaller without.
        c->pix_fmt = AV_PIX_FMT_PAL8;
        av_opt_set(c->priv_data, "gifflags", "offsetting", 0);
    } else if (format == Format::Mkv) {
        // Version 3 codes slices on their own, so they run in parallel and
        // the bytes do not depend on the thread count.
        c->pix_fmt = AV_PIX_FMT_0RGB32;
        c->level = 3;
        c->slices = 4;
        av_opt_set_int(c->priv_data, "context", 1, 0);
    } else {
        // Players take HD frames for BT.709 and smaller ones for BT.601, as
        // the tags say; the colours are converted by the same matrix.
        const bool hd = c->height >= HD_LINES;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        c->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
        c->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
        c->color_range = AVCOL_RANGE_MPEG;
        c->gop_size = fps * 4;
    }
    if (format == Format::Mp4) {
        // A fast preset keeps well ahead of the show; the low rate factor
        // keeps the cell edges hard. (The fastest preset is cheaper still but
        // makes files twice as large.)
        av_opt_set(c->priv_data, "preset", "superfast", 0);
        av_opt_set(c->priv_data, "crf", "16", 0);
        if (int64_t(c->width) * c->height >= LARGE_FRAME_PIXELS) {
            // Large frames cost the encoder most of the capture's time: no
            // B-frames and CAVLC in place of CABAC halve it, for files a
            // quarter larger, and no deblocking keeps the enlarged pixels hard
            // and the files smaller. The threads share each frame's rows, so
            // that it holds no frames in flight (a 3840x2160 capture took
            // 690 MB with them, 220 MB without).
            av_opt_set(c->priv_data, "x264-params", "bframes=0:cabac=0:no-deblock=1", 0);
            c->thread_type = FF_THREAD_SLICE;
        }
    } else if (format == Format::Webm) {
        av_opt_set(c->priv_data, "deadline", "realtime", 0);
        av_opt_set_int(c->priv_data, "cpu-used", 8, 0);
        av_opt_set_int(c->priv_data, "row-mt", 1, 0);
        av_opt_set_int(c->priv_data, "crf", 30, 0);
        // Real time takes no look-ahead: held frames made the same file with
        // more memory (380 MB more at 3840x2160).
        av_opt_set_int(c->priv_data, "lag-in-frames", 0, 0);
        c->bit_rate = 0;
    }
    file->pictureStream = startEncoder(file, c, error);
    if (file->pictureStream == nullptr) return false;
    file->pictureStream->avg_frame_rate = c->framerate;

    for (int i = 0; i < DRAWN_FRAMES; ++i) {
        AVFrame* frame = av_frame_alloc();
        file->frames.push_back(frame);
        if (frame == nullptr) {
            error = "out of memory";
            return false;
        }
        frame->format = c->pix_fmt;
        frame->width = c->width;
        frame->height = c->height;
        if (av_frame_get_buffer(frame, 0) < 0) {
            error = "out of memory";
            return false;
        }
        file->freeFrames.push_back(frame);
    }
    file->fullPlane = planeMap(file->layout, 1);
    file->halfPlane = planeMap(file->layout, 2);
    file->yuv = yuvColours(c->colorspace == AVCOL_SPC_BT709);
    for (int i = 0; i < 16; ++i) {
        const raster::Rgb& v = raster::vgaPalette[i];
        file->packed[i] = 0xFF000000u | uint32_t(v.r) << 16 | uint32_t(v.g) << 8 | v.b;
        file->paletteIndex[i] = uint8_t(i);
    }
    return true;
}

bool openSoundCodec(VideoFile* file, Format format, std::string& error)
{
    if (codecsFor(format).sound == nullptr) return true;
    const AVCodec* encoder = findEncoder(codecsFor(format).sound, error);
    if (encoder == nullptr) return false;
    AVCodecContext* c = file->soundCodec = avcodec_alloc_context3(encoder);
    c->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->sample_rate = codecsFor(format).soundRate;
    av_channel_layout_default(&c->ch_layout, SOUND_CHANNELS);
    c->time_base = AVRational{1, c->sample_rate};
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (format != Format::Mkv) c->bit_rate = 192000;
    file->soundStream = startEncoder(file, c, error);
    if (file->soundStream == nullptr) return false;

    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, SOUND_CHANNELS);
    const int status = swr_alloc_set_opts2(&file->resampler, &c->ch_layout, c->sample_fmt, c->sample_rate, &stereo,
                                 AV_SAMPLE_FMT_S16, SOUND_RATE, 0, nullptr);
    if (status < 0 || swr_init(file->resampler) < 0) {
        error = "cannot convert the sound";
        return false;
    }
    file->fifo = av_audio_fifo_alloc(c->sample_fmt, SOUND_CHANNELS, 4096);
    file->sound = av_frame_alloc();
    if (file->fifo == nullptr || file->sound == nullptr) {
        error = "out of memory";
        return false;
    }
    return true;
}

// Hands the FIFO's sound to the encoder in frames of its size; with `all`, the
// rest as a shorter last frame.
bool encodeQueuedSound(VideoFile* file, bool all, std::string& error)
{
    AVCodecContext* c = file->soundCodec;
    const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
    for (;;) {
        const int queued = av_audio_fifo_size(file->fifo);
        if (queued == 0 || (queued < frameSize && !all)) return true;
        const int take = std::min(queued, frameSize);
        AVFrame* frame = file->sound;
        av_frame_unref(frame);
        frame->format = c->sample_fmt;
        frame->sample_rate = c->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
        frame->nb_samples = take;
        if (av_frame_get_buffer(frame, 0) < 0) {
            error = "out of memory";
            return false;
        }
        av_audio_fifo_read(file->fifo, reinterpret_cast<void**>(frame->data), take);
        frame->pts = file->soundSent;
        file->soundSent += take;
        if (!encode(file, c, file->soundStream, frame, error)) return false;
    }
}

// Converts sound (null: what the resampler still holds) into the FIFO.
bool queueSound(VideoFile* file, const int16_t* samples, int frames, std::string& error)
{
    const int room = swr_get_out_samples(file->resampler, frames);
    uint8_t** converted = nullptr;
    if (room > 0 &&
        av_samples_alloc_array_and_samples(&converted, nullptr, SOUND_CHANNELS, room, file->soundCodec->sample_fmt,
                                           0) < 0) {
        error = "out of memory";
        return false;
    }
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const int got = room > 0 ? swr_convert(file->resampler, converted, room, samples ? in : nullptr, frames) : 0;
    bool ok = got >= 0;
    if (!ok) error = "cannot convert the sound";
    if (ok && got > 0 && av_audio_fifo_write(file->fifo, reinterpret_cast<void**>(converted), got) < got) {
        error = "out of memory";
        ok = false;
    }
    if (converted) av_freep(&converted[0]);
    av_freep(&converted);
    return ok;
}

// Draws the cells into a frame in the encoder's pixel format.
bool drawPicture(VideoFile* file, const CharInfo* cells, AVFrame* picture)
{
    // Writable unless an encoder still holds the frame: then a new buffer.
    if (av_frame_make_writable(picture) < 0) return false;
    indexPicture(cells, file->indexes.data());
    const uint8_t* indexes = file->indexes.data();
    if (file->format == Format::Gif) {
        // The GIF's colour table has 256 entries: the 16 colours repeated, so
        // it holds no colour but theirs.
        uint32_t* palette = reinterpret_cast<uint32_t*>(picture->data[1]);
        for (int i = 0; i < AVPALETTE_COUNT; ++i) palette[i] = file->packed[i % 16];
        drawPlane(indexes, file->fullPlane, file->paletteIndex, picture->data[0], picture->linesize[0]);
    } else if (file->format == Format::Mkv) {
        drawPlane(indexes, file->fullPlane, file->packed, picture->data[0], picture->linesize[0]);
    } else {
        drawPlane(indexes, file->fullPlane, file->yuv.y, picture->data[0], picture->linesize[0]);
        drawPlane(indexes, file->halfPlane, file->yuv.u, picture->data[1], picture->linesize[1]);
        drawPlane(indexes, file->halfPlane, file->yuv.v, picture->data[2], picture->linesize[2]);
    }
    return true;
}

bool encodeSound(VideoFile* file, const int16_t* samples, size_t frames, std::string& error)
{
    constexpr size_t CHUNK = 1 << 16;
    while (file->soundCodec && frames > 0) {
        const size_t take = std::min(frames, CHUNK);
        if (!queueSound(file, samples, int(take), error)) return false;
        if (!encodeQueuedSound(file, false, error)) return false;
        samples += take * SOUND_CHANNELS;
        frames -= take;
    }
    return true;
}

// The drawing thread: draws the queued pictures, in order, into free frames
// and passes them and the sound on to the encoding thread.
void drawQueued(VideoFile* file)
{
    std::unique_lock<std::mutex> held(file->lock);
    for (;;) {
        file->changed.wait(held, [file] {
            return file->dropping || (file->closing && file->toDraw.empty()) ||
                   (!file->toDraw.empty() && (!file->toDraw.front().isPicture || !file->freeFrames.empty()));
        });
        if (file->dropping || (file->closing && file->toDraw.empty())) break;
        Work work = std::move(file->toDraw.front());
        file->toDraw.pop_front();
        if (work.isPicture) --file->queuedPictures;
        file->changed.notify_all();
        if (file->failed) continue;
        if (work.isPicture) {
            work.frame = file->freeFrames.back();
            file->freeFrames.pop_back();
            held.unlock();
            const bool drawn = drawPicture(file, work.cells.data(), work.frame);
            held.lock();
            if (!drawn && !file->failed) {
                file->failed = true;
                file->error = "out of memory";
            }
        }
        file->toEncode.push_back(std::move(work));
    }
    file->drawn = true;
    file->changed.notify_all();
}

// The encoding thread: the drawn pictures and the sound, in order, through
// the encoders into the file; each frame back to the free ones once sent.
void encodeQueued(VideoFile* file)
{
    std::unique_lock<std::mutex> held(file->lock);
    for (;;) {
        file->changed.wait(held, [file] { return file->dropping || file->drawn || !file->toEncode.empty(); });
        if (file->dropping || file->toEncode.empty()) return;
        Work work = std::move(file->toEncode.front());
        file->toEncode.pop_front();
        bool ok = true;
        std::string error;
        if (!file->failed) {
            held.unlock();
            if (work.isPicture) {
                work.frame->pts = file->picturesSent++;
                ok = encode(file, file->pictureCodec, file->pictureStream, work.frame, error);
            } else {
                ok = encodeSound(file, work.sound.data(), work.sound.size() / SOUND_CHANNELS, error);
            }
            held.lock();
        }
        if (work.frame) file->freeFrames.push_back(work.frame);
        if (!ok && !file->failed) {
            file->failed = true;
            file->error = error;
        }
        file->changed.notify_all();
    }
}

// Hands work to the drawing thread (nothing for no sound); waits while it has
// pictures enough. False, with the reason, once the writing has failed.
bool queueWork(VideoFile* file, Work&& work, std::string& error)
{
    std::unique_lock<std::mutex> held(file->lock);
    file->changed.wait(held, [file, &work] {
        return file->failed || !work.isPicture || file->queuedPictures < MAX_QUEUED_PICTURES;
    });
    if (file->failed) {
        error = file->error;
        return false;
    }
    if (!work.isPicture && work.sound.empty()) return true;
    if (work.isPicture) ++file->queuedPictures;
    file->toDraw.push_back(std::move(work));
    file->changed.notify_all();
    return true;
}

// Stops the threads: after the queued work, or at once with `drop`. False,
// with the reason, when the writing failed.
bool stopWriting(VideoFile* file, bool drop, std::string& error)
{
    if (!file->drawer.joinable()) return true;
    {
        std::lock_guard<std::mutex> held(file->lock);
        file->closing = true;
        file->dropping = drop;
    }
    file->changed.notify_all();
    file->drawer.join();
    file->encoder.join();
    if (file->failed) error = file->error;
    return !file->failed;
}

}  // namespace

VideoFile* openVideoFile(const std::string& path, Format format, const raster::PictureLayout& layout, int fps,
                         std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);  // FFmpeg's own notes would clutter the terminal
    VideoFile* file = new VideoFile;
    file->path = path;
    file->format = format;
    file->layout = layout;
    file->packet = av_packet_alloc();
    const Codecs& codecs = codecsFor(format);
    if (avformat_alloc_output_context2(&file->muxer, nullptr, codecs.muxer, path.c_str()) < 0 || !file->packet) {
        error = std::string("cannot write ") + codecs.muxer + " files";
        freeAll(file);
        return nullptr;
    }
    file->muxer->flags |= AVFMT_FLAG_BITEXACT;
    // Opus starts before 0 by its encoder's delay, which WebM records as the
    // track's own delay; shifting the whole file instead would start the
    // pictures 6.5 ms late.
    if (format == Format::Webm) file->muxer->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    if (!openPictureCodec(file, format, fps, error) || !openSoundCodec(file, format, error)) {
        freeAll(file);
        return nullptr;
    }
    int status = avio_open(&file->muxer->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) {
        error = path + ": " + averror(status);
        freeAll(file);
        return nullptr;
    }
    file->fileOpen = true;
    // An MP4 in a regular file gets its index at the front, so that a player
    // can start before the whole file has arrived: the muxer reads the file
    // back at the end and writes it again behind the index.
    AVDictionary* options = nullptr;
    struct stat info;
    if (format == Format::Mp4 && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        av_dict_set(&options, "movflags", "+faststart", 0);
    status = avformat_write_header(file->muxer, &options);
    av_dict_free(&options);
    if (status < 0) {
        error = path + ": " + averror(status);
        discardVideoFile(file);
        return nullptr;
    }
    file->drawer = std::thread(drawQueued, file);
    file->encoder = std::thread(encodeQueued, file);
    return file;
}

bool writePicture(VideoFile* file, const CharInfo* cells, std::string& error)
{
    Work work;
    work.isPicture = true;
    std::copy(cells, cells + CELL_COUNT, work.cells.begin());
    return queueWork(file, std::move(work), error);
}

bool writeSound(VideoFile* file, const int16_t* samples, size_t frames, std::string& error)
{
    if (file->soundCodec == nullptr || frames == 0) return queueWork(file, Work{}, error);
    Work work;
    work.sound.assign(samples, samples + frames * SOUND_CHANNELS);
    return queueWork(file, std::move(work), error);
}

bool finishVideoFile(VideoFile* file, std::string& error)
{
    bool ok = stopWriting(file, false, error) &&
              (file->soundCodec == nullptr ||
               (queueSound(file, nullptr, 0, error) && encodeQueuedSound(file, true, error) &&
                encode(file, file->soundCodec, file->soundStream, nullptr, error))) &&
              encode(file, file->pictureCodec, file->pictureStream, nullptr, error);
    if (ok) {
        const int status = av_write_trailer(file->muxer);
        if (status < 0) error = file->path + ": " + averror(status);
        ok = status >= 0;
    }
    if (ok) {
        const int status = avio_closep(&file->muxer->pb);
        file->fileOpen = false;
        if (status < 0) error = file->path + ": " + averror(status);
        ok = status >= 0;
    }
    freeAll(file);
    return ok;
}

void discardVideoFile(VideoFile* file)
{
    if (file == nullptr) return;
    std::string ignored;
    stopWriting(file, true, ignored);
    freeAll(file);
}

}  // namespace video
