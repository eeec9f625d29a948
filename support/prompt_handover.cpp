#include "support/prompt_handover.h"

#include <QThread>

CPromptHandover::CPromptHandover()
{
    register_prompt_handover(this);
}

CPromptHandover::~CPromptHandover()
{
    register_prompt_handover(nullptr);
    close();
}

void CPromptHandover::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closing = true;
    m_done = true;
    m_answered.notify_all();
}

bool CPromptHandover::waiting()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending != nullptr && !m_taken;
}

bool CPromptHandover::is_own_thread() const
{
    return QThread::currentThread() == thread();
}

void CPromptHandover::on_gui_thread(const std::function<void()>& ask)
{
    if (is_own_thread()) {
        ask();
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    // One question at a time: a second worker waits until the first one is answered.
    m_answered.wait(lock, [this] { return m_closing || !m_pending; });
    if (m_closing)
        return;
    m_pending = &ask;
    m_taken = false;
    m_done = false;
    // The queued call only wakes the GUI thread; the question itself passes under the lock.
    QMetaObject::invokeMethod(this, "serve", Qt::QueuedConnection);
    m_answered.wait(lock, [this] { return m_done; });
    // The question is gone either way; a close meanwhile leaves the silent answers.
    m_pending = nullptr;
    m_taken = false;
    m_answered.notify_all();
}

void CPromptHandover::serve()
{
    const std::function<void()>* ask = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A box's own event loop may deliver a second wake for the same question.
        if (m_taken)
            return;
        ask = m_pending;
        m_taken = ask != nullptr;
    }
    if (!ask)
        return;
    // The worker waits until m_done, so `ask` and what it writes stay valid meanwhile.
    (*ask)();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = true;
    m_answered.notify_all();
}

void CPromptHandover::show_message(const QString& title, const QString& text)
{
    on_gui_thread([&] { installed_user_prompt().show_message(title, text); });
}

bool CPromptHandover::ask_yes_no(const QString& title, const QString& text)
{
    bool answer = false;
    on_gui_thread([&] { answer = installed_user_prompt().ask_yes_no(title, text); });
    return answer;
}

QString CPromptHandover::get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                                            const QString& filter)
{
    QString path;
    on_gui_thread(
        [&] { path = installed_user_prompt().get_open_file_name(parent, caption, folder, filter); });
    return path;
}

QString CPromptHandover::get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                                            const QString& filter)
{
    QString path;
    on_gui_thread(
        [&] { path = installed_user_prompt().get_save_file_name(parent, caption, proposed, filter); });
    return path;
}

QString CPromptHandover::get_existing_directory(QWidget* parent, const QString& caption,
                                                const QString& folder)
{
    QString path;
    on_gui_thread([&] { path = installed_user_prompt().get_existing_directory(parent, caption, folder); });
    return path;
}
