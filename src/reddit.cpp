#include "reddit.h"

#include "atomlisting.h"
#include "networkcache.h"
#include "networkpolicy.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>
#include <memory>

#ifndef JESTCRATE_VERSION
#error "JESTCRATE_VERSION must hold the project version"
#endif

namespace {
const QString defaultOrigin = QStringLiteral("https://www.reddit.com");
const QString apiOrigin = QStringLiteral("https://oauth.reddit.com");
const QByteArray installedClientGrant = "https://oauth.reddit.com/grants/installed_client";
const QString deviceIdKey = QStringLiteral("trending/deviceId");

// A token is dropped this long before the forum says it expires, so that no request carries one
// that runs out on the way; short-lived tokens keep a tenth of their life as the margin.
const qint64 renewalMarginMs = 60LL * 1000;
const qint64 longestTokenLifeMs = 7LL * 24 * 60 * 60 * 1000;
// A 429 without a usable hint pauses for a minute; no hint may pause for more than an hour.
const qint64 defaultPauseMs = 60LL * 1000;
const qint64 longestPauseMs = 60LL * 60 * 1000;
const qint64 maxTokenResponseSize = 64LL * 1024;

struct Token {
    QString value;
    qint64 expiresAt;
};

// Process-wide, so that a refreshed trending page reuses the token and respects a pause.
QHash<QString, Token> &tokens()
{
    static QHash<QString, Token> byKey;
    return byKey;
}

QHash<QString, qint64> &pausedUntil()
{
    static QHash<QString, qint64> byOrigin;
    return byOrigin;
}

qint64 &clockOffset()
{
    static qint64 offset = 0;
    return offset;
}

// Monotonic, so that a change of the wall clock neither ends a pause nor keeps a dead token.
qint64 now()
{
    static const QElapsedTimer timer = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return timer.elapsed() + clockOffset();
}

bool isForum(const QString &origin)
{
    return origin.compare(defaultOrigin, Qt::CaseInsensitive) == 0;
}

QString withoutTrailingSlashes(QString origin)
{
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

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

QNetworkRequest forumRequest(const QString &url)
{
    qDebug() << url;
    QNetworkRequest request;
    request.setSslConfiguration(QSslConfiguration::defaultConfiguration());
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::UserAgentHeader, Reddit::userAgent());
    return request;
}

void keepCredentialsHome(QNetworkRequest &request)
{
    // Qt hands all of a request's headers on to wherever it is redirected, credentials included.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
}

// The token of a grant response, remembered under `key` while it has life left; null if none.
QString grantedToken(const QByteArray &body, const QString &key)
{
    const QJsonObject grant = QJsonDocument::fromJson(body).object();
    QString token = grant.value(QStringLiteral("access_token")).toString();
    // It goes into a header: visible ASCII only, or a hostile answer could add headers of its own.
    static const QRegularExpression headerSafe(QStringLiteral("^[\\x21-\\x7e]+$"));
    if (!headerSafe.match(token).hasMatch())
        return QString();
    // Missing or not a number reads as 0: the token serves the loads waiting for it, nothing more.
    const double seconds = grant.value(QStringLiteral("expires_in")).toDouble(0);
    const qint64 lifeMs = qint64(std::clamp(seconds * 1000, 0.0, double(longestTokenLifeMs)));
    const qint64 usableMs = lifeMs - std::min(renewalMarginMs, lifeMs / 10);
    if (usableMs > 0)
        tokens().insert(key, Token { token, now() + usableMs });
    else
        tokens().remove(key);
    return token;
}
} // namespace

QString Reddit::Page::listingPath() const
{
    return QStringLiteral("/r/dankmemes/") + sort + QStringLiteral(".json?after=") + after + QStringLiteral("&limit=")
        + QString::number(number);
}

QString Reddit::Page::feedPath() const
{
    return QStringLiteral("/r/dankmemes/") + sort + QStringLiteral("/.rss?after=") + after + QStringLiteral("&limit=")
        + QString::number(number);
}

