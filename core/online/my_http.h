#pragma once

#include "core/online/download_result.h"

#include <QByteArray>
#include <QString>

class CTask;
class QIODevice;

// Blocking HTTP GET in the calling thread, which may be any thread: each download makes
// its own network manager and waits in a local event loop of that thread (a worker
// thread has no running loop otherwise). On the GUI thread that loop also serves the
// window's events while it waits.
//
// A download stops with a failure when the body is larger than the limit (announced or
// sent), when the deadline or the silence time passes, on any status but 2xx, and on
// redirects other than up to kMaxRedirects to the same scheme, host and
// port. It is never reported as done unless every announced byte arrived.
class CMyHttp {
public:
    // `task` (may be null) counts the body's bytes; its cancel ends the wait at once.
    explicit CMyHttp(const SDownloadLimits& limits, CTask* task = nullptr);

    // GET of `url` (read in tolerant mode) into memory: the whole body in `data` on
    // success, `data` empty otherwise.
    [[nodiscard]] SDownloadResult download_file(const QString& url, QByteArray& data);
    // The same written to `sink`, open for writing, as the bytes arrive; the body is never
    // held whole. After a failure `sink` holds a part, which the caller discards.
    [[nodiscard]] SDownloadResult download_file(const QString& url, QIODevice& sink);

private:
    SDownloadLimits m_limits;
    CTask* m_task;
};
