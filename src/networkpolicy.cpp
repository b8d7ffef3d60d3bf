#include "networkpolicy.h"

#include <QDateTime>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {
const char *const maxBodySizeProperty = "maxBodySize";
const char *const bodyTooLargeProperty = "bodyTooLarge";
// Far beyond any real rate-limit window; keeps the arithmetic clear of overflow.
const double longestDelaySeconds = 24 * 60 * 60;

qint64 secondsDelay(const QByteArray &value)
{
    bool ok = false;
    const double seconds = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        return -1;
    return qint64(std::ceil(std::min(seconds, longestDelaySeconds) * 1000));
}

qint64 dateDelay(const QByteArray &value, const QDateTime &now)
{
    // The preferred form and the two obsolete ones HTTP still allows. The weekday adds nothing, and
    // Qt refuses a date whose weekday it would compute differently (two-digit years), so it goes.
    const QString text = QString::fromLatin1(value).simplified();
    const int comma = text.indexOf(QLatin1Char(','));
    const QString date = comma >= 0 ? text.mid(comma + 1).trimmed() : text.section(QLatin1Char(' '), 1);
    const auto formats = comma >= 0
        ? QStringList { QStringLiteral("dd MMM yyyy HH:mm:ss 'GMT'"), QStringLiteral("dd-MMM-yy HH:mm:ss 'GMT'") }
        : QStringList { QStringLiteral("MMM d HH:mm:ss yyyy") };
    for (const QString &format : formats) {
        QDateTime parsed = QLocale::c().toDateTime(date, format);
        if (parsed.isValid()) {
            parsed.setTimeSpec(Qt::UTC);
            // Two-digit years count from 1900 in Qt and name this century in HTTP.
            if (parsed.date().year() < 1970)
                parsed = parsed.addYears(100);
            return std::max<qint64>(0, std::min<qint64>(now.msecsTo(parsed), qint64(longestDelaySeconds * 1000)));
        }
    }
    return -1;
}
} // namespace

void NetworkPolicy::apply(QNetworkAccessManager &manager, int transferTimeoutMs)
{
    // Qt 5.15 does not follow redirects by default; image hosts use them all the time.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    manager.setTransferTimeout(transferTimeoutMs);
}

bool NetworkPolicy::isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"))
        && !url.host().isEmpty();
}

QUrl NetworkPolicy::refusedAddress()
{
    return QUrl(QStringLiteral("refused:"));
}

void NetworkPolicy::limitBodySize(QNetworkReply *reply, qint64 maxBytes)
{
    reply->setProperty(maxBodySizeProperty, maxBytes);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64 total) {
        if (received > maxBytes || total > maxBytes) {
            reply->setProperty(bodyTooLargeProperty, true);
            reply->abort();
        }
    });
}

bool NetworkPolicy::succeeded(const QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return false;
    const QVariant maxBytes = reply->property(maxBodySizeProperty);
    return !maxBytes.isValid() || reply->bytesAvailable() <= maxBytes.toLongLong();
}

bool NetworkPolicy::unreachable(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    case QNetworkReply::OperationCanceledError:
        // A stall ends in an abort by the transfer timeout; a body over the limit in one of ours.
        return !reply->property(bodyTooLargeProperty).toBool();
    default:
        return reply->error() >= QNetworkReply::ProxyConnectionRefusedError
            && reply->error() <= QNetworkReply::UnknownProxyError;
    }
}

qint64 NetworkPolicy::retryDelay(const QByteArray &retryAfter, const QByteArray &ratelimitReset, const QDateTime &now)
{
    if (!retryAfter.trimmed().isEmpty()) {
        const qint64 seconds = secondsDelay(retryAfter);
        const qint64 delay = seconds >= 0 ? seconds : dateDelay(retryAfter, now);
        if (delay >= 0)
            return delay;
    }
    return ratelimitReset.trimmed().isEmpty() ? -1 : secondsDelay(ratelimitReset);
}

qint64 NetworkPolicy::retryDelay(const QNetworkReply *reply)
{
    return retryDelay(
        reply->rawHeader("Retry-After"), reply->rawHeader("X-Ratelimit-Reset"), QDateTime::currentDateTimeUtc());
}
