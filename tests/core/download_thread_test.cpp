#include "core/online/my_http.h"
#include "download_run.h"
#include "http_test_server.h"

#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTimer>
#include <string>

namespace {

// Limits far beyond any test's run: only the cancel can end these downloads.
constexpr SDownloadLimits kLong{int64_t{1} << 40, 600000, 600000};

QByteArray counting_bytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 256);
    return bytes;
}

struct SCancelCase {
    const char* name;
    SHttpReply reply;
    // Cancel once this many body bytes have arrived; 0: as soon as the request is in.
    uint64_t after_bytes;
};

class CancelFromAnotherThread : public ::testing::TestWithParam<SCancelCase> {};

}  // namespace

TEST(WorkerDownload, BodyAndProgressArriveInTheWorker)
{
    CHttpTestServer server;
    const QByteArray body = counting_bytes(300000);
    server.serve("/package.dat", body);
    CTask task;
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kLong, server.base() + "/package.dat", data);
    EXPECT_TRUE(result.ok()) << qPrintable(result.message);
    EXPECT_EQ(data, body);
    EXPECT_EQ(task.progress().bytes_done, static_cast<uint64_t>(body.size()));
    EXPECT_EQ(task.progress().bytes_total, static_cast<uint64_t>(body.size()));
}

TEST(WorkerDownload, UnreachableServerFailsWithTheReason)
{
    CTask task;
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kLong, "http://127.0.0.1:9/x", data);
    EXPECT_EQ(result.outcome, EDownloadOutcome::NETWORK_ERROR);
    EXPECT_TRUE(result.message.startsWith("The download failed: ")) << qPrintable(result.message);
}

TEST_P(CancelFromAnotherThread, EndsTheWaitAtOnce)
{
    CHttpTestServer server;
    server.serve("/file", GetParam().reply);
    CTask task;
    const uint64_t after = GetParam().after_bytes;
    // The cancel comes from this thread, while the worker waits on the network.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!server.requests().isEmpty() && task.progress().bytes_done >= after)
            task.cancel();
    });
    watch.start(5);
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kLong, server.base() + "/file", data);
    EXPECT_EQ(result.outcome, EDownloadOutcome::CANCELLED);
    EXPECT_EQ(result.message, "The download was cancelled.");
    EXPECT_TRUE(data.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Waits, CancelFromAnotherThread,
                         ::testing::Values(SCancelCase{"SilentServer", SHttpReply::silent(), 0},
                                           SCancelCase{"Trickle", SHttpReply::trickle(10), 3},
                                           SCancelCase{"EndlessBody", SHttpReply::endless(), 1 << 20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CancelledTask, StartsNoRequest)
{
    CHttpTestServer server;
    server.serve("/file", QByteArray("body"));
    CTask task;
    task.cancel();
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kLong, server.base() + "/file", data);
    EXPECT_EQ(result.outcome, EDownloadOutcome::CANCELLED);
    QEventLoop().processEvents();
    EXPECT_TRUE(server.requests().isEmpty());
}
