#pragma once

#include "audio/wave_format.h"

#include <cstddef>
#include <cstdint>
#include <optional>

enum class ESampleEncoding { INTEGER, FLOAT };

// How the samples of a format lie in its frames, for a format that can be decoded.
struct SSampleLayout {
    ESampleEncoding encoding;
    unsigned int bytesPerSample;  // 1 (unsigned), 2, 3, 4 integer; 4, 8 float
    unsigned int channels;
    unsigned int frameBytes;
    unsigned int sampleRate;  // Hz
};

// Sample rates a source may have: beyond these the rate ratio to the pedal's 46875 Hz
// makes no sense for music and would let a header field ask for a huge output.
constexpr unsigned int MIN_SOURCE_RATE = 1000;
constexpr unsigned int MAX_SOURCE_RATE = 768000;

// The layout of `format` whose samples are encoded as `sampleFormatTag` (1 integer PCM,
// 3 IEEE float), or nothing when it cannot be decoded: another encoding, a depth other
// than 8/16/24/32 integer or 32/64 float bits, no channels, a frame size that does not
// match channels x depth, or a rate outside the range above.
std::optional<SSampleLayout> sample_layout(const SWaveFormatex& format, uint16_t sampleFormatTag);

// Reads channel `channel` of `count` frames as 16-bit samples: the top 16 bits of an
// integer sample, a float sample times 32768, truncated toward zero and held at full scale.
void extract_channel(const SSampleLayout& layout, const unsigned char* frames, size_t count,
                     unsigned int channel, int16_t* out);

// Samples of more than 16 bits (24/32-bit integer, float) go through the full-precision
// conversion; 8- and 16-bit ones through the 16-bit one.
bool is_wide(const SSampleLayout& layout);

// All channels of `count` frames, interleaved, of a layout that is not wide: 16-bit
// samples as they are, 8-bit ones as (value - 128) x 256.
void decode_frames(const SSampleLayout& layout, const unsigned char* frames, size_t count, int16_t* out);
// All channels of `count` frames, interleaved, as values of full scale 1.0 (integers
// divided by 2^(bits-1); float as it is, NaN and infinities too, for the conversion to
// refuse; a double beyond the range of float becomes an infinity).
void decode_frames(const SSampleLayout& layout, const unsigned char* frames, size_t count, float* out);
