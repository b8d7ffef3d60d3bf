#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSettings>
#include <QString>

class NetworkCache;
class QNetworkReply;
class QNetworkRequest;

// Feed client: fetches the forum board's listing one page at a time and hands each page to QML as
// listing JSON text, remembering the listing's "after" cursor so that each load() continues the feed.
//
// How a page is fetched:
// - With a client ID ("trending/clientId"): an app-only token from the installed-client grant, then
//   the JSON listing from the API host with that bearer token. The token lives in memory only, is
//   shared by every client in the process, and is renewed shortly before it expires or once when
//   the listing answers 401.
// - Without one, or when no token can be had: the public JSON listing, except on the forum's own
//   origin, which refuses it to anonymous clients; there the board's Atom feed is fetched directly.
// - When a JSON listing is refused (403, or 401 that a renewed token does not cure): the Atom feed,
//   origin + "/r/dankmemes/" + sort + "/.rss?after=" + cursor + "&limit=" + number, converted to
//   listing text of the same shape (see AtomListing).
// - After a 429 nothing goes to that origin until the time the answer asked for has passed; a
//   load() before then emits the empty text without a request.
// - When the forum cannot be reached at all, the page as last read (from the disk cache, whichever
//   of its JSON or Atom forms is newer) is emitted instead of the empty text, and `offline` tells
//   the page when it was read.
class Reddit : public QObject {
    Q_OBJECT
    // Whether the last page came through the Atom feed, which marks no NSFW posts.
    Q_PROPERTY(bool fromAtom READ fromAtom NOTIFY fromAtomChanged)
    // Whether the last page came from the disk cache because the forum could not be reached.
    Q_PROPERTY(bool offline READ offline NOTIFY offlineChanged)
    Q_PROPERTY(QDateTime offlineReadAt READ offlineReadAt NOTIFY offlineChanged)

public:
    explicit Reddit(QObject *parent = nullptr);

    Q_INVOKABLE void load();

    bool fromAtom() const { return pageFromAtom; }
    bool offline() const { return readAt.isValid(); }
    QDateTime offlineReadAt() const { return readAt; }

    // The page of a post, from its listing's permalink: a path is made absolute on the public host
    // of the origin the last page came from. Empty unless that gives an http(s) URL.
    Q_INVOKABLE QString postPage(const QString &permalink) const;

    // Tests shorten the stall timeout and lower the size cap instead of waiting for the real ones.
    void setTransferTimeout(int milliseconds);
    void setMaxListingSize(qint64 bytes);

    // Far beyond any real listing page; only a broken or hostile server sends more.
    static constexpr qint64 defaultMaxListingSize = 32LL * 1024 * 1024;

    // Sent with every request to the forum, in the form it asks for: "<platform>:jestcrate:<version>".
    static QString userAgent();

    // Where each service lives for a configured origin. The forum's own origin splits into its
    // API host for authenticated listings and its public host for tokens and feeds; any other
    // origin (a mirror, the demo, the tests) serves all three itself.
    struct Endpoints {
        QString listing; // origin of the authenticated JSON listing
        QString token; // URL of the token grant
        QString feed; // origin of the public listing and the Atom feed
    };
    static Endpoints endpointsFor(const QString &origin);

    // For tests: move the clock that token lifetimes and rate-limit pauses are measured on, and
    // forget the process-wide tokens and pauses.
    static void forwardClock(qint64 milliseconds);
    static void forgetSharedState();

signals:
    void responseAvailable(QString reply);
    void fromAtomChanged();
    void offlineChanged();

private:
    enum class Step { PublicListing, Token, AuthorizedListing, Feed };

    // One load() on its way through the steps above; the page is composed when load() is called.
    struct Page {
        QString origin;
        QString sort;
        QString after;
        int number = 0;
        QString clientId;
        QString token;
        bool renewed = false;

        QString listingPath() const;
        QString feedPath() const;
        QString tokenKey() const;
    };

    struct Pending {
        Step step;
        Page page;
    };

    // Not a slot: QML sees only the signal and load().
    void onReplyFinished(QNetworkReply *reply);
    void onTokenFinished(QNetworkReply *reply, const Page &page);
    void onListingFinished(QNetworkReply *reply, const Page &page, Step step);
    void onFeedFinished(QNetworkReply *reply, const Page &page);

    Page currentPage();
    void requestPublicListing(const Page &page);
    void requestAuthorizedListing(Page page);
    void requestFeed(const Page &page);
    void send(Step step, const Page &page, const QNetworkRequest &request, const QByteArray &postBody = QByteArray());
    bool mayContact(const Page &page) const;
    void fail();
    // After a failed request: the page from the cache if the forum was out of reach and one is kept.
    void failOrServeCached(const QNetworkReply *reply, const Page &page);
    bool serveCached(const Page &page);
    void emitPage(const QString &text, bool atom, const QDateTime &cachedAt);
    QString deviceId();
    // The origin setting, trailing slashes dropped (the network layer would hide two).
    QString storedOrigin() const;

    QNetworkAccessManager manager;
    QString after;
    QString deliveredFrom;
    QSettings settings;
    NetworkCache *cache; // owned by manager
    bool pageFromAtom = false;
    QDateTime readAt;
    qint64 maxListingSize = defaultMaxListingSize;
    QHash<QNetworkReply *, Pending> pending;
    // Loads waiting for a token, by token key; a key is present while its grant is in flight.
    QHash<QString, QList<Page>> awaitingToken;
};
