#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests, the QML tests and the
// demo feed. Routes map a path (without the query) to a canned response; every request received
// is recorded so that tests can assert what a client sent. Unknown paths answer 404.
class TestHttpServer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString url READ url CONSTANT)

public:
    struct Request {
        QByteArray method;
        QByteArray target; // path and query, as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;

        QByteArray path() const;
        QByteArray queryItem(const QByteArray &name) const;
    };

    struct Response {
        enum class Delivery {
            Complete, // the whole body
            CloseMidBody, // half of the announced body, then the connection is closed
            NeverComplete, // the head only; the connection stays open and silent
            Unsized, // no Content-Length: the body ends when the connection closes
        };

        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        Delivery delivery = Delivery::Complete;

        static Response ok(const QByteArray &body, const QByteArray &contentType);
        static Response withStatus(int code);
        static Response redirect(const QByteArray &location, int code = 302);
    };

    using Handler = std::function<Response(const Request &)>;

    explicit TestHttpServer(QObject *parent = nullptr);

    bool listen();
    QString url() const;

    void route(const QByteArray &path, Handler handler);

    // The body a plain client receives for a target (path and query), redirects followed, for
    // comparing with what a client under test made of it. The request is recorded like any other.
    QByteArray fetch(const QString &target);

    QList<Request> requests() const;
    Q_INVOKABLE QStringList requestedTargets() const;
    Q_INVOKABLE void clearRequests();

    // Unreachable: every connection is dropped and new ones are refused, until made reachable
    // again on the same port (so that the same addresses work again).
    Q_INVOKABLE bool setReachable(bool reachable);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Request &request);

    QHash<QByteArray, Handler> routes;
    QHash<QTcpSocket *, QByteArray> pending;
    QList<Request> received;
    quint16 port = 0;
    // Last, so it goes first: its sockets report their disconnection while the rest still exists.
    QTcpServer server;
};
