#include "core/online/my_http.h"
#include "core/online/update_server.h"
#include "download_run.h"
#include "http_test_server.h"

#include <gtest/gtest.h>
#include <QTemporaryFile>
#include <string>

namespace {

constexpr int64_t MiB = 1048576;
// Short limits, so that no case waits out the real ones; each case leaves the other
// time limits wide, so that a slow (sanitizer) build still meets the one it tests.
constexpr SDownloadLimits kShortDeadline{1 * MiB, 300, 60000};
constexpr SDownloadLimits kShortSilence{1 * MiB, 60000, 200};
constexpr SDownloadLimits kWide{1 * MiB, 60000, 60000};

struct SHostileCase {
    const char* name;
    SHttpReply reply;
    SDownloadLimits limits;
    bool to_file;
    EDownloadOutcome outcome;
    const char* message;
};

SHttpReply to_other_port()
{
    return SHttpReply::redirect(302, "http://127.0.0.1:9/file");
}

class HostileServer : public ::testing::TestWithParam<SHostileCase> {
protected:
    // The reply's Location may name the server itself: "{base}" stands for its address.
    SHttpReply reply_here(SHttpReply reply) const
    {
        reply.location.replace("{base}", m_server.base().toLatin1());
        return reply;
    }
    CHttpTestServer m_server;
};

}  // namespace

