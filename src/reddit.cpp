#include "reddit.h"

#include "networkpolicy.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>

namespace
{
const QString defaultOrigin = QStringLiteral("https://www.reddit.com");

QString bodyText(const QByteArray &body)
{
    // The text ends at a NUL byte, if the body holds one; an empty body still gives "" (not null).
    const int nul = body.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? body : body.left(nul));
    return text.isNull() ? QStringLiteral("") : text;
}

QString cursorOf(const QByteArray &body)
{
    // Anything but a string "after" (missing, null, not JSON) clears the cursor.
    return QJsonDocument::fromJson(body)
        .object()
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("after"))
        .toString();
}
} // namespace

Reddit::Reddit(QObject *parent)
    : QObject(parent)
{
    NetworkPolicy::apply(manager, NetworkPolicy::defaultTransferTimeoutMs);
    connect(&manager, &QNetworkAccessManager::finished, this, &Reddit::onReplyFinished);
    load();
}

QString Reddit::listingUrl()
{
    settings.beginGroup(QStringLiteral("trending"));
    const int number = settings.value(QStringLiteral("number"), 25).toInt();
    const QString sort = settings.value(QStringLiteral("sort"), QStringLiteral("hot")).toString();
    QString origin = settings.value(QStringLiteral("origin"), defaultOrigin).toString();
    settings.endGroup();
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin + QStringLiteral("/r/dankmemes/") + sort + QStringLiteral(".json?after=") + after
        + QStringLiteral("&limit=") + QString::number(number);
}

void Reddit::load()
{
    const QString url = listingUrl();
    qDebug() << url;
    QNetworkRequest request;
    request.setSslConfiguration(QSslConfiguration::defaultConfiguration());
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    NetworkPolicy::limitBodySize(manager.get(request), maxListingSize);
}

void Reddit::onReplyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (!NetworkPolicy::succeeded(reply)) {
        emit responseAvailable(QStringLiteral(""));
        return;
    }
    const QByteArray body = reply->readAll();
    after = cursorOf(body);
    emit responseAvailable(bodyText(body));
}

void Reddit::setTransferTimeout(int milliseconds)
{
    NetworkPolicy::apply(manager, milliseconds);
}

void Reddit::setMaxListingSize(qint64 bytes)
{
    maxListingSize = bytes;
}