QString Reddit::Page::tokenKey() const
{
    return endpointsFor(origin).token + QLatin1Char('\n') + clientId;
}

Reddit::Reddit(QObject *parent)
    : QObject(parent)
    , cache(new NetworkCache(
          QStringLiteral("listings"), NetworkCache::listingsMaxSize, NetworkCache::Keep::LastListings, &manager))
{
    manager.setCache(cache);
    NetworkPolicy::apply(manager, NetworkPolicy::defaultTransferTimeoutMs);
    connect(&manager, &QNetworkAccessManager::finished, this, &Reddit::onReplyFinished);
    load();
}

QString Reddit::userAgent()
{
#if defined(Q_OS_ANDROID)
    const QString platform = QStringLiteral("android");
#elif defined(Q_OS_IOS)
    const QString platform = QStringLiteral("ios");
#elif defined(Q_OS_MACOS)
    const QString platform = QStringLiteral("macos");
#elif defined(Q_OS_WIN)
    const QString platform = QStringLiteral("windows");
#elif defined(Q_OS_LINUX)
    const QString platform = QStringLiteral("linux");
#else
    const QString platform = QSysInfo::kernelType();
#endif
    return platform + QStringLiteral(":jestcrate:") + QStringLiteral(JESTCRATE_VERSION);
}

Reddit::Endpoints Reddit::endpointsFor(const QString &origin)
{
    const QString base = withoutTrailingSlashes(origin);
    if (isForum(base))
        return { apiOrigin, defaultOrigin + QStringLiteral("/api/v1/access_token"), defaultOrigin };
    return { base, base + QStringLiteral("/api/v1/access_token"), base };
}

void Reddit::forwardClock(qint64 milliseconds)
{
    clockOffset() += milliseconds;
}

void Reddit::forgetSharedState()
{
    tokens().clear();
    pausedUntil().clear();
}

Reddit::Page Reddit::currentPage()
{
    Page page;
    settings.beginGroup(QStringLiteral("trending"));
    page.number = settings.value(QStringLiteral("number"), 25).toInt();
    page.sort = settings.value(QStringLiteral("sort"), QStringLiteral("hot")).toString();
    page.clientId = settings.value(QStringLiteral("clientId")).toString().trimmed();
    settings.endGroup();
    page.origin = storedOrigin();
    page.after = after;
    return page;
}

void Reddit::load()
{
    const Page page = currentPage();
    if (!mayContact(page)) {
        // Queued, so that a receiver connected right after construction still hears of it.
        QMetaObject::invokeMethod(this, &Reddit::fail, Qt::QueuedConnection);
        return;
    }
    if (page.clientId.isEmpty())
        requestPublicListing(page);
    else
        requestAuthorizedListing(page);
}

void Reddit::requestPublicListing(const Page &page)
{
    // The forum refuses its JSON listing to anonymous clients; asking would only spend the rate limit.
    if (isForum(page.origin)) {
        requestFeed(page);
        return;
    }
    if (!mayContact(page)) {
        fail();
        return;
    }
    send(Step::PublicListing, page, forumRequest(endpointsFor(page.origin).feed + page.listingPath()));
}

void Reddit::requestAuthorizedListing(Page page)
{
    if (!mayContact(page)) {
        fail();
        return;
    }
    const QString key = page.tokenKey();
    if (page.token.isEmpty()) {
        const auto cached = tokens().constFind(key);
        if (cached != tokens().constEnd() && cached->expiresAt > now())
            page.token = cached->value;
    }
    if (!page.token.isEmpty()) {
        QNetworkRequest request = forumRequest(endpointsFor(page.origin).listing + page.listingPath());
        request.setRawHeader("Authorization", "bearer " + page.token.toUtf8());
        keepCredentialsHome(request);
        send(Step::AuthorizedListing, page, request);
        return;
    }

    // One grant at a time per client ID; loads made meanwhile wait for it.
    const bool grantInFlight = awaitingToken.contains(key);
    awaitingToken[key].append(page);
    if (grantInFlight)
        return;
    QNetworkRequest request = forumRequest(endpointsFor(page.origin).token);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    // An installed client has no secret: the password half of the basic credentials stays empty.
    request.setRawHeader("Authorization", "Basic " + (page.clientId + QLatin1Char(':')).toUtf8().toBase64());
    keepCredentialsHome(request);
    const QByteArray grant = "grant_type=" + QUrl::toPercentEncoding(QString::fromLatin1(installedClientGrant))
        + "&device_id=" + QUrl::toPercentEncoding(deviceId());
    send(Step::Token, page, request, grant);
}

