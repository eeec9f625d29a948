#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// An update server inside the test: HTTP/1.1 on 127.0.0.1 at a port of the system's
// choosing. GET of a served path answers 200 with its body, anything else 404; every
// connection is closed after one answer. It runs on the event loop of the thread that
// made it, so the program's blocking downloads, which wait in nested event loops, reach
// it as they would a real server.
class CHttpTestServer : public QObject {
public:
    CHttpTestServer();

    // "http://127.0.0.1:<port>", the form of an update server's base address.
    QString base() const;
    void serve(const QString& path, const QByteArray& body);
    // Paths asked for so far, in order.
    const QStringList& requests() const { return m_requests; }

    // Called with the path of each request before it is answered.
    std::function<void(const QString&)> on_request;

private:
    void accept_connections();
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, QByteArray> m_files;
    QStringList m_requests;
};
