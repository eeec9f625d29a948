#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// The time a reply wait runs on. The program waits on the host's steady clock; tests put
// in a clock of their own, so that a time-out of the program's figures passes without
// being waited out and its length can be told exactly.
class CWaitClock {
public:
    using duration = std::chrono::steady_clock::duration;
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~CWaitClock() = default;
    // Called from the waiting thread and from the MIDI system's receiving thread.
    virtual time_point now() const = 0;
    // Blocks on `arrival`, whose mutex `lock` holds, until `ready()` (asked with the lock
    // held) is true or `deadline` has come; lets go of the lock meanwhile, as a condition
    // variable does.
    virtual void wait_until(std::condition_variable& arrival, std::unique_lock<std::mutex>& lock,
                            time_point deadline, const std::function<bool()>& ready) = 0;
};

// The host's steady clock; one for the whole process.
CWaitClock& steady_wait_clock();