void Reddit::requestFeed(const Page &page)
{
    if (!mayContact(page)) {
        fail();
        return;
    }
    send(Step::Feed, page, forumRequest(endpointsFor(page.origin).feed + page.feedPath()));
}

void Reddit::send(Step step, const Page &page, const QNetworkRequest &request, const QByteArray &postBody)
{
    QNetworkReply *reply = step == Step::Token ? manager.post(request, postBody) : manager.get(request);
    NetworkPolicy::limitBodySize(reply, step == Step::Token ? maxTokenResponseSize : maxListingSize);
    pending.insert(reply, Pending { step, page });
}

bool Reddit::mayContact(const Page &page) const
{
    const auto until = pausedUntil().constFind(page.origin);
    return until == pausedUntil().constEnd() || *until <= now();
}

void Reddit::fail()
{
    emit responseAvailable(QStringLiteral(""));
}

QString Reddit::deviceId()
{
    // The forum asks for 20 to 30 characters that identify the installation, nothing more.
    static const QRegularExpression wellFormed(QStringLiteral("^[A-Za-z0-9_-]{20,30}$"));
    QString id = settings.value(deviceIdKey).toString();
    if (!wellFormed.match(id).hasMatch()) {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        id.clear();
        for (int i = 0; i < 30; ++i)
            id += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet - 1))]);
        settings.setValue(deviceIdKey, id);
    }
    return id;
}

void Reddit::onReplyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const auto found = pending.find(reply);
    if (found == pending.end())
        return;
    const Pending job = found.value();
    pending.erase(found);

    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 429) {
        const qint64 asked = NetworkPolicy::retryDelay(reply);
        const qint64 pause = asked < 0 ? defaultPauseMs : std::min(asked, longestPauseMs);
        qint64 &until = pausedUntil()[job.page.origin];
        until = std::max(until, now() + pause);
        const int loads = job.step == Step::Token ? awaitingToken.take(job.page.tokenKey()).size() : 1;
        for (int i = 0; i < loads; ++i)
            fail();
        return;
    }

    switch (job.step) {
    case Step::Token:
        onTokenFinished(reply, job.page);
        break;
    case Step::PublicListing:
    case Step::AuthorizedListing:
        onListingFinished(reply, job.page, job.step);
        break;
    case Step::Feed:
        onFeedFinished(reply, job.page);
        break;
    }
}

void Reddit::onTokenFinished(QNetworkReply *reply, const Page &page)
{
    const QString key = page.tokenKey();
    const QList<Page> waiting = awaitingToken.take(key);
    const QString token = NetworkPolicy::succeeded(reply) ? grantedToken(reply->readAll(), key) : QString();
    for (Page next : waiting) {
        if (token.isEmpty()) {
            // A wrong client ID must not cost the user the feed: fetch it as anyone would.
            requestPublicListing(next);
        } else {
            next.token = token;
            requestAuthorizedListing(next);
        }
    }
}

