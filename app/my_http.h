#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// Blocking HTTP GET for the firmware list and packages. One instance for the whole
// program, created on first use and never destroyed.
class CMyHttp : public QObject {
    Q_OBJECT

public:
    static CMyHttp* get_instance();

    // GET of `url` (read in tolerant mode). Waits in a nested event loop, so the window's
    // timers, events and clicks go on meanwhile. True with the body in `data` when the
    // reply reports no error (a 4xx or 5xx status is an error); `data` is empty otherwise.
    // Redirects are not followed; a server silent for UPDATE_SERVER::TRANSFER_TIMEOUT_MS
    // fails the download.
    [[nodiscard]] bool download_file(const QString& url, QByteArray& data);

private:
    CMyHttp();
    ~CMyHttp() override;

    QNetworkAccessManager* m_pManager;
};
