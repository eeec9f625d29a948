#include "audio/wave_format.h"
#include "support/neat.h"

#include <cstring>

namespace {

void put16(uint8_t* at, uint16_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void put32(uint8_t* at, uint32_t value)
{
    put16(at, uint16_t(value));
    put16(at + 2, uint16_t(value >> 16));
}

uint16_t get16(const uint8_t* at)
{
    return uint16_t(at[0] | (at[1] << 8));
}

uint32_t get32(const uint8_t* at)
{
    return get16(at) | (uint32_t(get16(at + 2)) << 16);
}

}  // namespace

WaveFormatBytes to_bytes(const SWaveFormatex& format)
{
    WaveFormatBytes bytes{};
    put16(&bytes[0], format.wFormatTag);
    put16(&bytes[2], format.nChannels);
    put32(&bytes[4], format.nSamplesPerSec);
    put32(&bytes[8], format.nAvgBytesPerSec);
    put16(&bytes[12], format.nBlockAlign);
    put16(&bytes[14], format.wBitsPerSample);
    put16(&bytes[16], format.cbSize);
    return bytes;
}

SWaveFormatex from_bytes(const WaveFormatBytes& bytes)
{
    SWaveFormatex format;
    format.wFormatTag = get16(&bytes[0]);
    format.nChannels = get16(&bytes[2]);
    format.nSamplesPerSec = get32(&bytes[4]);
    format.nAvgBytesPerSec = get32(&bytes[8]);
    format.nBlockAlign = get16(&bytes[12]);
    format.wBitsPerSample = get16(&bytes[14]);
    format.cbSize = get16(&bytes[16]);
    return format;
}

bool operator==(const SWaveFormatex& a, const SWaveFormatex& b)
{
    return std::memcmp(&a, &b, sizeof(SWaveFormatex)) == 0;
}

namespace NEAT {

void get_wave_format_ex(unsigned short channels, unsigned int sample_rate, unsigned short bits_per_sample,
                        SWaveFormatex& format)
{
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = sample_rate;
    format.wBitsPerSample = bits_per_sample;
    format.nBlockAlign = uint16_t((unsigned(channels) * bits_per_sample) / 8);
    format.nAvgBytesPerSec = sample_rate * format.nBlockAlign;
    // 18, not 0: the record's own size, which every comparison of formats includes.
    format.cbSize = 18;
}

}  // namespace NEAT
