#include "audio/waveform_overview.h"

#include "support/little_endian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kScale = 127;

// A 24-bit sample on -127..127, to the nearest step: a line's pixel is coarser still.
int scaled(int32_t sample)
{
    return int(std::lround(double(sample) * kScale / 8388608.0));
}

}  // namespace

QByteArray waveform_overview(const unsigned char* song, size_t length, const SSongAudioFormat& format)
{
    const size_t frame_bytes = size_t{format.channels} * (format.bits_per_sample / 8);
    if (format.bits_per_sample != 24 || frame_bytes == 0)
        return {};
    const uint64_t frames = length / frame_bytes;
    if (frames < uint64_t{kOverviewColumns})
        return {};
    QByteArray overview(2 * kOverviewColumns, '\0');
    uint64_t frame = 0;
    for (int column = 0; column < kOverviewColumns; ++column) {
        // Column c holds frames [c x frames / columns, (c + 1) x frames / columns).
        const uint64_t end = (uint64_t(column) + 1) * frames / kOverviewColumns;
        int32_t low = INT32_MAX;
        int32_t high = INT32_MIN;
        for (const unsigned char* at = song + frame * frame_bytes; frame < end; ++frame)
            for (unsigned int channel = 0; channel < format.channels; ++channel, at += 3) {
                const auto sample = int32_t(LE::read24(at) << 8) >> 8;
                low = std::min(low, sample);
                high = std::max(high, sample);
            }
        overview[2 * column] = char(scaled(low));
        overview[2 * column + 1] = char(scaled(high));
    }
    return overview;
}

SOverviewColumn overview_column(const QByteArray& overview, int column)
{
    if (column < 0 || 2 * column + 1 >= overview.size())
        return {};
    return {int(static_cast<signed char>(overview[2 * column])),
            int(static_cast<signed char>(overview[2 * column + 1]))};
}
