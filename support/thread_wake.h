#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Wakes the thread that made it from any other thread: wake() writes a byte into a pipe,
// and the maker's event loop runs `on_wake`. A pipe rather than a queued event: the
// waker allocates nothing the woken thread reads, and the pipe orders the two threads'
// memory in a way the thread sanitizer sees (Debian's Qt is not instrumented).
class CThreadWake : public QObject {
public:
    explicit CThreadWake(std::function<void()> on_wake);
    ~CThreadWake() override;
    CThreadWake(const CThreadWake&) = delete;
    CThreadWake& operator=(const CThreadWake&) = delete;

    // From any thread; wakes that come before the maker has run `on_wake` may merge.
    void wake();

private:
    void drain();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_on_wake;
};
