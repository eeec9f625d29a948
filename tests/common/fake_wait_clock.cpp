#include "fake_wait_clock.h"

#include <algorithm>
#include <utility>

void CFakeWaitClock::set_settle(std::function<void()> settle)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_settle = std::move(settle);
}

void CFakeWaitClock::at(ms when, std::function<void()> arrive)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_arrivals.emplace(m_start + when, std::move(arrive));
}

void CFakeWaitClock::advance(ms by)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_now += by;
}

CFakeWaitClock::ms CFakeWaitClock::elapsed() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return std::chrono::duration_cast<ms>(m_now - m_start);
}

unsigned int CFakeWaitClock::waits() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_waits;
}

CWaitClock::time_point CFakeWaitClock::now() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_now;
}

void CFakeWaitClock::wait_until(std::condition_variable&, std::unique_lock<std::mutex>& lock,
                                time_point deadline, const std::function<bool()>& ready)
{
    if (ready())
        return;
    std::function<void()> settle;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_waits;
        settle = m_settle;
    }
    // Settling and arrivals hand bytes to the waiter's input, which takes its lock.
    for (;;) {
        if (settle) {
            lock.unlock();
            settle();
            lock.lock();
            if (ready())
                return;
        }
        std::function<void()> arrive;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            const auto next = m_arrivals.begin();
            if (next == m_arrivals.end() || next->first > deadline) {
                m_now = std::max(m_now, deadline);
                return;
            }
            m_now = std::max(m_now, next->first);
            arrive = std::move(next->second);
            m_arrivals.erase(next);
        }
        lock.unlock();
        arrive();
        lock.lock();
        if (ready())
            return;
    }
}
