#pragma once

#include "playback/audio_sink.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

// A sound output that keeps every frame it is given, for tests of what would be heard. It
// runs at `rate` (0: at whatever rate it is asked for), takes `room` frames at a time and
// counts all it took as heard at once, or all but the last `unheard` frames. Writing more
// than the room, or while paused or closed, fails the test.
class CSongStream;

// The samples of the frames of `stream` in so far, as a player reads them.
std::vector<float> samples_in(const CSongStream& stream);

class CCaptureSink final : public CAudioSink {
public:
    QString unavailable() const override { return unavailable_text; }
    int output_rate(int rate, int channels) const override;
    bool open(int rate, int channels) override;
    size_t room() override { return is_open && !paused ? room_frames : 0; }
    void write(const float* frames, size_t count) override;
    uint64_t played() const override;
    void pause() override { paused = true; }
    void resume() override { paused = false; }
    void close() override { is_open = false; }

    // Frames written, in all.
    uint64_t written() const { return samples.size() / size_t(open_channels); }

    QString unavailable_text;
    int rate = 0;
    size_t room_frames = std::numeric_limits<size_t>::max();
    uint64_t unheard = 0;
    // Called before the first frames are kept.
    std::function<void()> on_first_write;

    bool is_open = false;
    bool paused = false;
    int open_rate = 0;
    int open_channels = 1;
    std::vector<float> samples;
};
