#include "audio/wave_format.h"
#include "support/little_endian.h"
#include "support/neat.h"

#include <cstring>

WaveFormatBytes to_bytes(const SWaveFormatex& format)
{
    WaveFormatBytes bytes{};
    LE::write16(&bytes[0], format.wFormatTag);
    LE::write16(&bytes[2], format.nChannels);
    LE::write32(&bytes[4], format.nSamplesPerSec);
    LE::write32(&bytes[8], format.nAvgBytesPerSec);
    LE::write16(&bytes[12], format.nBlockAlign);
    LE::write16(&bytes[14], format.wBitsPerSample);
    LE::write16(&bytes[16], format.cbSize);
    return bytes;
}

SWaveFormatex from_bytes(const WaveFormatBytes& bytes)
{
    SWaveFormatex format;
    format.wFormatTag = LE::read16(&bytes[0]);
    format.nChannels = LE::read16(&bytes[2]);
    format.nSamplesPerSec = LE::read32(&bytes[4]);
    format.nAvgBytesPerSec = LE::read32(&bytes[8]);
    format.nBlockAlign = LE::read16(&bytes[12]);
    format.wBitsPerSample = LE::read16(&bytes[14]);
    format.cbSize = LE::read16(&bytes[16]);
    return format;
}

std::array<uint8_t, kWaveHeaderLength> wave_file_header(const SWaveFormatex& format, uint32_t data_length)
{
    std::array<uint8_t, kWaveHeaderLength> header{};
    const WaveFormatBytes record = to_bytes(format);
    std::memcpy(&header[0], "RIFF", 4);
    LE::write32(&header[4], uint32_t(kWaveHeaderLength - 8) + data_length + wave_pad_length(data_length));
    std::memcpy(&header[8], "WAVEfmt ", 8);
    LE::write32(&header[16], uint32_t(record.size()));
    std::memcpy(&header[20], record.data(), record.size());
    // The chunk ends with cbSize: no extension follows it, whatever the record in memory says.
    LE::write16(&header[36], 0);
    std::memcpy(&header[38], "data", 4);
    LE::write32(&header[42], data_length);
    return header;
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
