#pragma once

#include "device/wait_clock.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>

// A clock on which no wait takes real time: a wait jumps to its deadline at once, or to the
// next scripted arrival before it. So a time-out of the program's figures ends in a moment
// and the link's count of it can be checked to the millisecond.
class CFakeWaitClock final : public CWaitClock {
public:
    using ms = std::chrono::milliseconds;

    // Runs before the clock moves in a wait, without the waiter's lock: lets emulated
    // pedals answer what they were sent (their wait_until_idle), so that only true silence
    // is jumped over.
    void set_settle(std::function<void()> settle);
    // At clock time `when` (since the clock's start) `arrive` runs, as input coming then.
    void at(ms when, std::function<void()> arrive);
    // Moves the clock on, as time spent elsewhere (taking bytes, a late wake-up).
    void advance(ms by);
    // Clock time since the start.
    ms elapsed() const;
    // Waits that were not ready at once.
    unsigned int waits() const;

    time_point now() const override;
    void wait_until(std::condition_variable& arrival, std::unique_lock<std::mutex>& lock, time_point deadline,
                    const std::function<bool()>& ready) override;

private:
    mutable std::mutex m_mutex;
    const time_point m_start{std::chrono::hours(1)};
    time_point m_now{m_start};
    std::multimap<time_point, std::function<void()>> m_arrivals;
    std::function<void()> m_settle;
    unsigned int m_waits = 0;
};
