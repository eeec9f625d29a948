#pragma once

#include "audio/loudness_target.h"

#include <cstdint>

// The pedal keeps its songs as interleaved 24-bit little-endian PCM at 46875 Hz; exported
// songs are 48000 Hz, 24-bit WAV files.
constexpr unsigned int kSongSampleRate = 46875;
constexpr unsigned int kSongBytesPerSample = 3;
constexpr unsigned int kExportSampleRate = 48000;

// What a mono pedal takes from a file of two or more channels.
enum class EMonoMode {
    LEFT,  // the first channel
    MIX,   // the mean of all channels
};

// "Left channel", "Mix of both channels".
const char* mono_mode_text(EMonoMode mode);

// The slot a file is converted for.
struct SSongTarget {
    unsigned int channels = 1;  // of the pedal's songs, 1 or 2
    // Song bytes the slot holds at most; a longer song is refused.
    uint64_t max_bytes = 0;
    EMonoMode mono_mode = EMonoMode::LEFT;
    ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE;
};

// Bytes of one second of song: 140625 mono, 281250 stereo.
constexpr uint64_t song_bytes_per_second(unsigned int channels)
{
    return uint64_t{kSongSampleRate} * kSongBytesPerSample * channels;
}
