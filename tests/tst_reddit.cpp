#include "cannedroutes.h"
#include "networkpolicy.h"
#include "reddit.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {
enum class Outcome { Body, BodyCutAtNul, Feed, Failure };

const qint64 second = 1000;
const qint64 day = 24LL * 60 * 60 * second;
const QString grant = QStringLiteral("POST /api/v1/access_token");
// A title of page 1 of the JSON listing, of its page 2 and of the Atom feed.
const QString firstPage = QStringLiteral("First meme");
const QString secondPage = QStringLiteral("Second page meme");
const QString feedPage = QStringLiteral("Made this in Paint & I regret nothing");

void store(const QString &key, const QVariant &value)
{
    QSettings().setValue(QStringLiteral("trending/") + key, value);
}

// A request as sent() shows it.
QString json(const QString &sort, const QString &token = QString(), const QString &after = QString())
{
    return "GET /r/dankmemes/" + sort + ".json?after=" + after + "&limit=25"
        + (token.isEmpty() ? QString() : " bearer " + token);
}

QString feed(const QString &sort)
{
    return "GET /r/dankmemes/" + sort + "/.rss?after=&limit=25";
}

// A feed client and the texts it emits; the constructor has already sent the first request.
struct Client {
    Reddit reddit;
    QSignalSpy responses { &reddit, &Reddit::responseAvailable };
    QString text(int i) const { return responses.at(i).at(0).toString(); }
};
} // namespace
Q_DECLARE_METATYPE(Outcome)

// The feed client against the loopback server's canned listings, tokens and feeds.
class TestReddit : public QObject {
    Q_OBJECT

    // Each request as "METHOD target", with " bearer <token>" when it carried one.
    QStringList sent() const
    {
        QStringList lines;
        for (const TestHttpServer::Request &request : server->requests()) {
            QString line = QString::fromUtf8(request.method + ' ' + request.target);
            const QByteArray authorization = request.headers.value("authorization");
            if (authorization.startsWith("bearer "))
                line += QLatin1Char(' ') + QString::fromUtf8(authorization);
            lines.append(line);
        }
        return lines;
    }

    std::unique_ptr<TestHttpServer> server;

private slots:
    void initTestCase() { Startup::setIdentity(*QCoreApplication::instance()); }

    // A server of its own for each test, so that tokens are numbered from 1 again.
    void init()
    {
        QSettings().clear();
        Reddit::forgetSharedState();
        server.reset(new TestHttpServer);
        QVERIFY(server->listen());
        installCannedRoutes(*server);
        store(QStringLiteral("origin"), server->url());
    }

