#include "playback/song_player.h"

#include "audio/song_stream.h"
#include "playback/audio_sink.h"
#include "playback/rate_converter.h"

#include <algorithm>

namespace {

// The timer's period, in ms: well inside the sink's buffer (CQtAudioSink asks for 250 ms),
// so it never runs dry between two turns.
constexpr int kTurnMs = 15;
// Song frames taken from the stream at a time: 87 ms, a few turns' worth.
constexpr size_t kChunkFrames = 4096;
// Playing starts, and goes on after a stall, once 100 ms of song are in (the frames a
// song holds when shorter). Over the 0.6 MB/s link that is 24 ms of a mono song's read
// and 47 ms of a stereo one's, so with the first page, a timer turn and the sound
// device's own start the first samples are heard well within 300 ms; and the link
// delivers 2 to 4 times faster than a song plays, so the wait is rarely met again.
constexpr unsigned int kPrebufferDivisor = 10;
// The sink is paused when less than 50 ms is left in it and the stream has nothing more:
// late enough that a read which merely lags a little does not stop the sound, early
// enough that the device is held before it runs dry and stutters.
constexpr unsigned int kLowWaterDivisor = 20;
// position_changed() every fifth of a second of song.
constexpr unsigned int kReportDivisor = 5;

}  // namespace

CSongPlayer::CSongPlayer(CAudioSink& sink, QObject* parent) : QObject(parent), m_sink(sink)
{
    // For state_changed() across threads and in signal spies.
    qRegisterMetaType<CSongPlayer::EState>();
    m_timer.setInterval(kTurnMs);
    connect(&m_timer, &QTimer::timeout, this, &CSongPlayer::tick);
}

CSongPlayer::~CSongPlayer()
{
    stop();
}

bool CSongPlayer::play(std::shared_ptr<const CSongStream> stream, QString* why)
{
    stop();
    QString reason = m_sink.unavailable();
    const SSongAudioFormat format = stream ? stream->format() : SSongAudioFormat{};
    const int rate = m_sink.output_rate(int(format.sample_rate), int(format.channels));
    if (reason.isEmpty())
        m_converter = CRateConverter::make(format.sample_rate, unsigned(std::max(rate, 0)), format.channels);
    if (reason.isEmpty() && (!stream || !m_converter || !m_sink.open(rate, int(format.channels))))
        reason = CAudioSink::open_failed_text();
    if (!reason.isEmpty()) {
        m_converter.reset();
        if (why)
            *why = reason;
        return false;
    }
    m_stream = std::move(stream);
    m_channels = format.channels;
    m_song_rate = format.sample_rate;
    m_output_rate = unsigned(rate);
    m_frames = m_stream->frames();
    m_read = m_written = m_position = m_reported = 0;
    m_flushed = false;
    m_input.resize(kChunkFrames * m_channels);
    m_output.clear();
    m_output_at = 0;
    set_state(EState::BUFFERING);
    // The first turn comes from the event loop too, so no signal but state_changed() is
    // emitted before play() returns.
    m_timer.start();
    return true;
}

void CSongPlayer::stop()
{
    if (m_state == EState::STOPPED)
        return;
    m_timer.stop();
    m_sink.close();
    m_stream.reset();
    m_converter.reset();
    set_state(EState::STOPPED);
}

void CSongPlayer::tick()
{
    if (m_state == EState::BUFFERING) {
        const uint64_t wanted = std::min(m_frames, m_read + m_song_rate / kPrebufferDivisor);
        if (!m_stream->ended() && m_stream->frames_in() < wanted)
            return;
        m_sink.resume();
        set_state(EState::PLAYING);
    }
    // A sink that failed takes nothing more and plays nothing more.
    const bool fed = m_sink.unavailable().isEmpty() && feed();
    update_position();
    const uint64_t unheard = m_written - std::min(m_written, m_sink.played());
    const bool drained = m_output_at == m_output.size();
    if (!fed)
        end(false);
    else if (m_flushed && drained && unheard == 0)
        end(m_stream->whole());
    else if (!m_stream->ended() && drained && m_read == m_stream->frames_in() &&
             unheard <= m_output_rate / kLowWaterDivisor) {
        m_sink.pause();
        set_state(EState::BUFFERING);
    }
}

bool CSongPlayer::feed()
{
    for (;;) {
        const size_t room = m_sink.room();
        if (room == 0)
            return true;
        if (m_output_at == m_output.size()) {
            const EConverted converted = convert_more();
            if (converted != EConverted::SOME)
                return converted == EConverted::NONE_NOW;
            continue;
        }
        const size_t count = std::min(room, (m_output.size() - m_output_at) / m_channels);
        m_sink.write(m_output.data() + m_output_at, count);
        m_output_at += count * m_channels;
        m_written += count;
    }
}

CSongPlayer::EConverted CSongPlayer::convert_more()
{
    m_output.clear();
    m_output_at = 0;
    const size_t count = m_stream->read(m_read, m_input.data(), kChunkFrames);
    m_read += count;
    bool converted = true;
    if (count > 0)
        converted = m_converter->convert(m_input.data(), count, m_output);
    else if (m_stream->ended() && !m_flushed) {
        m_flushed = true;
        converted = m_converter->flush(m_output);
    } else
        return EConverted::NONE_NOW;
    return converted ? EConverted::SOME : EConverted::FAULT;
}

void CSongPlayer::update_position()
{
    const uint64_t heard = m_sink.played() * m_song_rate / m_output_rate;
    m_position = std::min(m_frames, heard);
    if (m_position >= m_reported + m_song_rate / kReportDivisor) {
        m_reported = m_position;
        emit position_changed(m_position);
    }
}

void CSongPlayer::set_state(EState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit state_changed(state);
}

void CSongPlayer::end(bool whole)
{
    // The sink rounds what it has played to its own frames; a whole song was all heard.
    if (whole)
        m_position = m_frames;
    if (m_position != m_reported) {
        m_reported = m_position;
        emit position_changed(m_position);
    }
    stop();
    emit finished(whole);
}
