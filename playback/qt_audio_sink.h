#pragma once

#include "playback/audio_sink.h"

#include <QAudioDeviceInfo>
#include <QAudioFormat>
#include <memory>
#include <vector>

class QAudioOutput;
class QIODevice;

// The computer's default sound output through Qt Multimedia, fed in push mode. Samples go
// out as float where the device takes float, else as 16-bit integers. With no sound
// server or no device it opens nothing and says so in unavailable().
class CQtAudioSink final : public CAudioSink {
public:
    CQtAudioSink();
    ~CQtAudioSink() override;

    QString unavailable() const override;
    int output_rate(int rate, int channels) const override;
    bool open(int rate, int channels) override;
    size_t room() override;
    void write(const float* frames, size_t count) override;
    uint64_t played() const override;
    void pause() override;
    void resume() override;
    void close() override;

private:
    // The format at `rate` the device takes, float first; invalid when it takes neither.
    QAudioFormat supported_format(int rate, int channels) const;
    // Hands the held bytes to the device, as many as it takes now.
    void push();

    QAudioDeviceInfo m_device;
    std::unique_ptr<QAudioOutput> m_output;
    QIODevice* m_io = nullptr;
    QAudioFormat m_format;
    int m_frame_bytes = 0;
    uint64_t m_written = 0;
    mutable uint64_t m_played = 0;
    // The output last open failed while it played; told until the next open.
    bool m_failed = false;
    // Converted bytes the device has not taken yet.
    std::vector<char> m_held;
};
