#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The body of a WAVE "fmt " chunk as 18 bytes, laid out like the published WAVEFORMATEX.
// It is compared, copied and written as one block, so it is packed; file and memory
// images are converted explicitly to little-endian by to_bytes/from_bytes.
#pragma pack(push, 1)
struct SWaveFormatex {
    uint16_t wFormatTag = 0;  // 1 integer PCM, 3 IEEE float, 0xFFFE extensible
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;  // Hz
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;     // bytes of one frame, all channels
    uint16_t wBitsPerSample = 0;  // bits of one channel's sample (container size)
    uint16_t cbSize = 0;          // size of the extension that follows in a file
};
#pragma pack(pop)
static_assert(sizeof(SWaveFormatex) == 18, "SWaveFormatex mirrors an 18-byte file record");

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

using WaveFormatBytes = std::array<uint8_t, sizeof(SWaveFormatex)>;

// Little-endian image of the record, as it stands in a file.
WaveFormatBytes to_bytes(const SWaveFormatex& format);
// Reads the record from its little-endian image.
SWaveFormatex from_bytes(const WaveFormatBytes& bytes);

// The 46 bytes before the samples of a WAVE file as CWave::Save writes it: "RIFF", the
// RIFF size (38 + data length + pad), "WAVEfmt ", an 18-byte format chunk with `format`
// and a cbSize of 0, "data" and the data length.
constexpr size_t kWaveHeaderLength = 46;
std::array<uint8_t, kWaveHeaderLength> wave_file_header(const SWaveFormatex& format, uint32_t data_length);
// RIFF chunks start on even offsets: a data chunk of odd length is followed by one zero
// byte, which its length does not count and the RIFF size does.
constexpr uint32_t wave_pad_length(uint64_t data_length)
{
    return uint32_t(data_length & 1U);
}
// The longest data chunk the 32-bit RIFF size can hold with the header and a pad byte.
constexpr uint32_t kWaveMaxDataLength = 0xFFFFFFFFU - uint32_t(kWaveHeaderLength - 8) - 1U;

// All 18 bytes equal, cbSize included.
bool operator==(const SWaveFormatex& a, const SWaveFormatex& b);
inline bool operator!=(const SWaveFormatex& a, const SWaveFormatex& b)
{
    return !(a == b);
}
