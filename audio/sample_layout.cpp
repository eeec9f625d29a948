#include "audio/sample_layout.h"
#include "support/little_endian.h"

#include "support/little_endian.h"

#include <cmath>
#include <cstring>

namespace {

bool is_supported_depth(ESampleEncoding encoding, unsigned int bits)
{
    if (encoding == ESampleEncoding::FLOAT)
        return bits == 32 || bits == 64;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int16_t from_float(double value)
{
    const double scaled = value * 32768.0;
    if (!(scaled > -32768.0))  // also NaN, which has no sound worth keeping
        return std::isnan(scaled) ? 0 : -32768;
    if (scaled >= 32767.0)
        return 32767;
    return int16_t(scaled);
}

int16_t top16(const unsigned char* sample, unsigned int bytes)
{
    return int16_t(uint16_t(LE::read16(sample + bytes - 2)));
}

// One loop per layout keeps the per-sample work free of branches on the layout.
template <typename Sample, typename Decode>
void extract(const unsigned char* at, size_t count, unsigned int stride, Sample* out, Decode decode)
{
    for (size_t i = 0; i < count; ++i, at += stride)
        out[i] = decode(at);
}

}  // namespace

std::optional<SSampleLayout> sample_layout(const SWaveFormatex& format, uint16_t sampleFormatTag)
{
    ESampleEncoding encoding;
    if (sampleFormatTag == WAVE_FORMAT_PCM)
        encoding = ESampleEncoding::INTEGER;
    else if (sampleFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        encoding = ESampleEncoding::FLOAT;
    else
        return std::nullopt;
    const unsigned int bits = format.wBitsPerSample;
    if (!is_supported_depth(encoding, bits) || format.nChannels == 0)
        return std::nullopt;
    const unsigned int bytes = bits / 8;
    if (format.nBlockAlign != format.nChannels * bytes)
        return std::nullopt;
    if (format.nSamplesPerSec < MIN_SOURCE_RATE || format.nSamplesPerSec > MAX_SOURCE_RATE)
        return std::nullopt;
    return SSampleLayout{encoding, bytes, format.nChannels, format.nBlockAlign, format.nSamplesPerSec};
}

void extract_channel(const SSampleLayout& layout, const unsigned char* frames, size_t count,
                     unsigned int channel, int16_t* out)
{
    const unsigned int bytes = layout.bytesPerSample;
    const unsigned char* first = frames + size_t(channel) * bytes;
    const unsigned int stride = layout.frameBytes;
    if (layout.encoding == ESampleEncoding::FLOAT && bytes == 4) {
        extract(first, count, stride, out, [](const unsigned char* at) {
            const uint32_t bits = LE::read32(at);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return from_float(value);
        });
    } else if (layout.encoding == ESampleEncoding::FLOAT) {
        extract(first, count, stride, out, [](const unsigned char* at) {
            uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = (bits << 8) | at[i];
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return from_float(value);
        });
    } else if (bytes == 1) {
        // 8-bit WAVE samples are unsigned with silence at 128.
        extract(first, count, stride, out,
                [](const unsigned char* at) { return int16_t((at[0] - 128) * 256); });
    } else if (bytes == 2) {
        extract(first, count, stride, out, [](const unsigned char* at) { return top16(at, 2); });
    } else if (bytes == 3) {
        extract(first, count, stride, out, [](const unsigned char* at) { return top16(at, 3); });
    } else {
        extract(first, count, stride, out, [](const unsigned char* at) { return top16(at, 4); });
    }
}

bool is_wide(const SSampleLayout& layout)
{
    return layout.encoding == ESampleEncoding::FLOAT || layout.bytesPerSample > 2;
}

void decode_frames(const SSampleLayout& layout, const unsigned char* frames, size_t count, int16_t* out)
{
    const size_t samples = count * layout.channels;
    if (layout.bytesPerSample == 1)
        extract(frames, samples, 1, out,
                [](const unsigned char* at) { return int16_t((at[0] - 128) * 256); });
    else
        extract(frames, samples, 2, out, [](const unsigned char* at) { return top16(at, 2); });
}

void decode_frames(const SSampleLayout& layout, const unsigned char* frames, size_t count, float* out)
{
    const size_t samples = count * layout.channels;
    const unsigned int bytes = layout.bytesPerSample;
    if (layout.encoding == ESampleEncoding::FLOAT) {
        extract(frames, samples, bytes, out, [bytes](const unsigned char* at) {
            double value;
            if (bytes == 4) {
                const uint32_t bits = LE::read32(at);
                float single;
                std::memcpy(&single, &bits, sizeof single);
                value = single;
            } else {
                const uint64_t bits = LE::read32(at) | uint64_t(LE::read32(at + 4)) << 32;
                std::memcpy(&value, &bits, sizeof value);
            }
            return float(value);
        });
        return;
    }
    switch (bytes) {
        case 1:
            extract(frames, samples, 1, out, [](const unsigned char* at) { return (at[0] - 128) / 128.0f; });
            break;
        case 2:
            extract(frames, samples, 2, out,
                    [](const unsigned char* at) { return float(int16_t(LE::read16(at))) / 32768.0f; });
            break;
        case 3:
            extract(frames, samples, 3, out, [](const unsigned char* at) {
                return float(int32_t(LE::read24(at) << 8) >> 8) / 8388608.0f;
            });
            break;
        default:
            extract(frames, samples, 4, out, [](const unsigned char* at) {
                return float(double(int32_t(LE::read32(at))) / 2147483648.0);
            });
            break;
    }
}
