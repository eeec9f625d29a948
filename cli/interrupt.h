#pragma once

#include <mutex>
#include <thread>

class CTask;

// Ctrl-C while a command runs: the running task is cancelled, as the window's Cancel does
// (the slot keeps its song, a partial export file goes); a task that can no longer stop (a
// firmware update past its first erase) goes on, and the user is told why. A cancelled task
// that has not ended a second later (blocked on a file) ends with the program. With no task
// running, Ctrl-C ends the program at once, having changed nothing. SIGTERM does the same.
class CInterruptWatch {
public:
    CInterruptWatch();
    ~CInterruptWatch();
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;

    // The task Ctrl-C cancels from now on (null: none).
    void watch(CTask* task);

private:
    void run();

    int m_pipe[2] = {-1, -1};
    // Held while the watching thread uses the task, so it cannot go away meanwhile.
    std::mutex m_mutex;
    CTask* m_task = nullptr;
    std::thread m_thread;
};
