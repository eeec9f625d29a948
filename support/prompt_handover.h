#pragma once

#include "support/user_prompt.h"

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>

// Puts every box and dialog on the GUI thread. While a handover lives, user_prompt()
// called on another thread (a lower layer on a worker: the device protocol on a bad
// reply, the WAV reader on a bad file) returns the handover: the question is handed to the
// thread that made it, which shows it with the installed prompt, and the worker waits for
// the answer. The GUI thread never waits for a worker, so the two cannot block each other.
// That thread must run its event loop whenever a worker may ask.
class CPromptHandover final : public QObject, public CUserPrompt {
    Q_OBJECT

public:
    // Made on the GUI thread; at most one at a time.
    CPromptHandover();
    ~CPromptHandover() override;
    CPromptHandover(const CPromptHandover&) = delete;
    CPromptHandover& operator=(const CPromptHandover&) = delete;

    bool is_own_thread() const;
    // A worker is waiting for its question to be answered.
    bool waiting();
    // From now on questions from workers, the one waiting included, get the silent
    // answers (No, cancel) without being shown: the GUI thread is going away and a worker
    // must not wait for it for ever. Workers may still call in until they are joined.
    void close();

    void show_message(const QString& title, const QString& text) override;
    bool ask_yes_no(const QString& title, const QString& text) override;
    QString get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                               const QString& filter) override;
    QString get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter) override;
    QString get_existing_directory(QWidget* parent, const QString& caption, const QString& folder) override;

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
};
