#include "networkpolicy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace
{
const char *const maxBodySizeProperty = "maxBodySize";
}

void NetworkPolicy::apply(QNetworkAccessManager &manager, int transferTimeoutMs)
{
    // Qt 5.15 does not follow redirects by default; image hosts use them all the time.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    manager.setTransferTimeout(transferTimeoutMs);
}

void NetworkPolicy::limitBodySize(QNetworkReply *reply, qint64 maxBytes)
{
    reply->setProperty(maxBodySizeProperty, maxBytes);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes)
            reply->abort();
    });
}

bool NetworkPolicy::succeeded(const QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return false;
    const QVariant maxBytes = reply->property(maxBodySizeProperty);
    return !maxBytes.isValid() || reply->bytesAvailable() <= maxBytes.toLongLong();
}
