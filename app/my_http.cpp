#include "app/my_http.h"

#include "app/update_server.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

CMyHttp::CMyHttp() : m_pManager(new QNetworkAccessManager) {}

CMyHttp::~CMyHttp()
{
    delete m_pManager;
}

CMyHttp* CMyHttp::get_instance()
{
    static CMyHttp* instance = new CMyHttp;
    return instance;
}

bool CMyHttp::download_file(const QString& url, QByteArray& data)
{
    data.clear();
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setTransferTimeout(UPDATE_SERVER::TRANSFER_TIMEOUT_MS);
    QNetworkReply* reply = m_pManager->get(request);
    // The loop waits for its own reply: a download started meanwhile by a handler of the
    // nested loop finishes on the manager too and must not end this wait.
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const bool ok = reply->error() == QNetworkReply::NoError;
    if (ok)
        data = reply->readAll();
    reply->deleteLater();
    return ok;
}
