#include "download_run.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QFile>

CResidentWatch::CResidentWatch(CTask& task) : m_start(resident_bytes()), m_peak(m_start)
{
#ifdef TANDORA_SANITIZED
    m_start = -1;
#endif
    task.set_listener([this] {
        const int64_t now = resident_bytes();
        int64_t peak = m_peak;
        while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
        }
    });
}

int64_t CResidentWatch::resident_bytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    bool ok = false;
    const int64_t pages = fields.value(1).toLongLong(&ok);
    return ok ? pages * sysconf(_SC_PAGESIZE) : -1;
}

SDownloadResult download_in_worker(CTask& task, const SDownloadLimits& limits, const QString& url,
                                   QByteArray& data)
{
    SDownloadResult result;
    if (!run_in_worker(task, [&] { result = CMyHttp(limits, &task).download_file(url, data); }))
        ADD_FAILURE() << "the download of " << qPrintable(url) << " did not end by its limits";
    return result;
}
