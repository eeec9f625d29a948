#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

struct SAudioSourceInfo {
    unsigned int sample_rate = 0;  // Hz
    unsigned int channels = 0;
    // Frames the header announces; -1 when it does not know (a FLAC or WAV file written to
    // a pipe, an MP3 file without a length header).
    int64_t frames = -1;
    // Frames the header promises when the file ends before them (a WAV data chunk cut
    // short, whose `frames` are those present); -1 otherwise.
    int64_t promised_frames = -1;
    // The samples carry more than 16 bits (24/32-bit integer, float, a lossy decoder's
    // output): they are converted at full precision rather than through 16 bits.
    bool wide = false;
};

// A decoder that hands out a file's sound block by block, interleaved.
class CAudioSource {
public:
    virtual ~CAudioSource() = default;
    virtual const SAudioSourceInfo& info() const = 0;
    // Up to `frames` frames into `out` (room for frames x channels samples). Returns the
    // frames read, 0 at the end of the sound, -1 when the file cannot be read further.
    // Only called on a source that is not wide.
    virtual int64_t read(int16_t* out, size_t frames) = 0;
    // The same as values of full scale 1.0.
    virtual int64_t read(float* out, size_t frames) = 0;
    // Why the last read failed, for the log.
    virtual QString error_text() const = 0;
};
