#include "http_test_server.h"

#include "core/online/update_server.h"

#include <QTcpSocket>
#include <QTimer>
#include <stdexcept>

namespace {

// No test of this program may reach a real server: until a test serves its own files,
// the update server is a local port that nobody listens on (port 9, discard), so every
// request fails at once.
[[maybe_unused]] const bool kOffline = (UPDATE_SERVER::set_base(QStringLiteral("http://127.0.0.1:9")), true);

// An endless body goes out in pieces of this size, the next one only once the socket
// holds less than kQueuedBytes: the server's own memory stays small.
constexpr int kPieceBytes = 64 * 1024;
constexpr qint64 kQueuedBytes = 4 * kPieceBytes;
// What a trickle announces: far more than it will ever send.
constexpr qint64 kTrickleLength = 1 << 20;

QByteArray reason(int status)
{
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 307:
            return "Temporary Redirect";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

}  // namespace

SHttpReply SHttpReply::endless(qint64 announced)
{
    SHttpReply reply;
    reply.kind = EBody::ENDLESS;
    reply.content_length = announced;
    return reply;
}

SHttpReply SHttpReply::trickle(int interval_ms)
{
    SHttpReply reply;
    reply.kind = EBody::TRICKLE;
    reply.content_length = kTrickleLength;
    reply.interval_ms = interval_ms;
    return reply;
}

SHttpReply SHttpReply::silent()
{
    SHttpReply reply;
    reply.kind = EBody::SILENT;
    return reply;
}

SHttpReply SHttpReply::redirect(int status, const QByteArray& location)
{
    SHttpReply reply;
    reply.status = status;
    reply.location = location;
    reply.body = "moved";
    return reply;
}

SHttpReply SHttpReply::announcing(qint64 announced, const QByteArray& body)
{
    SHttpReply reply;
    reply.body = body;
    reply.content_length = announced;
    return reply;
}

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
    SHttpReply reply;
    reply.body = body;
    serve(path, reply);
}

void CHttpTestServer::serve(const QString& path, const SHttpReply& reply)
{
    m_replies.insert(path, reply);
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
    if (!received.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> words = received.left(received.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    m_requests << path;
    if (on_request)
        on_request(path);
    SHttpReply reply = SHttpReply::announcing(-1, "not here");
    reply.status = 404;
    if (words.value(0) == "GET" && m_replies.contains(path))
        reply = m_replies.value(path);
    if (reply.kind == SHttpReply::EBody::SILENT)
        return;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    head += "Content-Type: application/octet-stream\r\nConnection: close\r\n";
    qint64 length = reply.content_length;
    if (length < 0 && reply.kind == SHttpReply::EBody::WHOLE)
        length = reply.body.size();
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (!reply.location.isEmpty())
        head += "Location: " + reply.location + "\r\n";
    socket->write(head + "\r\n");
    send_body(socket, reply);
}

void CHttpTestServer::send_body(QTcpSocket* socket, const SHttpReply& reply)
{
    switch (reply.kind) {
        case SHttpReply::EBody::WHOLE:
            socket->write(reply.body);
            socket->disconnectFromHost();
            return;
        case SHttpReply::EBody::ENDLESS:
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { keep_filling(socket); });
            keep_filling(socket);
            return;
        case SHttpReply::EBody::TRICKLE: {
            auto* timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            timer->start(reply.interval_ms);
            return;
        }
        case SHttpReply::EBody::SILENT:
            return;
    }
}

void CHttpTestServer::keep_filling(QTcpSocket* socket)
{
    static const QByteArray piece(kPieceBytes, 'x');
    while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < kQueuedBytes)
        socket->write(piece);
}
