#pragma once

#include "core/online/my_http.h"
#include "support/task.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <thread>

// Runs `job` on a worker thread while this thread's event loop serves the test server.
// False when the job had not ended after kBoundMs and had to be cancelled: a download
// limit that does not work shows as a failure instead of a hung suite.
template <class Job>
[[nodiscard]] bool run_in_worker(CTask& task, Job job)
{
    constexpr int kBoundMs = 60000;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        job();
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ended = done;
    if (!ended) {
        task.cancel();
        while (!done)
            loop.processEvents(QEventLoop::AllEvents, 50);
    }
    worker.join();
    return ended;
}

// GET of `url` into `data` on a worker thread, failing the test when it had to be
// cancelled for not ending.
SDownloadResult download_in_worker(CTask& task, const SDownloadLimits& limits, const QString& url,
                                   QByteArray& data);

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TANDORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TANDORA_SANITIZED 1
#endif
#endif

// The process's resident memory, sampled at every progress report of a task; -1 where
// it cannot be read. A sanitizer keeps freed blocks in quarantine and shadow memory
// beside them, so its figures say nothing of the program's own use.
class CResidentWatch {
public:
    explicit CResidentWatch(CTask& task);
    static int64_t resident_bytes();
    bool measured() const { return m_start >= 0; }
    int64_t growth() const { return m_peak - m_start; }

private:
    int64_t m_start;
    std::atomic<int64_t> m_peak;
};
