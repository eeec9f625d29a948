#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// How the test server answers one path, the faults of a hostile or broken server included.
struct SHttpReply {
    enum class EBody {
        WHOLE,    // `body`, then the connection closes
        ENDLESS,  // bytes for as long as the client reads them
        TRICKLE,  // one byte every `interval_ms`, never the end
        SILENT,   // the request is read and never answered
    };
    int status = 200;
    QByteArray body;
    EBody kind = EBody::WHOLE;
    // The Content-Length sent: -1 for the body's own size with WHOLE and none otherwise.
    qint64 content_length = -1;
    // A Location header when not empty.
    QByteArray location;
    int interval_ms = 0;

    static SHttpReply endless(qint64 announced = -1);
    static SHttpReply trickle(int interval_ms);
    static SHttpReply silent();
    static SHttpReply redirect(int status, const QByteArray& location);
    // `body` sent whole under a Content-Length of `announced`.
    static SHttpReply announcing(qint64 announced, const QByteArray& body);
};

// An update server inside the test: HTTP/1.1 on 127.0.0.1 at a port of the system's
// choosing. GET of a served path answers as told, anything else 404; every connection
// is closed after one answer. It runs on the event loop of the thread that made it: a
// download in that thread, waiting in its local event loop, reaches it as it would a
// real server; a download in another thread needs that thread's loop running.
class CHttpTestServer : public QObject {
public:
    CHttpTestServer();

    // "http://127.0.0.1:<port>", the form of an update server's base address.
    QString base() const;
    void serve(const QString& path, const QByteArray& body);
    void serve(const QString& path, const SHttpReply& reply);
    // Paths asked for so far, in order.
    const QStringList& requests() const { return m_requests; }

    // Called with the path of each request before it is answered.
    std::function<void(const QString&)> on_request;

private:
    void accept_connections();
    void answer(QTcpSocket* socket);
    void send_body(QTcpSocket* socket, const SHttpReply& reply);
    void keep_filling(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, SHttpReply> m_replies;
    QStringList m_requests;
};
