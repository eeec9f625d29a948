#include "core/online/my_http.h"

#include "support/thread_wake.h"

#include "support/task.h"

#include <QBuffer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <mutex>

namespace {

// Bytes taken from the reply at a time; also what Qt may buffer ahead of the reader.
constexpr qint64 kChunkBytes = 64 * 1024;
constexpr qint64 kReadBufferBytes = 4 * kChunkBytes;

int port_of(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

// The object a cancel from another thread posts its wake to, cleared before it dies:
// CTask::cancel() calls the wakes outside its lock, possibly just as the download ends.
struct SWakeTarget {
    std::mutex mutex;
    CThreadWake* target = nullptr;
};

// One download: the requests of its redirects, its timers and the running count of bytes.
// Lives in, and is driven by the event loop of, the calling thread.
class CTransfer : public QObject {
public:
    CTransfer(const SDownloadLimits& limits, CTask* task, QIODevice& sink)
        : m_limits(limits), m_task(task), m_sink(sink)
    {
    }

    SDownloadResult run(const QUrl& url)
    {
        CThreadWake cancelled([this] { end(EDownloadOutcome::CANCELLED); });
        auto wake_target = std::make_shared<SWakeTarget>();
        wake_target->target = &cancelled;
        CTask::CCancelWake wake(m_task, [wake_target] {
            std::lock_guard<std::mutex> lock(wake_target->mutex);
            if (wake_target->target)
                wake_target->target->wake();
        });
        m_origin = url;
        m_deadline.setSingleShot(true);
        m_silence.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] { end(EDownloadOutcome::DEADLINE); });
        connect(&m_silence, &QTimer::timeout, this, [this] { end(EDownloadOutcome::SILENCE); });
        if (task_cancelled(m_task)) {
            end(EDownloadOutcome::CANCELLED);
        } else {
            m_deadline.start(m_limits.deadline_ms);
            request(url);
            m_loop.exec();
        }
        std::lock_guard<std::mutex> lock(wake_target->mutex);
        wake_target->target = nullptr;
        return m_result;
    }

private:
    void request(const QUrl& url)
    {
        m_url = url;
        m_status_seen = false;
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        task_begin_transfer(m_task);
        m_reply = m_manager.get(request);
        m_reply->setReadBufferSize(kReadBufferBytes);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { check_status(); });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] { take_body(); });
        connect(m_reply, &QNetworkReply::finished, this, [this, reply = m_reply] { finish(reply); });
        m_silence.start(m_limits.silence_ms);
    }

    // Decides on the status once it is known: a redirect starts the next request, any
    // other status than 2xx ends the download, and an announced length above the limit
    // ends it before its first byte.
    void check_status()
    {
        m_silence.start(m_limits.silence_ms);
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (m_status_seen || !status.isValid())
            return;
        m_status_seen = true;
        const int code = status.toInt();
        if (code >= 300 && code < 400) {
            // The raw header: Qt's parsed one drops relative addresses.
            follow(QUrl::fromEncoded(m_reply->rawHeader("Location").trimmed(), QUrl::StrictMode));
            return;
        }
        if (code < 200 || code >= 300) {
            const QString reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            end(EDownloadOutcome::HTTP_ERROR, QStringLiteral("%1 %2").arg(code).arg(reason).trimmed());
            return;
        }
        bool known = false;
        const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        m_announced = known ? length : -1;
        if (m_announced > m_limits.max_bytes) {
            end(EDownloadOutcome::TOO_LARGE);
            return;
        }
        if (m_task && m_announced >= 0)
            m_task->set_bytes_total(static_cast<uint64_t>(m_announced));
    }

    void follow(const QUrl& location)
    {
        if (!location.isValid() || location.isEmpty()) {
            end(EDownloadOutcome::REDIRECT_WITHOUT_ADDRESS);
            return;
        }
        const QUrl next = m_url.resolved(location);
        if (next.scheme() != m_origin.scheme() || next.host() != m_origin.host() ||
            port_of(next) != port_of(m_origin)) {
            end(EDownloadOutcome::REDIRECT_ELSEWHERE);
            return;
        }
        if (++m_redirects > kMaxRedirects) {
            end(EDownloadOutcome::TOO_MANY_REDIRECTS);
            return;
        }
        drop_reply();
        request(next);
    }

    void take_body()
    {
        check_status();
        if (m_ended || m_reply == nullptr)
            return;
        char chunk[kChunkBytes];
        for (;;) {
            const qint64 count = m_reply->read(chunk, kChunkBytes);
            if (count <= 0)
                break;
            m_received += count;
            if (m_received > m_limits.max_bytes) {
                end(EDownloadOutcome::TOO_LARGE);
                return;
            }
            if (m_sink.write(chunk, count) != count) {
                end(EDownloadOutcome::STORE_FAILED, m_sink.errorString());
                return;
            }
            task_bytes(m_task, static_cast<uint64_t>(count));
        }
        if (task_cancelled(m_task))
            end(EDownloadOutcome::CANCELLED);
    }

    void finish(QNetworkReply* reply)
    {
        take_body();
        // Ended, or a redirect has just started the next request.
        if (m_ended || m_reply != reply)
            return;
        if (m_reply->error() != QNetworkReply::NoError) {
            end(EDownloadOutcome::NETWORK_ERROR, m_reply->errorString());
            return;
        }
        if (!m_status_seen) {
            end(EDownloadOutcome::NETWORK_ERROR, QStringLiteral("no HTTP answer"));
            return;
        }
        if (m_announced >= 0 && m_received != m_announced) {
            end(EDownloadOutcome::NETWORK_ERROR, QStringLiteral("the connection closed after %1 of %2 bytes")
                                                     .arg(m_received)
                                                     .arg(m_announced));
            return;
        }
        end(EDownloadOutcome::OK);
    }

    void end(EDownloadOutcome outcome, const QString& detail = QString())
    {
        if (m_ended)
            return;
        m_ended = true;
        m_result = download_result(outcome, m_limits, detail);
        m_deadline.stop();
        m_silence.stop();
        drop_reply();
        m_loop.quit();
    }

    // Stops listening to the current reply before aborting it: an abort finishes it at once.
    void drop_reply()
    {
        if (!m_reply)
            return;
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply = nullptr;
    }

    const SDownloadLimits m_limits;
    CTask* const m_task;
    QIODevice& m_sink;
    // The loop before the timers: it gives a worker thread its event dispatcher.
    QEventLoop m_loop;
    // Owns the replies; gone with the transfer, so none outlives the calling thread's run.
    QNetworkAccessManager m_manager;
    QTimer m_deadline;
    QTimer m_silence;
    QNetworkReply* m_reply = nullptr;
    QUrl m_origin;
    QUrl m_url;
    int m_redirects = 0;
    bool m_status_seen = false;
    qint64 m_announced = -1;
    qint64 m_received = 0;
    bool m_ended = false;
    SDownloadResult m_result;
};

}  // namespace

CMyHttp::CMyHttp(const SDownloadLimits& limits, CTask* task) : m_limits(limits), m_task(task) {}

SDownloadResult CMyHttp::download_file(const QString& url, QByteArray& data)
{
    data.clear();
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    SDownloadResult result = download_file(url, buffer);
    buffer.close();
    if (!result.ok())
        data.clear();
    return result;
}

SDownloadResult CMyHttp::download_file(const QString& url, QIODevice& sink)
{
    const QUrl address(url, QUrl::TolerantMode);
    // A path alone: the update server's address in front of it was empty.
    if (address.scheme().isEmpty())
        return download_result(EDownloadOutcome::NO_SERVER, m_limits);
    CTransfer transfer(m_limits, m_task, sink);
    return transfer.run(address);
}
