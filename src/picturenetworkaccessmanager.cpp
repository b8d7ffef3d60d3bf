#include "picturenetworkaccessmanager.h"

#include "networkpolicy.h"
#include "picturesize.h"

#include <QDebug>
#include <QNetworkReply>

#include <memory>

namespace {
void refuse(QNetworkReply *reply, const char *reason)
{
    qDebug().noquote() << "Picture refused:" << reason << reply->url().toString();
    reply->abort();
}

bool declaresLargerBody(const QNetworkReply *reply, qint64 limit)
{
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() && length.toLongLong() > limit;
}
} // namespace

QNetworkAccessManager *PictureNetworkAccessManager::Factory::create(QObject *parent)
{
    return new PictureNetworkAccessManager(parent);
}

PictureNetworkAccessManager::PictureNetworkAccessManager(QObject *parent, qint64 maxBodySize)
    : QNetworkAccessManager(parent)
    , maxBodySize(maxBodySize)
{
}

QNetworkReply *PictureNetworkAccessManager::createRequest(
    Operation operation, const QNetworkRequest &request, QIODevice *body)
{
    if (!NetworkPolicy::isWebAddress(request.url())) {
        // Qt Quick follows a picture's redirect by asking again for wherever it points, and this
        // manager would read a file:, qrc:, data: or ftp: address as readily as a web one.
        qDebug().noquote() << "Picture refused: not a web address" << request.url().toString();
        QNetworkRequest refused(request);
        refused.setUrl(NetworkPolicy::refusedAddress());
        return QNetworkAccessManager::createRequest(operation, refused, body);
    }
    QNetworkReply *reply = QNetworkAccessManager::createRequest(operation, request, body);
    if (operation == GetOperation)
        watch(reply);
    return reply;
}

// Connected before Qt Quick gets the reply, so each check runs before the reader sees the data; the
// bytes are only peeked at, the reader still gets all of them.
void PictureNetworkAccessManager::watch(QNetworkReply *reply) const
{
    // Once the header has told the size (or never will), the rest of the body is not looked at.
    auto headerSettled = std::make_shared<bool>(false);
    const qint64 limit = maxBodySize;
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit]() {
        if (declaresLargerBody(reply, limit))
            refuse(reply, "body too large");
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limit](qint64 received, qint64) {
        if (received > limit)
            refuse(reply, "body too large");
    });
    connect(reply, &QIODevice::readyRead, reply, [reply, limit, headerSettled]() {
        // Progress is reported at most every 150 ms and, without a length, only at the end; what
        // waits unread tells sooner.
        if (reply->bytesAvailable() > limit) {
            refuse(reply, "body too large");
            return;
        }
        if (*headerSettled)
            return;
        const QByteArray head = reply->peek(headerSearchSize);
        const QSize size = PictureSize::decoded(head);
        if (size.isValid()) {
            *headerSettled = true;
            if (!PictureSize::isSensible(size))
                refuse(reply, "too many pixels");
        } else if (head.size() >= headerSearchSize) {
            *headerSettled = true;
        }
    });
}
