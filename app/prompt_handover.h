#pragma once

#include "core/questions.h"

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// The questions of an operation running on a worker (an overwrite, a delete, a restore
// plan), put to the user on the GUI thread: the question is handed to the thread that made
// the handover, which asks it with the installed prompt, and the worker waits for the
// answer. The GUI thread never waits for a worker, so the two cannot block each other.
// That thread must run its event loop whenever a worker may ask.
class CPromptHandover final : public QObject, public CQuestions {
    Q_OBJECT

public:
    // Made on the GUI thread.
    CPromptHandover();
    ~CPromptHandover() override;
    CPromptHandover(const CPromptHandover&) = delete;
    CPromptHandover& operator=(const CPromptHandover&) = delete;

    // A worker is waiting for its question to be answered.
    bool waiting();
    // From now on questions from workers, the one waiting included, get the silent
    // answers (No, cancel) without being shown: the GUI thread is going away and a worker
    // must not wait for it for ever. Workers may still call in until they are joined.
    void close();

    bool ask_yes_no(const QString& title, const QString& text) override;
    // The box offers Play, which hands the song `make_song` made to the song player; the
    // answer stops it. The song is made on the asking worker, before the box is shown.
    bool ask_yes_no_playing(const QString& title, const QString& text, const SongMaker& make_song) override;
    bool ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                          const QString& in_words) override;
    // Plays a song on the GUI thread; a null song stops it. Without one, Play is not offered.
    using PlaySong = std::function<void(const std::shared_ptr<const CSongStream>& song)>;
    void set_song_player(PlaySong play) { m_play = std::move(play); }

private:
    // Runs `ask` on the GUI thread: directly when called there, otherwise handed over.
    void on_gui_thread(const std::function<void()>& ask);
    Q_INVOKABLE void serve();

    std::mutex m_mutex;
    std::condition_variable m_answered;
    const std::function<void()>* m_pending = nullptr;
    bool m_taken = false;
    bool m_done = false;
    bool m_closing = false;
    PlaySong m_play;
};
