#include "support/task.h"

#include <utility>

void CTask::set_percent_range(int from, int to)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_from = from;
    m_to = to;
}

void CTask::set_step(uint64_t done, uint64_t total)
{
    if (total == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int percent = static_cast<int>(m_from + done * static_cast<uint64_t>(m_to - m_from) / total);
        if (percent == m_progress.percent)
            return;
        m_progress.percent = percent;
    }
    notify();
}

void CTask::set_part(unsigned part, unsigned parts)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress.part = part;
        m_progress.parts = parts;
    }
    notify();
}

void CTask::set_bytes_total(uint64_t total)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress.bytes_total = total;
    }
    notify();
}

void CTask::add_bytes(uint64_t count)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress.bytes_done += count;
    }
    notify();
}

void CTask::begin_transfer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_transfer_start)
            return;
        m_transfer_start = m_clock();
    }
    notify();
}

void CTask::restart_transfer(uint64_t total)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress.bytes_done = 0;
        m_progress.bytes_total = total;
        m_transfer_start.reset();
    }
    notify();
}

STaskProgress CTask::progress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    STaskProgress progress = m_progress;
    progress.transfer_begun = m_transfer_start.has_value();
    if (m_transfer_start)
        progress.transfer_seconds = std::chrono::duration<double>(m_clock() - *m_transfer_start).count();
    return progress;
}

void CTask::set_clock(Clock clock)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock = std::move(clock);
}

void CTask::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_progress.cancellable || m_cancelled)
            return;
        m_cancelled = true;
    }
    {
        // Held while the wakes run, so none outlives its CCancelWake.
        std::lock_guard<std::mutex> lock(m_wake_mutex);
        for (const auto& entry : m_wakes)
            entry.second();
    }
    notify();
}

bool CTask::cancelled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

bool CTask::forbid_cancel(const QString& why)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled)
            return false;
        m_progress.cancellable = false;
        m_progress.why_not_cancellable = why;
    }
    notify();
    return true;
}

void CTask::set_listener(std::function<void()> listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener = std::move(listener);
}

void CTask::notify()
{
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        listener = m_listener;
    }
    if (listener)
        listener();
}

CTask::CCancelWake::CCancelWake(CTask* task, std::function<void()> wake) : m_task(task)
{
    if (!m_task)
        return;
    std::lock_guard<std::mutex> lock(m_task->m_wake_mutex);
    m_id = m_task->m_next_wake++;
    m_task->m_wakes.emplace(m_id, std::move(wake));
}

CTask::CCancelWake::~CCancelWake()
{
    if (!m_task)
        return;
    std::lock_guard<std::mutex> lock(m_task->m_wake_mutex);
    m_task->m_wakes.erase(m_id);
}
