#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

class CAudioSink;
class CRateConverter;
class CSongStream;

// Plays a song stream on an audio sink, on the thread it lives on (the GUI thread, or the
// command-line tool's main thread): frames are handed to the sink as fast as it takes
// them and as they arrive; when the song gets ahead of its stream the sink is paused and
// the state is BUFFERING until enough has arrived again, so playback waits rather than
// stutters. The song's 46875 Hz is resampled when the sink runs at another rate.
class CSongPlayer : public QObject {
    Q_OBJECT

public:
    enum class EState { STOPPED, BUFFERING, PLAYING };
    Q_ENUM(EState)

    explicit CSongPlayer(CAudioSink& sink, QObject* parent = nullptr);
    ~CSongPlayer() override;

    // Plays `stream` from its start; a song playing is stopped first. False, with the
    // sink's reason in `why`, when the sink cannot play.
    [[nodiscard]] bool play(std::shared_ptr<const CSongStream> stream, QString* why = nullptr);
    // Ends playback at once; no finished() follows.
    void stop();
    EState state() const { return m_state; }
    // Frames of the song (at its own rate) heard so far, and in all; after the end or a
    // stop, where it ended and the length of the song it was.
    uint64_t position() const { return m_position; }
    uint64_t frames() const { return m_frames; }

signals:
    void state_changed(CSongPlayer::EState state);
    // A few times a second while playing.
    void position_changed(uint64_t frames);
    // Played to its end: the whole song, or up to where its stream was broken off or the
    // sink failed (`whole` false; the sink's unavailable() then says why).
    void finished(bool whole);

private:
    // One turn of the player's timer: hands over what the sink takes, and moves between
    // BUFFERING and PLAYING, or to the end.
    void tick();
    // Writes converted frames while the sink has room and the stream has frames in.
    // False on a resampler fault.
    bool feed();
    // Fills m_output from the stream's next frames, or with the resampler's tail once the
    // stream has ended (SOME may still be no frames: the resampler holds a few back).
    enum class EConverted { SOME, NONE_NOW, FAULT };
    EConverted convert_more();
    void update_position();
    void set_state(EState state);
    void end(bool whole);

    CAudioSink& m_sink;
    QTimer m_timer;
    EState m_state = EState::STOPPED;
    std::shared_ptr<const CSongStream> m_stream;
    std::unique_ptr<CRateConverter> m_converter;
    unsigned int m_channels = 0;
    unsigned int m_song_rate = 0;
    unsigned int m_output_rate = 0;
    uint64_t m_frames = 0;
    // Song frames taken from the stream; output frames written to the sink.
    uint64_t m_read = 0;
    uint64_t m_written = 0;
    bool m_flushed = false;
    std::vector<float> m_input;
    // Converted frames not yet written, from m_output_at on.
    std::vector<float> m_output;
    size_t m_output_at = 0;
    uint64_t m_position = 0;
    uint64_t m_reported = 0;
};
