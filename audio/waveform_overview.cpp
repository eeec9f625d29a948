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
    CWaveformOverviewBuilder builder(length, format);
    builder.add(song, length);
    return builder.result();
}

CWaveformOverviewBuilder::CWaveformOverviewBuilder(size_t length, const SSongAudioFormat& format)
    : m_channels(format.channels), m_frame_bytes(size_t{format.channels} * (format.bits_per_sample / 8))
{
    if (format.bits_per_sample != 24 || m_frame_bytes == 0 || m_frame_bytes > sizeof m_partial)
        return;
    m_frames = length / m_frame_bytes;
    if (m_frames >= uint64_t{kOverviewColumns})
        m_overview = QByteArray(2 * kOverviewColumns, '\0');
    m_column_end = m_frames / kOverviewColumns;
}

void CWaveformOverviewBuilder::add(const unsigned char* bytes, size_t count)
{
    if (m_overview.isEmpty())
        return;
    if (m_partial_bytes > 0) {
        const size_t take = std::min(count, m_frame_bytes - m_partial_bytes);
        std::copy_n(bytes, take, m_partial + m_partial_bytes);
        m_partial_bytes += take;
        bytes += take;
        count -= take;
        if (m_partial_bytes < m_frame_bytes)
            return;
        add_frame(m_partial);
        m_partial_bytes = 0;
    }
    // The frames up to the column's end in one run: a song passes here whole.
    while (count >= m_frame_bytes && m_frame < m_frames) {
        const uint64_t run = std::min<uint64_t>(count / m_frame_bytes, m_column_end - m_frame);
        add_samples(bytes, size_t(run) * m_channels);
        bytes += run * m_frame_bytes;
        count -= run * m_frame_bytes;
        m_frame += run;
        if (m_frame == m_column_end)
            end_column();
    }
    count %= m_frame_bytes;
    std::copy_n(bytes, count, m_partial);
    m_partial_bytes = count;
}

void CWaveformOverviewBuilder::add_samples(const unsigned char* bytes, size_t samples)
{
    int32_t low = m_low;
    int32_t high = m_high;
    for (size_t i = 0; i < samples; ++i) {
        const auto sample = int32_t(LE::read24(bytes + 3 * i) << 8) >> 8;
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    m_low = low;
    m_high = high;
}

void CWaveformOverviewBuilder::add_frame(const unsigned char* frame)
{
    if (m_frame >= m_frames)
        return;
    add_samples(frame, m_channels);
    if (++m_frame == m_column_end)
        end_column();
}

// Column c holds frames [c x frames / columns, (c + 1) x frames / columns).
void CWaveformOverviewBuilder::end_column()
{
    m_overview[2 * m_column] = char(scaled(m_low));
    m_overview[2 * m_column + 1] = char(scaled(m_high));
    ++m_column;
    m_column_end = (uint64_t(m_column) + 1) * m_frames / kOverviewColumns;
    m_low = INT32_MAX;
    m_high = INT32_MIN;
}

SOverviewColumn overview_column(const QByteArray& overview, int column)
{
    if (column < 0 || 2 * column + 1 >= overview.size())
        return {};
    return {int(static_cast<signed char>(overview[2 * column])),
            int(static_cast<signed char>(overview[2 * column + 1]))};
}
