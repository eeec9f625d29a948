#include "app/prompt_handover.h"

#include "app/user_prompt.h"

#include <QThread>

CPromptHandover::CPromptHandover() = default;

CPromptHandover::~CPromptHandover()
{
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

void CPromptHandover::on_gui_thread(const std::function<void()>& ask)
{
    if (QThread::currentThread() == thread()) {
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

bool CPromptHandover::ask_yes_no(const QString& title, const QString& text)
{
    bool answer = false;
    on_gui_thread([&] { answer = user_prompt().ask_yes_no(title, text); });
    return answer;
}

bool CPromptHandover::ask_yes_no_playing(const QString& title, const QString& text, const SongMaker& make_song)
{
    const std::shared_ptr<const CSongStream> song = m_play ? make_song() : nullptr;
    if (!song)
        return ask_yes_no(title, text);
    bool answer = false;
    on_gui_thread([&] {
        answer = user_prompt().ask_yes_no_or_play(title, text, [&] { m_play(song); });
        m_play(nullptr);
    });
    return answer;
}

bool CPromptHandover::ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                                       const QString& in_words)
{
    bool answer = false;
    on_gui_thread([&] { answer = user_prompt().ask_yes_no_table(title, text, table, in_words); });
    return answer;
}
