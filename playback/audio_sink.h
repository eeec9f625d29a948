#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// Where played audio goes: the default sound device through Qt Multimedia, or a test's
// capture. Frames are interleaved float samples of full scale 1.0. Used on one thread.
class CAudioSink {
public:
    virtual ~CAudioSink();

    // The sentence for an output that is there but would not open for a song.
    static QString open_failed_text();

    // Empty when the sink can play; otherwise the sentence for the user why not, also when
    // the output failed while it played (the sound server went away).
    virtual QString unavailable() const = 0;
    // The rate the sink plays a song of `rate` Hz and `channels` channels at: `rate` itself
    // when the device accepts it.
    virtual int output_rate(int rate, int channels) const = 0;
    // Opens the output at `rate`; false when it cannot be opened.
    [[nodiscard]] virtual bool open(int rate, int channels) = 0;
    // Frames the sink takes now without blocking.
    virtual size_t room() = 0;
    // Takes `count` frames (at most room()).
    virtual void write(const float* frames, size_t count) = 0;
    // Frames written that the listener has heard so far.
    virtual uint64_t played() const = 0;
    // Holds and goes on with playback, keeping what was written.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Drops what was written and not played, and closes the output.
    virtual void close() = 0;
};
