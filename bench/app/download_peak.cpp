#include "download_peak.h"

#include "core/firmware_update/firmware_package_download.h"
#include "http_test_server.h"
#include "support/task.h"

#include <unistd.h>
#include <QEventLoop>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int64_t resident_bytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

}  // namespace

void print_download_peak()
{
    CHttpTestServer server;
    server.serve("/endless.dat", SHttpReply::endless());
    const QString old_base = UPDATE_SERVER::base();
    UPDATE_SERVER::set_base(server.base());

    CTask task;
    const int64_t start = resident_bytes();
    std::atomic<int64_t> peak{start};
    // Sampled at every piece the download takes, from its worker thread.
    task.set_listener([&peak] {
        const int64_t now = resident_bytes();
        int64_t seen = peak;
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
    });
    SPackageDownload download;
    QEventLoop loop;
    std::thread worker([&] {
        download = download_firmware_package("/endless.dat", &task);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    task.set_listener(nullptr);
    UPDATE_SERVER::set_base(old_base);

    if (download.result.outcome != EDownloadOutcome::TOO_LARGE) {
        std::fprintf(stderr, "bench_app: the endless download ended otherwise (%s)\n",
                     qPrintable(download.result.message));
        std::exit(1);
    }
    std::printf("download peak MB endless response: %.1f\n", static_cast<double>(peak - start) / 1048576.0);
}