void Reddit::onListingFinished(QNetworkReply *reply, const Page &page, Step step)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (step == Step::AuthorizedListing && status == 401 && !page.renewed) {
        // Revoked or expired early: renew once. Another load may have renewed it already.
        const auto cached = tokens().constFind(page.tokenKey());
        if (cached != tokens().constEnd() && cached->value == page.token)
            tokens().remove(page.tokenKey());
        Page retry = page;
        retry.token.clear();
        retry.renewed = true;
        requestAuthorizedListing(retry);
        return;
    }
    if (status == 403 || status == 401) {
        // The JSON listing is refused to this client; the board's feed still answers.
        requestFeed(page);
        return;
    }
    if (!NetworkPolicy::succeeded(reply)) {
        failOrServeCached(reply, page);
        return;
    }
    const QByteArray body = reply->readAll();
    after = cursorOf(body);
    deliveredFrom = page.origin;
    emitPage(bodyText(body), false, QDateTime());
}

void Reddit::onFeedFinished(QNetworkReply *reply, const Page &page)
{
    if (!NetworkPolicy::succeeded(reply)) {
        failOrServeCached(reply, page);
        return;
    }
    const QByteArray listing = AtomListing::toListing(reply->readAll(), page.number);
    // Not a feed is a failure like any other: the cursor stays, so LOAD MORE retries the page.
    if (listing.isEmpty()) {
        fail();
        return;
    }
    after = cursorOf(listing);
    deliveredFrom = page.origin;
    emitPage(QString::fromUtf8(listing), true, QDateTime());
}

void Reddit::emitPage(const QString &text, bool atom, const QDateTime &cachedAt)
{
    if (pageFromAtom != atom) {
        pageFromAtom = atom;
        emit fromAtomChanged();
    }
    if (readAt != cachedAt) {
        readAt = cachedAt;
        emit offlineChanged();
    }
    emit responseAvailable(text);
}

void Reddit::failOrServeCached(const QNetworkReply *reply, const Page &page)
{
    if (!NetworkPolicy::unreachable(reply) || !serveCached(page))
        fail();
}

bool Reddit::serveCached(const Page &page)
{
    // The page in whichever form was read last: JSON (with or without a token) or Atom.
    const Endpoints endpoints = endpointsFor(page.origin);
    const struct {
        QString url;
        bool atom;
    } forms[] = { { endpoints.listing + page.listingPath(), false }, { endpoints.feed + page.listingPath(), false },
        { endpoints.feed + page.feedPath(), true } };
    QUrl newest;
    bool newestIsAtom = false;
    QDateTime newestReadAt;
    for (const auto &form : forms) {
        const QUrl url(form.url, QUrl::TolerantMode);
        const QDateTime at = cache->readAt(url);
        if (at.isValid() && (!newestReadAt.isValid() || at > newestReadAt)) {
            newest = url;
            newestIsAtom = form.atom;
            newestReadAt = at;
        }
    }
    if (!newestReadAt.isValid())
        return false;
    // Read like a download: the same size cap, the same conversion, the same checks in the page.
    const std::unique_ptr<QIODevice> stored(cache->data(newest));
    if (!stored || stored->size() > maxListingSize)
        return false;
    const QByteArray body = stored->readAll();
    const QByteArray listing = newestIsAtom ? AtomListing::toListing(body, page.number) : body;
    if (listing.isEmpty())
        return false;
    after = cursorOf(listing);
    deliveredFrom = page.origin;
    emitPage(bodyText(listing), newestIsAtom, newestReadAt);
    return true;
}

QString Reddit::storedOrigin() const
{
    return withoutTrailingSlashes(settings.value(QStringLiteral("trending/origin"), defaultOrigin).toString());
}

QString Reddit::postPage(const QString &permalink) const
{
    const QString link = permalink.trimmed();
    if (link.isEmpty())
        return QString();
    const QString origin = deliveredFrom.isEmpty() ? storedOrigin() : deliveredFrom;
    const QUrl page = QUrl(endpointsFor(origin).feed + QLatin1Char('/')).resolved(QUrl(link));
    return NetworkPolicy::isWebAddress(page) ? page.toString(QUrl::FullyEncoded) : QString();
}

void Reddit::setTransferTimeout(int milliseconds)
{
    NetworkPolicy::apply(manager, milliseconds);
}

void Reddit::setMaxListingSize(qint64 bytes)
{
    maxListingSize = bytes;
}
