#include "testhttpserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {
// Clients read the status code only.
QByteArray reasonPhrase(int status)
{
    return status == 200 ? "OK" : "Status";
}

// Splits a complete request off the front of the buffer; false while more bytes are needed.
bool takeRequest(QByteArray &buffer, TestHttpServer::Request &request)
{
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.headers.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const int bodyLength = request.headers.value("content-length").toInt();
    if (buffer.size() < headerEnd + 4 + bodyLength)
        return false;
    request.body = buffer.mid(headerEnd + 4, bodyLength);
    buffer.remove(0, headerEnd + 4 + bodyLength);
    return true;
}
} // namespace

QByteArray TestHttpServer::Request::path() const
{
    const int question = target.indexOf('?');
    return question < 0 ? target : target.left(question);
}

QByteArray TestHttpServer::Request::queryItem(const QByteArray &name) const
{
    const int question = target.indexOf('?');
    if (question < 0)
        return QByteArray();
    const QUrlQuery query(QString::fromUtf8(target.mid(question + 1)));
    return query.queryItemValue(QString::fromUtf8(name), QUrl::FullyEncoded).toUtf8();
}

TestHttpServer::Response TestHttpServer::Response::ok(const QByteArray &body, const QByteArray &contentType)
{
    return { 200, { qMakePair(QByteArray("Content-Type"), contentType) }, body, Delivery::Complete };
}

TestHttpServer::Response TestHttpServer::Response::withStatus(int code)
{
    Response response = ok(reasonPhrase(code), "text/plain");
    response.status = code;
    return response;
}

TestHttpServer::Response TestHttpServer::Response::redirect(const QByteArray &location, int code)
{
    Response response = withStatus(code);
    response.headers.append(qMakePair(QByteArray("Location"), location));
    return response;
}

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
}

bool TestHttpServer::listen()
{
    return server.listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
}

void TestHttpServer::route(const QByteArray &path, Handler handler)
{
    routes[path] = std::move(handler);
}

QByteArray TestHttpServer::fetch(const QString &target)
{
    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url() + target)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait();
    return reply->readAll();
}

QList<TestHttpServer::Request> TestHttpServer::requests() const
{
    return received;
}

QStringList TestHttpServer::requestedTargets() const
{
    QStringList targets;
    for (const Request &request : received)
        targets.append(QString::fromUtf8(request.target));
    return targets;
}

void TestHttpServer::clearRequests()
{
    received.clear();
}

bool TestHttpServer::setReachable(bool reachable)
{
    if (!reachable) {
        if (server.isListening())
            port = server.serverPort();
        server.close();
        // Accepted sockets are the server's children; a kept-alive one would still answer.
        for (QTcpSocket *socket : server.findChildren<QTcpSocket *>())
            socket->abort();
        return true;
    }
    return server.isListening() || server.listen(QHostAddress::LocalHost, port);
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void TestHttpServer::onReadyRead(QTcpSocket *socket)
{
    pending[socket].append(socket->readAll());
    Request request;
    // A response may close the connection, which drops its buffer: check before every lookup.
    while (socket->state() == QAbstractSocket::ConnectedState && takeRequest(pending[socket], request)) {
        received.append(request);
        respond(socket, request);
    }
}

void TestHttpServer::respond(QTcpSocket *socket, const Request &request)
{
    const auto handler = routes.constFind(request.path());
    const Response response = handler == routes.constEnd() ? Response::withStatus(404) : (*handler)(request);

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto &header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (response.delivery == Response::Delivery::Unsized)
        head += "Connection: close\r\n\r\n";
    else
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n";
    socket->write(head);

    switch (response.delivery) {
    case Response::Delivery::Complete:
        socket->write(response.body);
        break;
    case Response::Delivery::Unsized:
        socket->write(response.body);
        socket->disconnectFromHost(); // waits until everything written has gone out
        break;
    case Response::Delivery::CloseMidBody:
        socket->write(response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        break;
    case Response::Delivery::NeverComplete:
        // The head is out, the body never comes: the client must give up by itself.
        break;
    }
}
