#include "networkpolicy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

void NetworkPolicy::apply(QNetworkAccessManager &manager, int transferTimeoutMs)
{
    // Qt 5.15 does not follow redirects by default; image hosts use them all the time.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    manager.setTransferTimeout(transferTimeoutMs);
}

void NetworkPolicy::limitBodySize(QNetworkReply *reply, qint64 maxBytes)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes)
            reply->abort();
    });
}
