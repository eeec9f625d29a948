#include "http_test_server.h"

#include "app/update_server.h"

#include <QTcpSocket>
#include <stdexcept>

namespace {

// No test of this program may reach a real server: until a test serves its own files,
// the update server is a local port that nobody listens on (port 9, discard), so every
// request fails at once.
[[maybe_unused]] const bool kOffline = (UPDATE_SERVER::set_base(QStringLiteral("http://127.0.0.1:9")), true);

}  // namespace

CHttpTestServer::CHttpTestServer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the test's HTTP server cannot listen on 127.0.0.1");
    connect(&m_server, &QTcpServer::newConnection, this, &CHttpTestServer::accept_connections);
}

QString CHttpTestServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void CHttpTestServer::serve(const QString& path, const QByteArray& body)
{
    m_files.insert(path, body);
}

void CHttpTestServer::accept_connections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
    }
}

void CHttpTestServer::answer(QTcpSocket* socket)
{
    // The program's GETs carry no body: the request is whole at its blank line.
    const QByteArray received = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", received);
    if (!received.contains("\r\n\r\n"))
        return;
    const QList<QByteArray> words = received.left(received.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    m_requests << path;
    if (on_request)
        on_request(path);
    const bool found = words.value(0) == "GET" && m_files.contains(path);
    const QByteArray body = found ? m_files.value(path) : QByteArray("not here");
    QByteArray reply = found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
    reply += "Content-Type: application/octet-stream\r\nConnection: close\r\nContent-Length: " +
             QByteArray::number(body.size()) + "\r\n\r\n" + body;
    socket->write(reply);
    socket->disconnectFromHost();
}
