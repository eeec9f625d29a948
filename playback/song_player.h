#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class CAudioSink;
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

    explicit CSongPlayer(CAudioSink& sink, QObject* parent = nullptr);
    ~CSongPlayer() override;

    // Plays `stream` from its start; a song playing is stopped first. False, with the
    // sink's reason in `why`, when the sink cannot play.
    bool play(std::shared_ptr<const CSongStream> stream, QString* why = nullptr);
    // Ends playback at once; no finished() follows.
    void stop();
    EState state() const;
    // Frames of the song (at its own rate) heard so far, and in all.
    uint64_t position() const;
    uint64_t frames() const;

signals:
    void state_changed(CSongPlayer::EState state);
    // A few times a second while playing.
    void position_changed(uint64_t frames);
    // Played to its end: the whole song, or up to where its stream was broken off
    // (`whole` false).
    void finished(bool whole);
};
