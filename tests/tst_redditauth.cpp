#include "cannedroutes.h"
#include "networkpolicy.h"
#include "reddit.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {
const qint64 second = 1000;
const qint64 day = 24 * 60 * 60 * second;

void store(const QString &key, const QVariant &value)
{
    QSettings().setValue(QStringLiteral("trending/") + key, value);
}

// The titles the trending page shows for a listing text: image posts that are not pinned.
QStringList shownTitles(const QString &text)
{
    QStringList titles;
    const QJsonArray children
        = QJsonDocument::fromJson(text.toUtf8()).object().value("data").toObject().value("children").toArray();
    for (const QJsonValue &child : children) {
        const QJsonObject post = child.toObject().value("data").toObject();
        if (!post.value("stickied").toBool() && post.value("post_hint").toString() == QLatin1String("image"))
            titles.append(post.value("title").toString());
    }
    return titles;
}

QStringList capturedMessages;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedMessages.append(message);
}
} // namespace

class TestRedditAuth : public QObject {
    Q_OBJECT

private:
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

    int grantsSent() const { return sent().filter(QStringLiteral("POST /api/v1/access_token")).size(); }

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

    void endpoints_data()
    {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("feed");
        const QString forum = QStringLiteral("https://www.reddit.com");
        const QString grant = QStringLiteral("https://www.reddit.com/api/v1/access_token");
        QTest::newRow("forum") << forum << "https://oauth.reddit.com" << grant << forum;
        QTest::newRow("forumTrailingSlash") << forum + "/"
                                            << "https://oauth.reddit.com" << grant << forum;
        QTest::newRow("mirror") << "https://mirror.example//"
                                << "https://mirror.example"
                                << "https://mirror.example/api/v1/access_token"
                                << "https://mirror.example";
        QTest::newRow("loopback") << "http://127.0.0.1:8080"
                                  << "http://127.0.0.1:8080"
                                  << "http://127.0.0.1:8080/api/v1/access_token"
                                  << "http://127.0.0.1:8080";
    }

    void endpoints()
    {
        QFETCH(QString, origin);
        QFETCH(QString, listing);
        QFETCH(QString, token);
        QFETCH(QString, feed);
        const Reddit::Endpoints endpoints = Reddit::endpointsFor(origin);
        QCOMPARE(endpoints.listing, listing);
        QCOMPARE(endpoints.token, token);
        QCOMPARE(endpoints.feed, feed);
    }

    void userAgent()
    {
        QVERIFY(QRegularExpression(QStringLiteral("^linux:jestcrate:\\d+\\.\\d+\\.\\d+$"))
                    .match(Reddit::userAgent())
                    .hasMatch());
    }

    // One load from a new client: the requests it sends and what the trending page then shows.
    void scenarios_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QStringList>("titles");

        const QString grant = QStringLiteral("POST /api/v1/access_token");
        const auto json = [](const QString &sort, const QString &token = QString()) {
            return "GET /r/dankmemes/" + sort + ".json?after=&limit=25" + (token.isEmpty() ? "" : " bearer " + token);
        };
        const auto feed = [](const QString &sort) { return "GET /r/dankmemes/" + sort + "/.rss?after=&limit=25"; };
        const QStringList hotTitles { "First meme", "Second meme" };
        const QStringList atomTitles { "Atom meme one", "Atom meme two" };

