// Reads a video file back through FFmpeg's libraries: the codec of each
// stream, every picture and the sound track. Pictures in the lossless file's
// BGR0 or the GIF decoder's BGRA are kept as RGB24, 4:2:0 pictures as their
// three planes; 16-bit sound is kept as it is, and the left channel of 16-bit
// or float sound as float.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <string>
#include <vector>

struct ReadBack {
    std::string pictureCodec, soundCodec;
    int width = 0, height = 0, soundRate = 0;
    std::vector<std::vector<uint8_t>> pictures;  // RGB24 rows packed, or Y, U and V packed; empty for others
    size_t soundFrames = 0;
    std::vector<int16_t> sound;  // interleaved stereo, when decoded as such
    std::vector<float> left;     // the left channel, -1 to 1
    int primaries = 0, transfer = 0, matrix = 0;  // the picture stream's colour tags (AVCOL_*)
    double pictureStart = -1.0;  // the picture stream's start time in seconds, as the container says
};

inline void keepFrame(const AVFrame* frame, ReadBack& result)
{
    if (frame->width > 0) {
        result.width = frame->width;
        result.height = frame->height;
        std::vector<uint8_t> rgb;
        const bool rgbKept = frame->format == AV_PIX_FMT_BGR0 || frame->format == AV_PIX_FMT_BGRA;
        for (int y = 0; rgbKept && y < frame->height; ++y)
            for (int x = 0; x < frame->width; ++x) {
                const uint8_t* bgr = frame->data[0] + y * frame->linesize[0] + x * 4;
                rgb.insert(rgb.end(), {bgr[2], bgr[1], bgr[0]});
            }
        for (int plane = 0; frame->format == AV_PIX_FMT_YUV420P && plane < 3; ++plane)
            for (int y = 0; y < (plane ? frame->height / 2 : frame->height); ++y) {
                const uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
                rgb.insert(rgb.end(), row, row + (plane ? frame->width / 2 : frame->width));
            }
        result.pictures.push_back(std::move(rgb));
        return;
    }
    result.soundRate = frame->sample_rate;
    result.soundFrames += size_t(frame->nb_samples);
    const int16_t* samples = reinterpret_cast<const int16_t*>(frame->data[0]);
    const float* floats = reinterpret_cast<const float*>(frame->data[0]);
    for (int i = 0; i < frame->nb_samples; ++i) {
        if (frame->format == AV_SAMPLE_FMT_S16) result.left.push_back(samples[2 * i] / 32768.0f);
        if (frame->format == AV_SAMPLE_FMT_FLTP) result.left.push_back(floats[i]);
        if (frame->format == AV_SAMPLE_FMT_FLT) result.left.push_back(floats[2 * i]);
    }
    if (frame->format == AV_SAMPLE_FMT_S16) result.sound.insert(result.sound.end(), samples, samples + frame->nb_samples * 2);
}

inline ReadBack readBack(const std::string& path)
{
    av_log_set_level(AV_LOG_ERROR);
    ReadBack result;
    AVFormatContext* demuxer = nullptr;
    if (avformat_open_input(&demuxer, path.c_str(), nullptr, nullptr) < 0) return result;
    avformat_find_stream_info(demuxer, nullptr);
    std::vector<AVCodecContext*> decoders(demuxer->nb_streams, nullptr);
    for (unsigned i = 0; i < demuxer->nb_streams; ++i) {
        const AVCodecParameters* parameters = demuxer->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], parameters);
        avcodec_open2(decoders[i], codec, nullptr);
        (parameters->codec_type == AVMEDIA_TYPE_VIDEO ? result.pictureCodec : result.soundCodec) =
            avcodec_get_name(parameters->codec_id);
        const AVStream* stream = demuxer->streams[i];
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && stream->start_time != AV_NOPTS_VALUE)
            result.pictureStart = double(stream->start_time) * av_q2d(stream->time_base);
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            result.primaries = parameters->color_primaries;
            result.transfer = parameters->color_trc;
            result.matrix = parameters->color_space;
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame) == 0) keepFrame(frame, result);
    };
    while (av_read_frame(demuxer, packet) >= 0) {
        AVCodecContext* decoder = decoders[size_t(packet->stream_index)];
        if (avcodec_send_packet(decoder, packet) >= 0) drain(decoder);
        av_packet_unref(packet);
    }
    for (AVCodecContext*& decoder : decoders) {
        avcodec_send_packet(decoder, nullptr);
        drain(decoder);
        avcodec_free_context(&decoder);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&demuxer);
    return result;
}
