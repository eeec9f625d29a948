#pragma once

#include "playback/song_player.h"

#include <QObject>
#include <functional>
#include <memory>

class CAudioSink;
class CPedalSession;
class CSongStream;
class CWorkRunner;
class Ui_TandoraQTClass;

// Play and Stop on the song page, the time played ("0:42 / 4:00", "buffering" while the
// pedal's read lags) and the playing line's place on its waveform. A slot plays as it is
// read from the pedal: the read is work, holding the link, and Stop (or Cancel) ends it at
// the next page. A song already in memory (a file as an import would write it) plays with
// no work at all.
class CSongPlay : public QObject {
    Q_OBJECT

public:
    // `read_done` runs once a slot's read has ended well: the library now has its overview.
    CSongPlay(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner, QObject* parent,
              std::function<void()> read_done);
    ~CSongPlay() override;

    // Plays the song in `slot` (0-based) from the pedal; only while the runner is idle.
    void play_slot(int slot);
    // Plays a song that is whole in memory; no line of the list shows it.
    void play_song(std::shared_ptr<const CSongStream> song);
    void stop();
    // Play needs a song selected, the runner idle and a sound output: without one it is
    // disabled and its tool tip says why.
    void update_buttons(bool song_selected);
    // The list was rebuilt: the playing line gets its place back.
    void show_place();
    const CSongPlayer& player() const { return *m_player; }

private:
    void show_time();

    Ui_TandoraQTClass& m_ui;
    CPedalSession& m_session;
    CWorkRunner& m_runner;
    std::function<void()> m_read_done;
    CAudioSink& m_sink;
    std::unique_ptr<CSongPlayer> m_player;
    // The slot whose song plays, -1 for none or a song from a file.
    int m_slot = -1;
    bool m_song_selected = false;
};