        QTest::newRow("anonymousJson") << ""
                                       << "hot" << QStringList { json("hot") } << false << hotTitles;
        QTest::newRow("anonymousRefusedTakesFeed")
            << ""
            << "guarded" << QStringList { json("guarded"), feed("guarded") } << false << atomTitles;
        QTest::newRow("authorized") << "good-client"
                                    << "guarded" << QStringList { grant, json("guarded", "token-1") } << false
                                    << hotTitles;
        QTest::newRow("authorizedRefusedTakesFeed")
            << "good-client"
            << "atom-normal" << QStringList { grant, json("atom-normal", "token-1"), feed("atom-normal") } << false
            << QStringList { "Made this in Paint & I regret nothing", "When the code works on the first try",
                   "Shouting picture" };
        QTest::newRow("zeroExpiryUsedOnce")
            << "zero-expiry"
            << "guarded" << QStringList { grant, json("guarded", "token-1") } << false << hotTitles;
        QTest::newRow("missingExpiryUsedOnce")
            << "no-expiry"
            << "guarded" << QStringList { grant, json("guarded", "token-1") } << false << hotTitles;
        QTest::newRow("grantNotJson") << "not-json"
                                      << "guarded" << QStringList { grant, json("guarded"), feed("guarded") } << false
                                      << atomTitles;
        QTest::newRow("grantWithoutToken")
            << "no-token"
            << "guarded" << QStringList { grant, json("guarded"), feed("guarded") } << false << atomTitles;
        QTest::newRow("clientIdRefused") << "nobody"
                                         << "guarded" << QStringList { grant, json("guarded"), feed("guarded") }
                                         << false << atomTitles;
        QTest::newRow("unauthorizedTwice") << "good-client"
                                           << "unauthorized"
                                           << QStringList { grant, json("unauthorized", "token-1"), grant,
                                                  json("unauthorized", "token-2"), feed("unauthorized") }
                                           << true << QStringList();
        QTest::newRow("grantRateLimited") << "limited"
                                          << "guarded" << QStringList { grant } << true << QStringList();
        QTest::newRow("listingRateLimited")
            << "good-client"
            << "limited" << QStringList { grant, json("limited", "token-1") } << true << QStringList();
        QTest::newRow("feedEmpty") << ""
                                   << "atom-empty" << QStringList { json("atom-empty"), feed("atom-empty") } << false
                                   << QStringList();
        QTest::newRow("feedTruncated") << ""
                                       << "atom-truncated"
                                       << QStringList { json("atom-truncated"), feed("atom-truncated") } << true
                                       << QStringList();
        QTest::newRow("feedNotXml") << ""
                                    << "atom-notxml" << QStringList { json("atom-notxml"), feed("atom-notxml") } << true
                                    << QStringList();
        QTest::newRow("feedOtherNamespace")
            << ""
            << "atom-othernamespace" << QStringList { json("atom-othernamespace"), feed("atom-othernamespace") } << true
            << QStringList();
        QTest::newRow("feedIncomplete") << ""
                                        << "atom-incomplete"
                                        << QStringList { json("atom-incomplete"), feed("atom-incomplete") } << false
                                        << QStringList { "", "No id, still a picture" };
        QTest::newRow("feedHtmlTitles") << ""
                                        << "atom-htmltitles"
                                        << QStringList { json("atom-htmltitles"), feed("atom-htmltitles") } << false
                                        << QStringList { "Bold claim & a link", "<script>alert(1)</script> stays text",
                                               QString::fromUtf8("It's \U0001F602 o'clock, \"really\""),
                                               "Italic & in CDATA", "Inline XHTML title",
                                               QString::fromUtf8("Tom & Jerry &bogus; & friends \uFFFD \uFFFD"),
                                               "Spread over lines" };
        QStringList generated;
        for (int i = 1; i <= 10000; ++i)
            generated.append(QStringLiteral("Generated meme %1").arg(i));
        QTest::newRow("feedTenThousand") << ""
                                         << "atom-thousands"
                                         << QStringList { json("atom-thousands"), feed("atom-thousands") } << false
                                         << generated;
    }

    void scenarios()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, sort);
        QFETCH(QStringList, requests);
        QFETCH(bool, failed);
        QFETCH(QStringList, titles);
        store(QStringLiteral("clientId"), clientId);
        store(QStringLiteral("sort"), sort);

        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.isValid());
        QVERIFY(responses.wait());
        QCOMPARE(responses.count(), 1);
        QCOMPARE(sent(), requests);
        const QString text = responses.takeFirst().at(0).toString();
        QCOMPARE(text.isEmpty(), failed);
        QVERIFY(!text.isNull());
        QCOMPARE(shownTitles(text), titles);
        for (const TestHttpServer::Request &request : server->requests())
            QCOMPARE(request.headers.value("user-agent"), Reddit::userAgent().toUtf8());
    }

    void grantRequest_data()
    {
        QTest::addColumn<QVariant>("storedDeviceId");
        QTest::addColumn<bool>("kept");
        QTest::newRow("noneStored") << QVariant() << false;
        QTest::newRow("storedKept") << QVariant("abcdefghij0123456789xyz") << true;
        QTest::newRow("optedOutKept") << QVariant("DO_NOT_TRACK_THIS_DEVICE") << true;
        QTest::newRow("tooShortReplaced") << QVariant("short") << false;
        QTest::newRow("spacesReplaced") << QVariant("has spaces and is long enough") << false;
    }

    void grantRequest()
    {
        QFETCH(QVariant, storedDeviceId);
        QFETCH(bool, kept);
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        if (storedDeviceId.isValid())
            store(QStringLiteral("deviceId"), storedDeviceId);

        QStringList deviceIds;
        for (int round = 0; round < 2; ++round) {
            Reddit::forgetSharedState();
            server->clearRequests();
            Reddit reddit;
            QSignalSpy responses(&reddit, &Reddit::responseAvailable);
            QVERIFY(responses.wait());
            QVERIFY(!responses.first().at(0).toString().isEmpty());

            const TestHttpServer::Request request = server->requests().first();
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(request.target, QByteArray("/api/v1/access_token"));
            QCOMPARE(request.headers.value("authorization"), "Basic " + QByteArray("good-client:").toBase64());
            QCOMPARE(request.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
            QCOMPARE(request.headers.value("user-agent"), Reddit::userAgent().toUtf8());
            const QUrlQuery form(QString::fromUtf8(request.body));
            QCOMPARE(form.queryItems().size(), 2);
            QCOMPARE(form.queryItemValue("grant_type", QUrl::FullyDecoded),
                QStringLiteral("https://oauth.reddit.com/grants/installed_client"));
            QVERIFY(request.body.startsWith("grant_type=https%3A%2F%2Foauth.reddit.com%2Fgrants%2Finstalled_client&"));
            deviceIds.append(form.queryItemValue("device_id", QUrl::FullyDecoded));
        }
        QCOMPARE(deviceIds.at(1), deviceIds.at(0));
        QCOMPARE(QSettings().value("trending/deviceId").toString(), deviceIds.at(0));
        if (kept)
            QCOMPARE(deviceIds.at(0), storedDeviceId.toString());
        else
            QVERIFY(QRegularExpression("^[a-z0-9]{30}$").match(deviceIds.at(0)).hasMatch());
    }

    void tokenLifetime_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<qint64>("forward");
        QTest::addColumn<QString>("secondToken");
        QTest::newRow("reusedAtOnce") << "good-client" << 0ll << "token-1";
        QTest::newRow("reusedWellBeforeExpiry") << "good-client" << day - 120 * second << "token-1";
        QTest::newRow("renewedShortlyBeforeExpiry") << "good-client" << day - 30 * second << "token-2";
        QTest::newRow("renewedAfterExpiry") << "good-client" << day + second << "token-2";
        QTest::newRow("zeroExpiryNotKept") << "zero-expiry" << 0ll << "token-2";
        QTest::newRow("missingExpiryNotKept") << "no-expiry" << 0ll << "token-2";
    }

    void tokenLifetime()
    {
        QFETCH(QString, clientId);
        QFETCH(qint64, forward);
        QFETCH(QString, secondToken);
        store(QStringLiteral("clientId"), clientId);
        store(QStringLiteral("sort"), QStringLiteral("guarded"));

        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        Reddit::forwardClock(forward);
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(responses.count(), 2);
        QCOMPARE(shownTitles(responses.at(1).at(0).toString()), QStringList { "Second page meme" });
        QCOMPARE(grantsSent(), secondToken == QLatin1String("token-1") ? 1 : 2);
        QCOMPARE(sent().last(), "GET /r/dankmemes/guarded.json?after=t3_page2&limit=25 bearer " + secondToken);
    }

    // A refreshed trending page is a new client; it must not ask for another token.
    void tokenSharedByClients()
    {
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        for (int page = 0; page < 2; ++page) {
            Reddit reddit;
            QSignalSpy responses(&reddit, &Reddit::responseAvailable);
            QVERIFY(responses.wait());
            QCOMPARE(shownTitles(responses.first().at(0).toString()), QStringList({ "First meme", "Second meme" }));
        }
        QCOMPARE(sent(),
            QStringList({ "POST /api/v1/access_token", "GET /r/dankmemes/guarded.json?after=&limit=25 bearer token-1",
                "GET /r/dankmemes/guarded.json?after=&limit=25 bearer token-1" }));
    }

    void loadsWaitForOneGrant()
    {
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        Reddit reddit;
        reddit.load();
        reddit.load();
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QTRY_COMPARE(responses.count(), 3);
        QCOMPARE(grantsSent(), 1);
        QCOMPARE(sent().filter("bearer token-1").size(), 3);
        for (const QList<QVariant> &response : responses)
            QVERIFY(!response.at(0).toString().isEmpty());
    }

    void renewedOnceOn401()
    {
        store(QStringLiteral("clientId"), QStringLiteral("single-use"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(responses.count(), 2);
        QCOMPARE(shownTitles(responses.at(0).at(0).toString()), QStringList({ "First meme", "Second meme" }));
        QCOMPARE(shownTitles(responses.at(1).at(0).toString()), QStringList { "Second page meme" });
        QCOMPARE(sent(),
            QStringList({ "POST /api/v1/access_token", "GET /r/dankmemes/guarded.json?after=&limit=25 bearer token-1",
                "GET /r/dankmemes/guarded.json?after=t3_page2&limit=25 bearer token-1", "POST /api/v1/access_token",
                "GET /r/dankmemes/guarded.json?after=t3_page2&limit=25 bearer token-2" }));
    }

    void feedPagesWithTheCursor()
    {
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        store(QStringLiteral("number"), 3);
        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        reddit.load();
        QVERIFY(responses.wait());
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(shownTitles(responses.at(0).at(0).toString()), QStringList({ "Atom meme one", "Atom meme two" }));
        QCOMPARE(shownTitles(responses.at(1).at(0).toString()), QStringList { "Atom page two" });
        QCOMPARE(sent(),
            QStringList({ "GET /r/dankmemes/guarded.json?after=&limit=3",
                "GET /r/dankmemes/guarded/.rss?after=&limit=3", "GET /r/dankmemes/guarded.json?after=t3_atom3&limit=3",
                "GET /r/dankmemes/guarded/.rss?after=t3_atom3&limit=3",
                // The second page was short, so the feed starts over.
                "GET /r/dankmemes/guarded.json?after=&limit=3", "GET /r/dankmemes/guarded/.rss?after=&limit=3" }));
    }

    // After a 429 the client stays silent until the time asked for has passed, then asks again.
    void rateLimitPause_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<qint64>("stillPaused");
        QTest::addColumn<qint64>("free");
        QTest::newRow("retryAfterSeconds") << ""
                                           << "limited" << 0ll << second;
        QTest::newRow("retryAfterDate") << ""
                                        << "limitedUntil" << 2 * second << 4 * second;
        QTest::newRow("ratelimitReset") << ""
                                        << "limitedReset" << second << second;
        QTest::newRow("noHint") << ""
                                << "status429" << 30 * second << 30 * second;
        QTest::newRow("grantLimited") << "limited"
                                      << "guarded" << 0ll << second;
    }

    void rateLimitPause()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, sort);
        QFETCH(qint64, stillPaused);
        QFETCH(qint64, free);
        store(QStringLiteral("clientId"), clientId);
        store(QStringLiteral("sort"), sort);

        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(responses.takeFirst().at(0).toString(), QString());
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        server->clearRequests();

        for (const qint64 forward : { qint64(0), stillPaused }) {
            Reddit::forwardClock(forward);
            reddit.load();
            QVERIFY(responses.isEmpty()); // queued, not emitted from inside load()
            QVERIFY(responses.wait());
            QCOMPARE(responses.takeFirst().at(0).toString(), QString());
            QCOMPARE(sent(), QStringList());
        }

        Reddit::forwardClock(free);
        reddit.load();
        QVERIFY(responses.wait());
        QVERIFY(!server->requests().isEmpty());
    }

    // The pause holds for every client of that origin, including one made after the 429.
    void pauseHoldsForNewClients()
    {
        store(QStringLiteral("sort"), QStringLiteral("limited"));
        {
            Reddit limited;
            QSignalSpy responses(&limited, &Reddit::responseAvailable);
            QVERIFY(responses.wait());
        }
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        server->clearRequests();

        Reddit refreshed;
        QSignalSpy responses(&refreshed, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(responses.first().at(0).toString(), QString());
        QCOMPARE(sent(), QStringList());

        TestHttpServer other;
        QVERIFY(other.listen());
        installCannedRoutes(other);
        store(QStringLiteral("origin"), other.url());
        refreshed.load();
        QVERIFY(responses.wait());
        QCOMPARE(shownTitles(responses.last().at(0).toString()), QStringList({ "First meme", "Second meme" }));
    }

    void tokenStaysInMemory()
    {
        store(QStringLiteral("clientId"), QStringLiteral("single-use"));
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        capturedMessages.clear();
        const QtMessageHandler testHandler = qInstallMessageHandler(captureMessage);
        {
            Reddit reddit;
            QSignalSpy responses(&reddit, &Reddit::responseAvailable);
            QVERIFY(responses.wait());
            reddit.load();
            QVERIFY(responses.wait());
        }
        qInstallMessageHandler(testHandler);
        QCOMPARE(sent().filter(" bearer token-").size(), 3);
        QVERIFY(!capturedMessages.isEmpty());
        for (const QString &message : qAsConst(capturedMessages))
            QVERIFY2(!message.contains(QLatin1String("token-")), qPrintable(message));

        QSettings settings;
        settings.sync();
        QFile file(settings.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        QVERIFY(stored.contains("single-use"));
        QVERIFY(!stored.contains("token-"));
    }

    // Qt hands headers on to a redirect's target; a bearer token must not leave its origin.
    void credentialsStayHome_data()
    {
        QTest::addColumn<bool>("sameOrigin");
        QTest::newRow("sameOriginFollowed") << true;
        QTest::newRow("otherOriginRefused") << false;
    }

    void credentialsStayHome()
    {
        QFETCH(bool, sameOrigin);
        TestHttpServer elsewhere;
        QVERIFY(elsewhere.listen());
        installCannedRoutes(elsewhere);
        const QByteArray target = (sameOrigin ? server->url() : elsewhere.url()).toUtf8() + "/r/dankmemes/guarded.json";
        server->route("/r/dankmemes/moved.json",
            [target](const TestHttpServer::Request &) { return TestHttpServer::Response::redirect(target); });
        store(QStringLiteral("clientId"), QStringLiteral("good-client"));
        store(QStringLiteral("sort"), QStringLiteral("moved"));

        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(elsewhere.requests().size(), 0);
        const QString text = responses.first().at(0).toString();
        QCOMPARE(text.isEmpty(), !sameOrigin);
        if (sameOrigin) {
            QCOMPARE(shownTitles(text), QStringList({ "First meme", "Second meme" }));
            QCOMPARE(sent().last(), QStringLiteral("GET /r/dankmemes/guarded.json bearer token-1"));
        }
    }

    // Without an origin stored everything goes to the forum over TLS. A loopback proxy stands in
    // for the outside world: it sees the tunnel requests and refuses them, so nothing leaves.
    void forumOverTls_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QStringList>("urls");
        const QString feed = QStringLiteral("https://www.reddit.com/r/dankmemes/hot/.rss?after=&limit=25");
        QTest::newRow("anonymousTakesFeedAtOnce") << "" << QStringList { feed };
        QTest::newRow("clientIdAsksForToken")
            << "good-client" << QStringList { "https://www.reddit.com/api/v1/access_token", feed };
    }

    void forumOverTls()
    {
        QFETCH(QString, clientId);
        QFETCH(QStringList, urls);
        QSettings().remove(QStringLiteral("trending/origin"));
        store(QStringLiteral("clientId"), clientId);
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(server->baseUrl().port())));
        for (const QString &url : urls)
            QTest::ignoreMessage(QtDebugMsg, qPrintable('"' + url + '"'));

        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(responses.first().at(0).toString(), QString());
        QCOMPARE(server->requests().size(), urls.size());
        for (const TestHttpServer::Request &request : server->requests()) {
            QCOMPARE(request.method, QByteArray("CONNECT"));
            QCOMPARE(request.target, QByteArray("www.reddit.com:443"));
        }
    }

    void retryDelay_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<QByteArray>("ratelimitReset");
        QTest::addColumn<qint64>("delay");
        QTest::newRow("seconds") << QByteArray("1") << QByteArray() << second;
        QTest::newRow("secondsWithSpaces") << QByteArray(" 30 ") << QByteArray() << 30 * second;
        QTest::newRow("zero") << QByteArray("0") << QByteArray() << 0ll;
        QTest::newRow("dateAhead") << QByteArray("Sat, 01 Aug 2026 12:00:05 GMT") << QByteArray() << 5 * second;
        QTest::newRow("dateBehind") << QByteArray("Sat, 01 Aug 2026 11:59:00 GMT") << QByteArray() << 0ll;
        QTest::newRow("obsoleteDate") << QByteArray("Saturday, 01-Aug-26 12:00:07 GMT") << QByteArray() << 7 * second;
        QTest::newRow("asctimeDate") << QByteArray("Sat Aug  1 12:00:09 2026") << QByteArray() << 9 * second;
        QTest::newRow("dateFarAhead") << QByteArray("Fri, 31 Dec 9999 23:59:59 GMT") << QByteArray() << day;
        QTest::newRow("retryAfterFirst") << QByteArray("2") << QByteArray("50") << 2 * second;
        QTest::newRow("resetFractional") << QByteArray() << QByteArray("0.5") << 500ll;
        QTest::newRow("garbageFallsBackToReset") << QByteArray("soon") << QByteArray("3") << 3 * second;
        QTest::newRow("huge") << QByteArray("1e300") << QByteArray() << day;
        QTest::newRow("negative") << QByteArray("-5") << QByteArray() << -1ll;
        QTest::newRow("infinite") << QByteArray("inf") << QByteArray("nan") << -1ll;
        QTest::newRow("garbageOnly") << QByteArray("soon") << QByteArray("later") << -1ll;
        QTest::newRow("neither") << QByteArray() << QByteArray() << -1ll;
    }

    void retryDelay()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(QByteArray, ratelimitReset);
        QFETCH(qint64, delay);
        const QDateTime now(QDate(2026, 8, 1), QTime(12, 0), Qt::UTC);
        QCOMPARE(NetworkPolicy::retryDelay(retryAfter, ratelimitReset, now), delay);
    }
};

QTEST_GUILESS_MAIN(TestRedditAuth)

#include "tst_redditauth.moc"
