// The video writer on libavformat and libavcodec: one picture stream and one
// sound stream, interleaved by the muxer. Pictures are converted by libswscale,
// sound is resampled and reformatted by libswresample and cut into the sound
// encoder's frame size in a FIFO. Everything is written bit-exact (no
// version strings, no random identifiers), so the same input makes the same file.
#include "video/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace video {

namespace {

struct Codecs {
    const char* extension;
    Format format;
    const char* muxer;
    const char* picture;  // encoder names
    const char* sound;
};

const Codecs CODECS[] = {
    {".mp4", Format::Mp4, "mp4", "libx264", "aac"},
    {".mkv", Format::Mkv, "matroska", "ffv1", "flac"},
    {".webm", Format::Webm, "webm", "libvpx-vp9", "libopus"},
};

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

struct VideoFile {
    std::string path;
    AVFormatContext* muxer = nullptr;
    bool fileOpen = false;  // the muxer's file handle is open
    AVCodecContext* pictureCodec = nullptr;
    AVCodecContext* soundCodec = nullptr;
    AVStream* pictureStream = nullptr;
    AVStream* soundStream = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int64_t picturesSent = 0;
    int64_t soundSent = 0;  // samples at the encoder's rate
    int width = 0, height = 0;
};

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
    sws_freeContext(file->scaler);
    swr_free(&file->resampler);
    if (file->fifo) av_audio_fifo_free(file->fifo);
    av_frame_free(&file->picture);
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
    c->width = file->width;
    c->height = file->height;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    c->thread_count = 0;  // one per core
    if (format == Format::Mkv) {
        // Version 3 codes slices on their own, so they run in parallel and
        // the bytes do not depend on the thread count.
        c->pix_fmt = AV_PIX_FMT_0RGB32;
        c->level = 3;
        c->slices = 4;
        av_opt_set_int(c->priv_data, "context", 1, 0);
    } else {
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_SMPTE170M;
        c->color_trc = AVCOL_TRC_SMPTE170M;
        c->color_range = AVCOL_RANGE_MPEG;
        c->gop_size = fps * 4;
    }
    if (format == Format::Mp4) {
        // A fast preset keeps well ahead of the show; the low rate factor
        // keeps the cell edges hard. (The fastest preset is cheaper still but
        // makes files twice as large.)
        av_opt_set(c->priv_data, "preset", "superfast", 0);
        av_opt_set(c->priv_data, "crf", "16", 0);
    } else if (format == Format::Webm) {
        av_opt_set(c->priv_data, "deadline", "realtime", 0);
        av_opt_set_int(c->priv_data, "cpu-used", 8, 0);
        av_opt_set_int(c->priv_data, "row-mt", 1, 0);
        av_opt_set_int(c->priv_data, "crf", 30, 0);
        c->bit_rate = 0;
    }
    file->pictureStream = startEncoder(file, c, error);
    if (file->pictureStream == nullptr) return false;
    file->pictureStream->avg_frame_rate = c->framerate;

    file->picture = av_frame_alloc();
    file->picture->format = c->pix_fmt;
    file->picture->width = c->width;
    file->picture->height = c->height;
    if (av_frame_get_buffer(file->picture, 0) < 0) {
        error = "out of memory";
        return false;
    }
    // Same size, so no scaling; RGB to 4:2:0 takes the fast path (chroma from
    // the top left pixel of each 2 by 2 block: at scale 2 and above the block
    // is one console pixel), RGB to RGB is a plain copy.
    file->scaler = sws_getContext(c->width, c->height, AV_PIX_FMT_RGB24, c->width, c->height, c->pix_fmt, SWS_POINT,
                                  nullptr, nullptr, nullptr);
    if (file->scaler == nullptr) {
        error = "cannot convert the pictures";
        return false;
    }
    return true;
}

// The encoder's own rate when it cannot take 44,100 Hz (Opus: 48,000).
int soundRateFor(const AVCodec* encoder)
{
    if (encoder->supported_samplerates == nullptr) return SOUND_RATE;
    int best = 0;
    for (const int* rate = encoder->supported_samplerates; *rate != 0; ++rate) {
        if (*rate == SOUND_RATE) return SOUND_RATE;
        best = std::max(best, *rate);
    }
    return best;
}

bool openSoundCodec(VideoFile* file, Format format, std::string& error)
{
    const AVCodec* encoder = findEncoder(codecsFor(format).sound, error);
    if (encoder == nullptr) return false;
    AVCodecContext* c = file->soundCodec = avcodec_alloc_context3(encoder);
    c->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->sample_rate = soundRateFor(encoder);
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

}  // namespace

VideoFile* openVideoFile(const std::string& path, Format format, int width, int height, int fps, std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);  // FFmpeg's own notes would clutter the terminal
    VideoFile* file = new VideoFile;
    file->path = path;
    file->width = width;
    file->height = height;
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
    status = avformat_write_header(file->muxer, nullptr);
    if (status < 0) {
        error = path + ": " + averror(status);
        discardVideoFile(file);
        return nullptr;
    }
    return file;
}

bool writePicture(VideoFile* file, const uint8_t* rgb, size_t rowStride, std::string& error)
{
    if (av_frame_make_writable(file->picture) < 0) {
        error = "out of memory";
        return false;
    }
    const uint8_t* source[1] = {rgb};
    const int stride[1] = {int(rowStride)};
    sws_scale(file->scaler, source, stride, 0, file->height, file->picture->data, file->picture->linesize);
    file->picture->pts = file->picturesSent++;
    return encode(file, file->pictureCodec, file->pictureStream, file->picture, error);
}

bool writeSound(VideoFile* file, const int16_t* samples, size_t frames, std::string& error)
{
    constexpr size_t CHUNK = 1 << 16;
    while (frames > 0) {
        const size_t take = std::min(frames, CHUNK);
        if (!queueSound(file, samples, int(take), error)) return false;
        if (!encodeQueuedSound(file, false, error)) return false;
        samples += take * SOUND_CHANNELS;
        frames -= take;
    }
    return true;
}

bool finishVideoFile(VideoFile* file, std::string& error)
{
    bool ok = queueSound(file, nullptr, 0, error) && encodeQueuedSound(file, true, error) &&
              encode(file, file->soundCodec, file->soundStream, nullptr, error) &&
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
    if (file != nullptr) freeAll(file);
}

}  // namespace video
