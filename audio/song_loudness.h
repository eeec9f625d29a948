#pragma once

#include "audio/loudness_meter.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// "−14.2 LUFS", with the minus sign U+2212, as a song's list line gives it; "silent" for
// a song below the gate.
QString loudness_text(double lufs);

// Measures a song as the pedal stores it (interleaved 24-bit little-endian at 46875 Hz, 1
// or 2 channels), true peak included, from blocks of any length: a frame may be split
// between two blocks.
class CSongLoudnessMeter {
public:
    // The meter, or nothing for a channel count songs do not have or when out of memory.
    static std::unique_ptr<CSongLoudnessMeter> create(unsigned int channels);
    void add(const unsigned char* bytes, size_t length);
    // The figures of what was added; a partial frame at the end is not counted.
    SLoudness result() const { return m_meter->result(); }

private:
    explicit CSongLoudnessMeter(std::unique_ptr<CLoudnessMeter> meter);
    void add_frames(const unsigned char* bytes, size_t frames);

    std::unique_ptr<CLoudnessMeter> m_meter;
    std::vector<unsigned char> m_partial;  // the start of a frame a block ended in
    std::vector<double> m_samples;
};

// The figures of a whole song in memory, or nothing when no meter could be made.
std::optional<SLoudness> measure_song(const unsigned char* song, size_t length, unsigned int channels);