    void cleanup()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        server.reset();
    }

    // One load from a new client: the requests it sends and what the trending page then shows.
    void scenarios_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("sort"); // empty: none stored
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("shows"); // empty: the empty text of a failure
        const auto add = [](const char *name, const char *clientId, const char *sort, const QStringList &requests,
                             const QString &shows) {
            QTest::newRow(name) << QString(clientId) << QString(sort) << requests << shows;
        };
        // The JSON listing refused, so the board's Atom feed is asked for instead.
        const QStringList refused { json("guarded"), feed("guarded") };
        add("anonymousJson", "", "", { json("hot") }, firstPage);
        add("anonymousRefusedTakesFeed", "", "guarded", refused, feedPage);
        add("authorizedIdTrimmed", " good-client ", "guarded", { grant, json("guarded", "token-1") }, firstPage);
        add("tokenNotHeaderSafe", "unsafe-token", "guarded", QStringList { grant } + refused, feedPage);
        add("clientIdRefused", "nobody", "guarded", QStringList { grant } + refused, feedPage);
        add("unauthorizedRenewedOnce", "good-client", "unauthorized",
            { grant, json("unauthorized", "token-1"), grant, json("unauthorized", "token-2"), feed("unauthorized") },
            "");
    }

    void scenarios()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, sort);
        QFETCH(QStringList, requests);
        QFETCH(QString, shows);
        store(QStringLiteral("clientId"), clientId);
        if (!sort.isEmpty())
            store(QStringLiteral("sort"), sort);

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.count(), 1);
        QCOMPARE(sent(), requests);
        QCOMPARE(client.text(0).isEmpty(), shows.isEmpty());
        QVERIFY(client.text(0).contains(shows));
        const TestHttpServer::Request first = server->requests().first();
        QCOMPARE(first.headers.value("user-agent"), Reddit::userAgent().toUtf8());
        // A later run must send the same device id.
        if (first.method == "POST")
            QCOMPARE(QUrlQuery(QString::fromUtf8(first.body)).queryItemValue("device_id"),
                QSettings().value("trending/deviceId").toString());
    }

    void responsesAndCursor_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<bool>("capAtSize"); // the listing cap is the body's size
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("nextAfter");
        const auto add = [](const char *name, const char *sort, bool cap, Outcome outcome, const char *nextAfter) {
            QTest::newRow(name) << QString(sort) << cap << outcome << QByteArray(nextAfter);
        };
        add("cursorCarried", "cursor", false, Outcome::Body, "t3_cursor");
        add("nullCursorClears", "hot", false, Outcome::Body, nullptr);
        add("nul", "nul", false, Outcome::BodyCutAtNul, nullptr);
        add("redirect", "redirect", false, Outcome::Body, nullptr);
        add("atCap", "cursor", true, Outcome::Body, "t3_cursor");
        add("feedCursorCarried", "guarded", false, Outcome::Feed, "t3_norm05");
        // A failure keeps the cursor of page 1, so that LOAD MORE tries that page again.
        add("feedTruncated", "truncated", false, Outcome::Failure, "t3_page2");
    }

    // From page 1 (cursor t3_page2), each row loads a page of five, then checks the text emitted and
    // the cursor that the next request carries. Settings are read afresh for every load.
    void responsesAndCursor()
    {
        QFETCH(QString, sort);
        QFETCH(bool, capAtSize);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, nextAfter);
        const QString target = "/r/dankmemes/" + sort + ".json?after=t3_page2&limit=5";
        const QByteArray raw = server->fetch(target);
        server->clearRequests();

        Client client;
        if (capAtSize)
            client.reddit.setMaxListingSize(raw.size());
        QVERIFY(client.responses.wait());
        store(QStringLiteral("sort"), sort);
        store(QStringLiteral("number"), 5);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.count(), 2);
        QCOMPARE(server->requests().at(1).target, target.toUtf8());
        const QString text = client.text(1);
        const int nul = raw.indexOf('\0');
        QCOMPARE(nul >= 0, outcome == Outcome::BodyCutAtNul);
        if (outcome == Outcome::Failure)
            QCOMPARE(text, QString());
        else if (outcome == Outcome::Feed)
            QVERIFY(text.contains(feedPage));
        else
            QCOMPARE(text, QString::fromUtf8(nul < 0 ? raw : raw.left(nul)));

        store(QStringLiteral("sort"), QStringLiteral("empty"));
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(server->requests().last().target, "/r/dankmemes/empty.json?after=" + nextAfter + "&limit=5");
    }

    void tokenLifetime_data()
    {
        QTest::addColumn<qint64>("forward");
        QTest::addColumn<QString>("secondToken");
        QTest::newRow("reusedWellBeforeExpiry") << day - 120 * second << "token-1";
        QTest::newRow("renewedShortlyBeforeExpiry") << day - 30 * second << "token-2";
    }

    void tokenLifetime()
    {
        QFETCH(qint64, forward);
        QFETCH(QString, secondToken);
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        Client client;
        QVERIFY(client.responses.wait());
        Reddit::forwardClock(forward);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QVERIFY(client.text(1).contains(secondPage));
        QCOMPARE(sent().last(), json("guarded", secondToken, "t3_page2"));
    }

    // After a 429 the origin is left alone until the time asked for (at most an hour) has passed.
    void rateLimitPause_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<qint64>("stillPaused");
        QTest::newRow("asked") << QByteArray("1") << 0ll;
        QTest::newRow("capped") << QByteArray("7200") << 59 * 60 * second;
    }

    void rateLimitPause()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(qint64, stillPaused);
        server->route("/r/dankmemes/paused.json", [retryAfter](const TestHttpServer::Request &) {
            TestHttpServer::Response response = TestHttpServer::Response::withStatus(429);
            response.headers.append(qMakePair(QByteArray("Retry-After"), retryAfter));
            return response;
        });
        store(QStringLiteral("sort"), QStringLiteral("paused"));
        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.text(0), QString());
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        server->clearRequests();

        Reddit::forwardClock(stillPaused);
        client.reddit.load();
        QCOMPARE(client.responses.count(), 1); // queued, not emitted from inside load()
        QVERIFY(client.responses.wait());
        QCOMPARE(client.text(1), QString());
        QCOMPARE(sent(), QStringList());

        Reddit::forwardClock(60 * second);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QVERIFY(client.text(2).contains(firstPage));
    }

    // Qt hands headers on to a redirect's target; a bearer token must not leave its origin.
    void credentialsStayHome()
    {
        TestHttpServer elsewhere;
        QVERIFY(elsewhere.listen());
        const QByteArray target = elsewhere.url().toUtf8() + "/r/dankmemes/guarded.json";
        server->route("/r/dankmemes/moved.json",
            [target](const TestHttpServer::Request &) { return TestHttpServer::Response::redirect(target); });
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("moved"));

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(elsewhere.requests().size(), 0);
        QCOMPARE(client.text(0), QString());
    }

    // Without an origin stored, an anonymous client goes straight to the forum's feed over TLS. A
    // loopback proxy stands in for the outside world: it sees the tunnel request and refuses it.
    void forumOverTls()
    {
        QSettings().remove(QStringLiteral("trending/origin"));
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(QUrl(server->url()).port())));
        QTest::ignoreMessage(QtDebugMsg, "\"https://www.reddit.com/r/dankmemes/hot/.rss?after=&limit=25\"");

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.text(0), QString());
        QCOMPARE(sent(), QStringList { "CONNECT www.reddit.com:443" });
    }

    void retryDelay_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<QByteArray>("ratelimitReset");
        QTest::addColumn<qint64>("delay");
        const auto add = [](const char *name, const char *retryAfter, const char *reset, qint64 delay) {
            QTest::newRow(name) << QByteArray(retryAfter) << QByteArray(reset) << delay;
        };
        add("secondsWithSpaces", " 30 ", nullptr, 30 * second);
        add("dateAhead", "Sat, 01 Aug 2026 12:00:05 GMT", nullptr, 5 * second);
        add("dateBehind", "Sat, 01 Aug 2026 11:59:00 GMT", nullptr, 0);
        add("twoDigitYear", "Saturday, 01-Aug-26 12:00:07 GMT", nullptr, 7 * second);
        add("asctimeDate", "Sat Aug  1 12:00:09 2026", nullptr, 9 * second);
        add("retryAfterFirst", "2", "50", 2 * second);
        add("resetFractional", nullptr, "0.5", 500);
        add("garbageFallsBackToReset", "soon", "3", 3 * second);
        add("huge", "1e300", nullptr, day);
        add("negative", "-5", nullptr, -1);
        add("neither", nullptr, nullptr, -1);
    }

    void retryDelay()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(QByteArray, ratelimitReset);
        QFETCH(qint64, delay);
        const QDateTime now(QDate(2026, 8, 1), QTime(12, 0), Qt::UTC);
        QCOMPARE(NetworkPolicy::retryDelay(retryAfter, ratelimitReset, now), delay);
    }

    void offlineStart_data()
    {
        QTest::addColumn<QString>("readSort");
        QTest::addColumn<QString>("offlineSort");
        QTest::addColumn<qint64>("maxSize");
        QTest::addColumn<bool>("served");
        QTest::addColumn<bool>("atom");
        QTest::newRow("jsonPage") << "real"
                                  << "real" << qint64(0) << true << false;
        QTest::newRow("atomPage") << "atom-real"
                                  << "atom-real" << qint64(0) << true << true;
        QTest::newRow("nothingCachedForThisPage") << "real"
                                                  << "hot" << qint64(0) << false << false;
        QTest::newRow("cachedPageOverSizeCap") << "real"
                                               << "real" << qint64(512) << false << false;
    }

    // Start with the server up, stop it, start again: the page last read comes from the cache,
    // within the same size cap, and says when it was read; the next start online reads the network.
    void offlineStart()
    {
        QFETCH(QString, readSort);
        QFETCH(QString, offlineSort);
        QFETCH(qint64, maxSize);
        QFETCH(bool, served);
        QFETCH(bool, atom);

        store(QStringLiteral("sort"), readSort);
        QString online;
        {
            Client first;
            QVERIFY(first.responses.wait());
            online = first.text(0);
            QVERIFY(!online.isEmpty());
            QVERIFY(!first.reddit.offline());
            QCOMPARE(first.reddit.fromAtom(), atom);
        }

        QVERIFY(server->setReachable(false));
        store(QStringLiteral("sort"), offlineSort);
        Client offline;
        if (maxSize > 0)
            offline.reddit.setMaxListingSize(maxSize);
        QSignalSpy offlineChanged(&offline.reddit, &Reddit::offlineChanged);
        QVERIFY(offline.responses.wait());
        QCOMPARE(offline.text(0), served ? online : QStringLiteral(""));
        QCOMPARE(offline.reddit.offline(), served);
        QCOMPARE(offlineChanged.count(), served ? 1 : 0);
        QCOMPARE(offline.reddit.fromAtom(), served && atom);
        if (served)
            QVERIFY(qAbs(offline.reddit.offlineReadAt().secsTo(QDateTime::currentDateTime())) < 60);

        QVERIFY(server->setReachable(true));
        Client again;
        QVERIFY(again.responses.wait());
        QVERIFY(!again.reddit.offline());
        QVERIFY(!again.text(0).isEmpty());
    }

    // A permalink becomes a page on the public host of the origin its listing came from (the
    // setting may have changed since); what does not end up as a web page gives none.
    void postPage_data()
    {
        QTest::addColumn<bool>("delivered"); // else the forum is the origin and no page came
        QTest::addColumn<QString>("permalink");
        QTest::addColumn<QString>("page"); // "{server}": the test server, origin of the page

        const QString forumPost = QStringLiteral("https://www.reddit.com/r/dankmemes/comments/k1/a/");
        QTest::newRow("on the forum") << false << "/r/dankmemes/comments/k1/a/" << forumPost;
        QTest::newRow("on the page's origin") << true << QString::fromUtf8("/r/dankmemes/comments/k1/café/")
                                              << "{server}/r/dankmemes/comments/k1/caf%C3%A9/";
        QTest::newRow("absolute, from a feed") << true << forumPost << forumPost;
        QTest::newRow("script") << true << "javascript:alert(1)"
                                << "";
        QTest::newRow("none") << false << ""
                              << "";
    }

    void postPage()
    {
        QFETCH(bool, delivered);
        QFETCH(QString, permalink);
        QFETCH(QString, page);
        Client client;
        QVERIFY(!delivered || client.responses.wait());
        store(QStringLiteral("origin"), QStringLiteral("https://www.reddit.com"));
        QCOMPARE(client.reddit.postPage(permalink), page.replace(QStringLiteral("{server}"), server->url()));
    }
};

QTEST_GUILESS_MAIN(TestReddit)

#include "tst_reddit.moc"
