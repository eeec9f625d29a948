#include "audio/song_loudness.h"
#include "audio/song_audio.h"
#include "support/little_endian.h"

#include <algorithm>
#include <cmath>

namespace {

// Samples decoded at a time from a stored song.
constexpr size_t kDecodeFrames = 8192;

}  // namespace

QString loudness_text(double lufs)
{
    if (!std::isfinite(lufs))
        return QStringLiteral("silent");
    // Rounded first, so a figure just under zero does not read "−0.0".
    const double rounded = std::round(lufs * 10) / 10;
    const QString digits = QString::number(std::fabs(rounded), 'f', 1);
    return (rounded < 0 ? QStringLiteral("\u2212") : QString()) + digits + QStringLiteral(" LUFS");
}

std::unique_ptr<CSongLoudnessMeter> CSongLoudnessMeter::create(unsigned int channels)
{
    if (channels != 1 && channels != 2)
        return nullptr;
    std::unique_ptr<CLoudnessMeter> meter = CLoudnessMeter::create(channels, kSongSampleRate, true);
    if (!meter)
        return nullptr;
    return std::unique_ptr<CSongLoudnessMeter>(new CSongLoudnessMeter(std::move(meter)));
}

CSongLoudnessMeter::CSongLoudnessMeter(std::unique_ptr<CLoudnessMeter> meter) : m_meter(std::move(meter))
{
    m_samples.resize(kDecodeFrames * m_meter->channels());
}

void CSongLoudnessMeter::add(const unsigned char* bytes, size_t length)
{
    const size_t frame_bytes = size_t{kSongBytesPerSample} * m_meter->channels();
    // A frame begun in the last block is completed first, from this one.
    if (!m_partial.empty()) {
        const size_t taken = std::min(length, frame_bytes - m_partial.size());
        m_partial.insert(m_partial.end(), bytes, bytes + taken);
        bytes += taken;
        length -= taken;
        if (m_partial.size() < frame_bytes)
            return;
        add_frames(m_partial.data(), 1);
        m_partial.clear();
    }
    const size_t whole = length / frame_bytes;
    add_frames(bytes, whole);
    m_partial.assign(bytes + whole * frame_bytes, bytes + length);
}

void CSongLoudnessMeter::add_frames(const unsigned char* bytes, size_t frames)
{
    for (size_t done = 0; done < frames;) {
        const size_t count = std::min(kDecodeFrames, frames - done);
        const size_t samples = count * m_meter->channels();
        for (size_t i = 0; i < samples; ++i, bytes += kSongBytesPerSample) {
            // Sign-extended from the top byte down.
            const auto sample = int32_t(LE::read24(bytes) << 8) >> 8;
            m_samples[i] = sample / 8388608.0;
        }
        m_meter->add(m_samples.data(), count);
        done += count;
    }
}

std::optional<SLoudness> measure_song(const unsigned char* song, size_t length, unsigned int channels)
{
    const std::unique_ptr<CSongLoudnessMeter> meter = CSongLoudnessMeter::create(channels);
    if (!meter)
        return std::nullopt;
    meter->add(song, length);
    return meter->result();
}
