#include "audio/wave_source.h"

#include <algorithm>

std::unique_ptr<CWaveSource> CWaveSource::open(QIODevice& device, EWaveReadResult& result)
{
    SWaveHeader header;
    result = read_wave_header(device, header);
    if (result != EWaveReadResult::OK)
        return nullptr;
    const auto layout = sample_layout(header.format, header.sampleFormatTag);
    if (!header.lengthUnknown && header.dataLength < header.format.nBlockAlign) {
        result = EWaveReadResult::EMPTY;
        return nullptr;
    }
    return std::unique_ptr<CWaveSource>(new CWaveSource(device, header, *layout));
}

CWaveSource::CWaveSource(QIODevice& device, const SWaveHeader& header, const SSampleLayout& layout)
    : m_device(device),
      m_layout(layout),
      m_position(header.dataStart),
      m_end(header.lengthUnknown ? -1 : header.dataStart + header.dataLength)
{
    m_info.sample_rate = layout.sampleRate;
    m_info.channels = layout.channels;
    m_info.frames = header.lengthUnknown ? -1 : header.dataLength / layout.frameBytes;
    if (!header.lengthUnknown && header.dataDeclared > header.dataLength)
        m_info.promised_frames = header.dataDeclared / layout.frameBytes;
    m_info.wide = is_wide(layout);
}

int64_t CWaveSource::next_block(size_t frames)
{
    qint64 wanted = qint64(frames) * m_layout.frameBytes;
    if (m_end >= 0)
        wanted = std::min(wanted, (m_end - m_position) / m_layout.frameBytes * m_layout.frameBytes);
    if (wanted <= 0)
        return 0;
    m_raw.resize(size_t(wanted));
    if (!m_device.seek(m_position)) {
        m_failed = true;
        return -1;
    }
    const qint64 got = m_device.read(reinterpret_cast<char*>(m_raw.data()), wanted);
    if (got < 0) {
        m_failed = true;
        return -1;
    }
    // A data chunk cut short by the end of the file ends the sound at its last whole frame.
    const qint64 whole = got / m_layout.frameBytes;
    m_position += whole * m_layout.frameBytes;
    if (whole * m_layout.frameBytes != got)
        m_end = m_position;
    return whole;
}

int64_t CWaveSource::read(int16_t* out, size_t frames)
{
    const int64_t got = next_block(frames);
    if (got > 0)
        decode_frames(m_layout, m_raw.data(), size_t(got), out);
    return got;
}

int64_t CWaveSource::read(float* out, size_t frames)
{
    const int64_t got = next_block(frames);
    if (got > 0)
        decode_frames(m_layout, m_raw.data(), size_t(got), out);
    return got;
}

QString CWaveSource::error_text() const
{
    return m_failed ? m_device.errorString() : QString();
}
