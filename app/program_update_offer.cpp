#include "app/program_update_offer.h"

#include "app/desktop.h"
#include "app/user_prompt.h"
#include "core/online/update_server.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

// How often a question waiting for the window to become idle looks again.
constexpr int kIdleRetryMs = 500;

}  // namespace

CProgramUpdateOffer::CProgramUpdateOffer(std::function<bool()> idle, QObject* parent)
    : QObject(parent), m_idle(std::move(idle))
{
    // No address: the demo mode contacts no server unless it is given one.
    if (UPDATE_SERVER::base().isEmpty())
        return;
    m_network = new QNetworkAccessManager(this);
    connect(m_network, &QNetworkAccessManager::finished, this, &CProgramUpdateOffer::on_finished);
    QNetworkRequest request(QUrl(UPDATE_SERVER::base() + UPDATE_SERVER::EXE_INFO_PATH));
    request.setTransferTimeout(UPDATE_SERVER::TRANSFER_TIMEOUT_MS);
    QNetworkReply* reply = m_network->get(request);
    // The reply keeps the whole body until it finishes: an endless or oversized file is cut
    // off at the version file's limits, and its error then asks nothing.
    const SDownloadLimits limits = UPDATE_SERVER::kSmallFileLimits;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limits](qint64 received, qint64 total) {
        if (received > limits.max_bytes || total > limits.max_bytes)
            reply->abort();
    });
    QTimer::singleShot(limits.deadline_ms, reply, &QNetworkReply::abort);
}

void CProgramUpdateOffer::on_finished(QNetworkReply* reply)
{
    reply->deleteLater();
    float newest = 0;
    if (reply->error() != QNetworkReply::NoError ||
        !UPDATE_SERVER::read_newest_version(reply->readAll(), newest))
        return;
    if (newest > UPDATE_SERVER::own_program_version())
        offer(newest);
}

void CProgramUpdateOffer::offer(float newest)
{
    if (!m_idle()) {
        QTimer::singleShot(kIdleRetryMs, this, [this, newest] { offer(newest); });
        return;
    }
    const QString question =
        QString::asprintf("A new version(V%.2f) is available, would you like to download ?", double(newest));
    if (user_prompt().ask_yes_no(QStringLiteral("New version..."), question))
        desktop().open_url(QUrl(UPDATE_SERVER::base() + UPDATE_SERVER::PROGRAM_ARCHIVE_PATH));
}
