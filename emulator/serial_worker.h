#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

// CSerialWorker: one thread that hands queued items to a handler, one at a time, in the
// order they were queued. The handler runs without the worker's lock held, so it may push,
// clear or pause. An owner whose handler uses the owner's members must stop() the worker
// before those members go.
template <typename Item>
class CSerialWorker {
public:
    using Handler = std::function<void(Item&)>;

    explicit CSerialWorker(Handler handler) : m_handler(std::move(handler)), m_thread([this] { run(); }) {}
    ~CSerialWorker() { stop(); }
    CSerialWorker(const CSerialWorker&) = delete;
    CSerialWorker& operator=(const CSerialWorker&) = delete;

    // False once the worker is stopping (the item is dropped).
    bool push(Item item)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                return false;
            m_queue.push_back(std::move(item));
        }
        m_wake.notify_all();
        return true;
    }

    // Drops the items not yet handed to the handler.
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_idle.notify_all();
    }

    // Returns once every item queued so far has been handled, or the worker is stopping.
    void wait_until_idle()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idle.wait(lock, [this] { return m_stopping || (m_queue.empty() && !m_busy); });
    }

    // Lets the item in hand finish, drops the rest and ends the thread. Idempotent; never
    // called from the handler.
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            m_queue.clear();
        }
        m_wake.notify_all();
        m_idle.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Nothing queued and nothing in hand. Lasting only for a caller that is the one who
    // queues: the worker cannot get busy again behind its back.
    [[nodiscard]] bool is_idle()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_queue.empty() && !m_busy;
    }

    // For the handler: waits `duration`, returning early when the worker is stopping.
    void pause(std::chrono::microseconds duration)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, duration, [this] { return m_stopping; });
    }

    // For the handler: waits until `deadline`, returning early when the worker is stopping.
    void pause_until(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_until(lock, deadline, [this] { return m_stopping; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            Item item = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
            lock.unlock();
            m_handler(item);
            lock.lock();
            m_busy = false;
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }

    Handler m_handler;
    std::mutex m_mutex;  // guards the queue and the flags
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Item> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once everything above exists
};
