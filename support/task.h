#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

// What a front end sees of a long job at one instant.
struct STaskProgress {
    // The part under way, from 1, of `parts` (slot 4 of 12, file 2 of 3); 0 of 0 when the
    // job is not split into parts.
    unsigned part = 0;
    unsigned parts = 0;
    // 0..100 on the job's own scale: a step counts within the percent range the job set.
    int percent = 0;
    // Bytes moved to or from the pedal so far, of all the job will move.
    uint64_t bytes_done = 0;
    uint64_t bytes_total = 0;
    // Whether the first byte went to the pedal (or the server), and the seconds since: the
    // time the speed and the time left are figured over. A question left open or a
    // measuring pass before it does not count.
    bool transfer_begun = false;
    double transfer_seconds = 0;
    bool cancellable = true;
    // Shown when the job can no longer be cancelled ("the pedal is being written").
    QString why_not_cancellable;
};

// Progress and cancel of one long job, shared by the worker thread that runs it and the
// front end that shows it. Every member may be called from any thread. Loops over chunks,
// pages and blocks report a step and check `cancelled()` between two of them.
class CTask {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    CTask() = default;
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    // Steps that follow map onto percent `from`..`to` (a firmware update's erase pass is
    // 0..80 and its write pass 80..100; a song's transfer 0..100, the default).
    void set_percent_range(int from, int to);
    // Step `done` of `total` within the range; a total of 0 is ignored.
    void set_step(uint64_t done, uint64_t total);
    void set_part(unsigned part, unsigned parts);
    void set_bytes_total(uint64_t total);
    void add_bytes(uint64_t count);
    // Called before the first byte of a transfer goes out; only the first call counts.
    void begin_transfer();
    // A new transfer of `total` bytes follows another of the same job (an update's install
    // after its download): the bytes done and the transfer time start again from zero.
    void restart_transfer(uint64_t total);
    STaskProgress progress() const;
    // The time the transfer is measured on; the host's steady clock unless a test sets
    // its own before the job starts.
    void set_clock(Clock clock);

    // Asks the job to stop at its next check and wakes the waits registered below. Ignored
    // once the job has said it can no longer stop.
    void cancel();
    [[nodiscard]] bool cancelled() const;
    // From here on the job runs to its end: an interrupted firmware write would leave the
    // pedal without a program. False, forbidding nothing, when a cancel came first.
    [[nodiscard]] bool forbid_cancel(const QString& why);

    // Called on every change of progress or cancel state, from the thread that made it;
    // a front end uses it only to wake its own thread, which then reads progress().
    void set_listener(std::function<void()> listener);

    // Registers `wake` for as long as the object lives: cancel() calls it, so a blocking
    // wait (a reply from the pedal, a download) ends at once instead of at its time-out.
    // The destructor waits for a call under way, so `wake` never runs after it.
    class CCancelWake {
    public:
        CCancelWake(CTask* task, std::function<void()> wake);
        ~CCancelWake();
        CCancelWake(const CCancelWake&) = delete;
        CCancelWake& operator=(const CCancelWake&) = delete;

    private:
        CTask* m_task;
        int m_id = 0;
    };

private:
    void notify();

    mutable std::mutex m_mutex;
    STaskProgress m_progress;
    int m_from = 0;
    int m_to = 100;
    Clock m_clock = std::chrono::steady_clock::now;
    std::optional<std::chrono::steady_clock::time_point> m_transfer_start;
    bool m_cancelled = false;
    std::function<void()> m_listener;
    // Apart from m_mutex: wakes are called under it, and a wake takes its waiter's lock,
    // under which the waiter may ask cancelled().
    std::mutex m_wake_mutex;
    std::map<int, std::function<void()>> m_wakes;
    int m_next_wake = 1;
};

// A task may be absent: lower layers take a pointer and these keep the checks short.
inline bool task_cancelled(const CTask* task)
{
    return task && task->cancelled();
}
inline void task_step(CTask* task, uint64_t done, uint64_t total)
{
    if (task)
        task->set_step(done, total);
}
inline void task_begin_transfer(CTask* task)
{
    if (task)
        task->begin_transfer();
}
inline void task_bytes(CTask* task, uint64_t count)
{
    if (task)
        task->add_bytes(count);
}
