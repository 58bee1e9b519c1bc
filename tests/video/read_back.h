// Reads a video file back through FFmpeg's libraries: the codec of each
// stream, every picture as RGB24 and the whole sound track as interleaved
// 16-bit stereo at its own rate.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <string>
#include <vector>

struct ReadBack {
    bool opened = false;
    std::string pictureCodec, soundCodec;
    int width = 0, height = 0, soundRate = 0;
    std::vector<std::vector<uint8_t>> pictures;  // RGB24, rows packed
    std::vector<int16_t> sound;                  // stereo
};

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
        if (codec == nullptr) continue;
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], parameters);
        avcodec_open2(decoders[i], codec, nullptr);
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) result.pictureCodec = avcodec_get_name(parameters->codec_id);
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) result.soundCodec = avcodec_get_name(parameters->codec_id);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
                result.width = frame->width;
                result.height = frame->height;
                std::vector<uint8_t> rgb(size_t(frame->width) * size_t(frame->height) * 3);
                SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                                 frame->width, frame->height, AV_PIX_FMT_RGB24,
                                                 SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
                uint8_t* planes[1] = {rgb.data()};
                const int stride[1] = {frame->width * 3};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, stride);
                sws_freeContext(sws);
                result.pictures.push_back(std::move(rgb));
            } else {
                result.soundRate = frame->sample_rate;
                SwrContext* swr = nullptr;
                AVChannelLayout stereo;
                av_channel_layout_default(&stereo, 2);
                swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, frame->sample_rate, &frame->ch_layout,
                                    AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
                swr_init(swr);
                std::vector<int16_t> samples(size_t(frame->nb_samples) * 2);
                uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data())};
                const int got = swr_convert(swr, out, frame->nb_samples,
                                            const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
                swr_free(&swr);
                result.sound.insert(result.sound.end(), samples.begin(), samples.begin() + 2 * (got > 0 ? got : 0));
            }
        }
    };
    while (av_read_frame(demuxer, packet) >= 0) {
        AVCodecContext* decoder = decoders[size_t(packet->stream_index)];
        if (decoder && avcodec_send_packet(decoder, packet) >= 0) drain(decoder);
        av_packet_unref(packet);
    }
    for (AVCodecContext* decoder : decoders) {
        if (decoder == nullptr) continue;
        avcodec_send_packet(decoder, nullptr);
        drain(decoder);
    }
    for (AVCodecContext*& decoder : decoders) avcodec_free_context(&decoder);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&demuxer);
    result.opened = true;
    return result;
}
