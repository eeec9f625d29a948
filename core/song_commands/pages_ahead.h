#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A song's bytes made ahead of the write that takes them, on a thread of their own: a
// file's conversion runs while the pedal takes the pages before, so its time hides behind
// the link's. A few chunks wait at most, so memory stays small whatever the length.
class CPagesAhead {
public:
    // Gives the song's next `count` bytes, following those before; false when it cannot.
    // It runs on the thread alone until finish().
    using Fill = std::function<bool(unsigned char* out, size_t count)>;

    CPagesAhead(uint64_t length, Fill fill);
    // Stops the thread; a write that ended early does not wait for the rest of the song.
    ~CPagesAhead();
    CPagesAhead(const CPagesAhead&) = delete;
    CPagesAhead& operator=(const CPagesAhead&) = delete;

    // False when no thread can be started.
    [[nodiscard]] bool start();
    // The song's next `count` bytes into `out`; false past the length, after finish(), or
    // once the fill failed before them.
    [[nodiscard]] bool next(unsigned char* out, size_t count);
    // Stops the thread and waits for it: what the fill touched is the caller's again. Called
    // by the taker, as next() is.
    void finish();

private:
    void make_chunks();

    const uint64_t m_length;
    const Fill m_fill;
    uint64_t m_handed = 0;
    bool m_finished = false;
    std::vector<unsigned char> m_current;  // the chunk being taken, the taker's alone
    size_t m_taken = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<unsigned char>> m_ready;
    std::vector<std::vector<unsigned char>> m_spare;  // taken chunks, kept for their memory
    bool m_failed = false;
    bool m_stopping = false;
    std::thread m_thread;
};