TEST_P(HostileServer, FailsWithItsMessageInBoundedMemory)
{
    const SHostileCase& test = GetParam();
    m_server.serve("/file", reply_here(test.reply));
    m_server.serve("/loop", SHttpReply::redirect(307, "/loop"));
    CTask task;
    CResidentWatch memory(task);
    QByteArray data = "stale";
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    SDownloadResult result;
    ASSERT_TRUE(run_in_worker(task, [&] {
        CMyHttp http(test.limits, &task);
        const QString url = m_server.base() + "/file";
        result = test.to_file ? http.download_file(url, file) : http.download_file(url, data);
    }));
    EXPECT_EQ(result.outcome, test.outcome) << qPrintable(result.message);
    EXPECT_EQ(result.message, test.message);
    EXPECT_FALSE(result.ok());

    const uint64_t received = task.progress().bytes_done;
    EXPECT_LE(received, static_cast<uint64_t>(test.limits.max_bytes));
    if (test.to_file) {
        // The bytes went to the file as they came, not into memory first.
        EXPECT_EQ(static_cast<uint64_t>(file.size()), received);
        if (memory.measured()) {
            EXPECT_LT(memory.growth(), test.limits.max_bytes / 2) << "the body was held in memory";
        }
    } else {
        EXPECT_TRUE(data.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HostileServer,
    ::testing::Values(
        SHostileCase{"EndlessBodyInMemory", SHttpReply::endless(), kWide, false, EDownloadOutcome::TOO_LARGE,
                     "The download is larger than 1 MB and was stopped."},
        SHostileCase{"EndlessBodyToFile",
                     SHttpReply::endless(),
                     {32 * MiB, 60000, 60000},
                     true,
                     EDownloadOutcome::TOO_LARGE,
                     "The download is larger than 32 MB and was stopped."},
        SHostileCase{"HugeContentLength", SHttpReply::endless(3 * 1024 * MiB), kWide, true,
                     EDownloadOutcome::TOO_LARGE, "The download is larger than 1 MB and was stopped."},
        SHostileCase{"OneByteOverTheLimit", SHttpReply::announcing(-1, QByteArray(MiB + 1, 'z')), kWide,
                     false, EDownloadOutcome::TOO_LARGE, "The download is larger than 1 MB and was stopped."},
        SHostileCase{"Trickle", SHttpReply::trickle(20), kShortDeadline, false, EDownloadOutcome::DEADLINE,
                     "The download did not finish within 300 ms."},
        SHostileCase{"Silence", SHttpReply::silent(), kShortSilence, true, EDownloadOutcome::SILENCE,
                     "The update server sent nothing for 200 ms; the download was stopped."},
        SHostileCase{"RedirectToOtherHost", SHttpReply::redirect(302, "http://localhost:9/file"), kWide,
                     false, EDownloadOutcome::REDIRECT_ELSEWHERE,
                     "The update server redirected to another address; it was not followed."},
        SHostileCase{"RedirectToOtherPort", to_other_port(), kWide, false,
                     EDownloadOutcome::REDIRECT_ELSEWHERE,
                     "The update server redirected to another address; it was not followed."},
        SHostileCase{"RedirectToOtherScheme", SHttpReply::redirect(301, "ftp://127.0.0.1/file"), kWide, false,
                     EDownloadOutcome::REDIRECT_ELSEWHERE,
                     "The update server redirected to another address; it was not followed."},
        SHostileCase{"RedirectLoop", SHttpReply::redirect(302, "{base}/loop"), kWide, true,
                     EDownloadOutcome::TOO_MANY_REDIRECTS,
                     "The update server redirected more than 3 times; the download was stopped."},
        SHostileCase{"RedirectWithoutLocation", SHttpReply::redirect(302, ""), kWide, false,
                     EDownloadOutcome::REDIRECT_WITHOUT_ADDRESS,
                     "The update server redirected without naming an address; the download was stopped."},
        SHostileCase{"NotFound", SHttpReply::redirect(404, ""), kWide, false, EDownloadOutcome::HTTP_ERROR,
                     "The update server answered 404 Not Found."},
        SHostileCase{"ServerError", SHttpReply::redirect(500, ""), kWide, true, EDownloadOutcome::HTTP_ERROR,
                     "The update server answered 500 Internal Server Error."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadLimits, ShortBodyIsAFailure)
{
    CHttpTestServer server;
    server.serve("/file", SHttpReply::announcing(100, "ten bytes!"));
    CTask task;
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kWide, server.base() + "/file", data);
    EXPECT_EQ(result.outcome, EDownloadOutcome::NETWORK_ERROR) << qPrintable(result.message);
    EXPECT_TRUE(data.isEmpty());
}

TEST(DownloadLimits, RedirectsOnTheSameServerAreFollowedUpToThree)
{
    CHttpTestServer server;
    server.serve("/rr", SHttpReply::redirect(302, "/r0"));
    server.serve("/r0", SHttpReply::redirect(301, "/r1"));
    server.serve("/r1", SHttpReply::redirect(302, (server.base() + "/r2").toLatin1()));
    server.serve("/r2", SHttpReply::redirect(307, "r3"));
    server.serve("/r3", QByteArray("the body"));
    CTask task;
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kWide, server.base() + "/r0", data);
    EXPECT_TRUE(result.ok()) << qPrintable(result.message);
    EXPECT_EQ(data, "the body");
    EXPECT_EQ(server.requests(), QStringList({"/r0", "/r1", "/r2", "/r3"}));

    result = download_in_worker(task, kWide, server.base() + "/rr", data);
    EXPECT_EQ(result.outcome, EDownloadOutcome::TOO_MANY_REDIRECTS);
}

TEST(DownloadLimits, ABodyOfExactlyTheLimitArrivesWhole)
{
    CHttpTestServer server;
    const QByteArray body(MiB, 'b');
    server.serve("/file", body);
    CTask task;
    QByteArray data;
    SDownloadResult result = download_in_worker(task, kWide, server.base() + "/file", data);
    EXPECT_TRUE(result.ok()) << qPrintable(result.message);
    EXPECT_EQ(data, body);
    EXPECT_EQ(task.progress().bytes_done, static_cast<uint64_t>(MiB));
    EXPECT_EQ(task.progress().bytes_total, static_cast<uint64_t>(MiB));
}

namespace {

// A disk that is full from the first byte on.
class CFullDisk final : public QIODevice {
public:
    CFullDisk() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override
    {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
};

}  // namespace

TEST(DownloadLimits, AFullDiskStopsTheDownload)
{
    CHttpTestServer server;
    server.serve("/file", SHttpReply::endless());
    CTask task;
    CFullDisk disk;
    SDownloadResult result;
    ASSERT_TRUE(run_in_worker(
        task, [&] { result = CMyHttp(kWide, &task).download_file(server.base() + "/file", disk); }));
    EXPECT_EQ(result.outcome, EDownloadOutcome::STORE_FAILED);
    EXPECT_EQ(result.message, "The download could not be stored: No space left on device.");
}

TEST(DownloadLimits, TheRealLimitsAreNamedInTheirMessages)
{
    const struct {
        EDownloadOutcome outcome;
        SDownloadLimits limits;
        const char* message;
    } cases[] = {
        {EDownloadOutcome::TOO_LARGE, UPDATE_SERVER::kPackageLimits,
         "The download is larger than 256 MB and was stopped."},
        {EDownloadOutcome::TOO_LARGE, UPDATE_SERVER::kSmallFileLimits,
         "The download is larger than 4 MB and was stopped."},
        {EDownloadOutcome::DEADLINE, UPDATE_SERVER::kPackageLimits,
         "The download did not finish within 15 min."},
        {EDownloadOutcome::DEADLINE, UPDATE_SERVER::kSmallFileLimits,
         "The download did not finish within 30 s."},
        {EDownloadOutcome::SILENCE, UPDATE_SERVER::kSmallFileLimits,
         "The update server sent nothing for 20 s; the download was stopped."},
    };
    for (const auto& test : cases)
        EXPECT_EQ(download_result(test.outcome, test.limits).message, test.message);
}
