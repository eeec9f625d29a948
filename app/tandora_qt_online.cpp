#include "app/desktop.h"
#include "app/tandora_qt.h"
#include "core/firmware_catalog.h"
#include "core/update_server.h"
#include "support/neat.h"
#include "support/user_prompt.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

// How often a question waiting for the window to become idle looks again.
constexpr int kIdleRetryMs = 500;

}  // namespace

void TandoraQT::init_online_update()
{
    // No address: the demo mode contacts no server unless it is given one.
    if (UPDATE_SERVER::base().isEmpty())
        return;
    m_pNetManager = new QNetworkAccessManager(this);
    connect(m_pNetManager, &QNetworkAccessManager::finished, this, &TandoraQT::OnDownloadFinished);
    QNetworkRequest request(QUrl(UPDATE_SERVER::base() + UPDATE_SERVER::EXE_INFO_PATH));
    request.setTransferTimeout(UPDATE_SERVER::TRANSFER_TIMEOUT_MS);
    QNetworkReply* reply = m_pNetManager->get(request);
    // The reply keeps the whole body until it finishes: an endless or oversized file is cut
    // off at the version file's limits, and its error then asks nothing.
    const SDownloadLimits limits = UPDATE_SERVER::kSmallFileLimits;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limits](qint64 received, qint64 total) {
        if (received > limits.max_bytes || total > limits.max_bytes)
            reply->abort();
    });
    QTimer::singleShot(limits.deadline_ms, reply, &QNetworkReply::abort);
}

void TandoraQT::OnDownloadFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    float newest = 0;
    if (reply->error() != QNetworkReply::NoError ||
        !UPDATE_SERVER::read_newest_version(reply->readAll(), newest))
        return;
    if (newest > UPDATE_SERVER::own_program_version())
        offer_new_program(newest);
}

void TandoraQT::offer_new_program(float newest)
{
    if (m_workState != WORK_IDLE) {
        QTimer::singleShot(kIdleRetryMs, this, [this, newest] { offer_new_program(newest); });
        return;
    }
    const QString question =
        QString::asprintf("A new version(V%.2f) is available, would you like to download ?", double(newest));
    if (user_prompt().ask_yes_no(QStringLiteral("New version..."), question))
        desktop().open_url(QUrl(UPDATE_SERVER::base() + UPDATE_SERVER::PROGRAM_ARCHIVE_PATH));
}

void TandoraQT::init_firmware_list()
{
    if (UPDATE_SERVER::base().isEmpty())
        return;
    const SFirmwareCatalog catalog = fetch_firmware_catalog(m_session.link().product_id(), nullptr);
    switch (catalog.result) {
        case ECatalogResult::DOWNLOAD_FAILED:
            return;
        case ECatalogResult::UNKNOWN_MODEL:
            ui.m_btnSelLocal->setCheckState(Qt::Checked);
            update_firmware_update_mode();
            return;
        case ECatalogResult::LIST_BROKEN:
            NEAT::AfxMessageBox(catalog.message);
            return;
        case ECatalogResult::OK:
            break;
    }
    // Both lists restart together: an item left in the box would install the package of
    // another index.
    m_lstFirmwareFile.clear();
    ui.m_comNewSoftware->clear();
    for (const SFirmwareEntry& entry : catalog.entries) {
        ui.m_comNewSoftware->addItem(entry.name);
        m_lstFirmwareFile.push_back(entry.server_path);
    }
    if (ui.m_comNewSoftware->count() > 0)
        ui.m_comNewSoftware->setCurrentIndex(0);
}
