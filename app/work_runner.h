#pragma once

#include "core/operation_result.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class CPedalSession;
class CPromptHandover;
class CQuestions;
class CSongStream;
class CTask;
class CThreadWake;
class QProgressBar;
class QPushButton;

// What the window is busy with; commands start only when idle.
enum EWorkState : int {
    WORK_UPLOAD_SONG = 0,      // a slot is read from the pedal into a WAV file (Export)
    WORK_DOWNLOAD_SONG = 1,    // a WAV file is written into a slot (Import)
    WORK_UPDATE_FIRMWARE = 2,  // a firmware package is written into the pedal
    WORK_IDLE = 3,
    WORK_DELETE_SONG = 4,    // a slot is emptied
    WORK_BACKUP_SONGS = 5,   // every slot is read into a backup folder
    WORK_RESTORE_SONGS = 6,  // a backup folder is written into the slots
    WORK_CONNECT = 7,        // the pedal is looked for, opened and read; no Cancel
    WORK_SYNC_SONGS = 8,     // a set list is planned, asked and written into the slots
    WORK_PLAY_SONG = 9,      // a slot is read from the pedal as it plays
    WORK_MOVE_SONG = 10,     // songs change slots by their records, no audio copied
};

// Runs the window's commands on a worker thread, one at a time: the job gets a task of its
// own, the progress bar shows the task's progress (with Cancel while the job allows it),
// and the finish runs on the GUI thread with the result, the notes of what the session met
// meanwhile first. The worker's questions reach the user through questions(), on the GUI
// thread. The task's listener only wakes the GUI thread; the result passes under a mutex.
class CWorkRunner : public QObject {
    Q_OBJECT

public:
    using Job = std::function<COperationResult(CTask&)>;
    using Finish = std::function<void(const COperationResult&)>;

    CWorkRunner(QProgressBar* bar, CPedalSession& session);
    // Waits for a running job, its questions answered No first.
    ~CWorkRunner() override;
    CWorkRunner(const CWorkRunner&) = delete;
    CWorkRunner& operator=(const CWorkRunner&) = delete;

    // Enters `state` and runs `job` on the worker; `finish` runs before the state is left.
    // Only when idle.
    void start(EWorkState state, Job job, Finish finish);
    EWorkState state() const { return m_state; }
    bool idle() const { return m_state == WORK_IDLE; }
    // The running job's task; null when idle.
    CTask* task() { return m_task.get(); }
    CQuestions& questions();
    // Where a question's Play sends its song (see CPromptHandover::set_song_player).
    void set_song_player(std::function<void(const std::shared_ptr<const CSongStream>&)> play);
    // The user cancelled the job to close the window, which closes once the job ends: the
    // job's finish, with its result, is left out, as nobody is left to read it.
    void cancel_to_close();
    // The window is going away: a question waiting is answered No, and the job is
    // cancelled where it still can be.
    void stop();

signals:
    // A job started or ended; the pages enable what the new state allows.
    void state_changed(EWorkState state);

protected:
    void customEvent(QEvent* event) override;

private:
    void wake_from_worker();
    void on_woken();
    void finish();
    void show_progress();

    QProgressBar* m_bar;
    CPedalSession& m_session;
    QPushButton* m_cancel;
    std::unique_ptr<CPromptHandover> m_handover;
    EWorkState m_state = WORK_IDLE;
    std::unique_ptr<CTask> m_task;
    std::thread m_worker;
    std::mutex m_mutex;
    std::optional<COperationResult> m_result;
    Finish m_finish;
    bool m_closing = false;
    std::atomic<bool> m_wake_pending{false};
    std::unique_ptr<CThreadWake> m_wake;
};
