#include "playback/qt_audio_sink.h"

#include <QAudioOutput>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A quarter second of sound in the device's buffer: many turns of the player's timer, so
// a busy machine does not make it run dry, and short enough that a Stop is heard at once.
constexpr qint64 kBufferUs = 250000;

QAudioFormat pcm_format(int rate, int channels, QAudioFormat::SampleType type, int bits)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleSize(bits);
    format.setSampleType(type);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    return format;
}

int16_t to_int16(float sample)
{
    return int16_t(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

}  // namespace

CQtAudioSink::CQtAudioSink() : m_device(QAudioDeviceInfo::defaultOutputDevice()) {}

CQtAudioSink::~CQtAudioSink()
{
    close();
}

QString CQtAudioSink::unavailable() const
{
    // Qt finds no default device when there is no sound server, no audio plugin or no card.
    if (m_device.isNull())
        return QStringLiteral("No audio output device was found.");
    if (m_output ? m_output->error() == QAudio::FatalError : m_failed)
        return QStringLiteral("The audio output stopped working.");
    return {};
}

QAudioFormat CQtAudioSink::supported_format(int rate, int channels) const
{
    for (const QAudioFormat& format : {pcm_format(rate, channels, QAudioFormat::Float, 32),
                                       pcm_format(rate, channels, QAudioFormat::SignedInt, 16)}) {
        if (m_device.isFormatSupported(format))
            return format;
    }
    return {};
}

int CQtAudioSink::output_rate(int rate, int channels) const
{
    if (m_device.isNull() || supported_format(rate, channels).isValid())
        return rate;
    const int nearest =
        m_device.nearestFormat(pcm_format(rate, channels, QAudioFormat::Float, 32)).sampleRate();
    return nearest > 0 ? nearest : m_device.preferredFormat().sampleRate();
}

bool CQtAudioSink::open(int rate, int channels)
{
    close();
    m_failed = false;
    if (m_device.isNull())
        return false;
    m_format = supported_format(rate, channels);
    if (!m_format.isValid())
        return false;
    m_output = std::make_unique<QAudioOutput>(m_device, m_format);
    m_output->setBufferSize(m_format.bytesForDuration(kBufferUs));
    m_io = m_output->start();
    if (!m_io || m_output->error() != QAudio::NoError) {
        close();
        return false;
    }
    m_frame_bytes = m_format.bytesPerFrame();
    m_written = 0;
    m_played = 0;
    return true;
}

size_t CQtAudioSink::room()
{
    if (!m_io)
        return 0;
    push();
    const qint64 free = m_output->bytesFree() - qint64(m_held.size());
    return free > 0 ? size_t(free / m_frame_bytes) : 0;
}

void CQtAudioSink::write(const float* frames, size_t count)
{
    if (!m_io)
        return;
    const size_t samples = count * size_t(m_format.channelCount());
    const size_t start = m_held.size();
    if (m_format.sampleType() == QAudioFormat::Float) {
        m_held.resize(start + samples * sizeof(float));
        std::memcpy(m_held.data() + start, frames, samples * sizeof(float));
    } else {
        m_held.resize(start + samples * sizeof(int16_t));
        for (size_t i = 0; i < samples; ++i) {
            const int16_t value = to_int16(frames[i]);
            std::memcpy(m_held.data() + start + i * sizeof(int16_t), &value, sizeof value);
        }
    }
    m_written += count;
    push();
}

void CQtAudioSink::push()
{
    if (m_held.empty())
        return;
    const qint64 taken = m_io->write(m_held.data(), qint64(m_held.size()));
    if (taken > 0)
        m_held.erase(m_held.begin(), m_held.begin() + taken);
}

uint64_t CQtAudioSink::played() const
{
    if (!m_output)
        return m_written;
    // What is written and not played sits in the device's buffer or is still held here; Qt's
    // processedUSecs() counts what was handed over, not what was heard. A suspended device
    // tells no free room, hence the mark that only goes up.
    const qint64 queued =
        std::max<qint64>(0, m_output->bufferSize() - m_output->bytesFree()) + qint64(m_held.size());
    const uint64_t unplayed = std::min(m_written, uint64_t(queued / m_frame_bytes));
    m_played = std::max(m_played, m_written - unplayed);
    return m_played;
}

void CQtAudioSink::pause()
{
    if (m_output && (m_output->state() == QAudio::ActiveState || m_output->state() == QAudio::IdleState))
        m_output->suspend();
}

void CQtAudioSink::resume()
{
    if (m_output && m_output->state() == QAudio::SuspendedState)
        m_output->resume();
}

void CQtAudioSink::close()
{
    if (!m_output)
        return;
    m_failed = m_output->error() == QAudio::FatalError;
    m_output->stop();
    m_output.reset();
    m_io = nullptr;
    m_held.clear();
}
