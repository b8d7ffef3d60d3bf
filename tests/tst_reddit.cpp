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
enum class Outcome { Body, BodyCutAtNul, Failure };

const qint64 second = 1000;
const qint64 day = 24LL * 60 * 60 * second;
const QString grant = QStringLiteral("POST /api/v1/access_token");
const QStringList hotTitles { "First meme", "Second meme" };
const QStringList atomTitles { "Atom meme one", "Atom meme two" };

void store(const QString &key, const QVariant &value)
{
    QSettings().setValue(QStringLiteral("trending/") + key, value);
}

void configure(const QString &clientId, const QString &sort)
{
    store(QStringLiteral("clientId"), clientId);
    store(QStringLiteral("sort"), sort);
}

// A request as the server log below shows it.
QString json(const QString &sort, const QString &token = QString(), const QString &after = QString())
{
    return "GET /r/dankmemes/" + sort + ".json?after=" + after + "&limit=25"
        + (token.isEmpty() ? QString() : " bearer " + token);
}

QString feed(const QString &sort)
{
    return "GET /r/dankmemes/" + sort + "/.rss?after=&limit=25";
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

// A feed client and the texts it emits; the constructor has already sent the first request.
struct Client {
    Reddit reddit;
    QSignalSpy responses { &reddit, &Reddit::responseAvailable };
    QString text(int i) const { return responses.at(i).at(0).toString(); }
    QStringList titles(int i) const { return shownTitles(text(i)); }
};

QStringList capturedMessages;
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

    void firstRequest_data()
    {
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("sort");
        QTest::addColumn<QString>("originSuffix");
        QTest::addColumn<QString>("target");
        const auto add = [](const char *name, const QVariant &number, const QVariant &sort, const char *suffix,
                             const char *query) { QTest::newRow(name) << number << sort << suffix << query; };
        add("defaults", QVariant(), QVariant(), "", "hot.json?after=&limit=25");
        add("storedValues", 50, "new", "", "new.json?after=&limit=50");
        add("limitNegative", -1, "top", "", "top.json?after=&limit=-1");
        add("limitNotANumber", "lots", "hot", "", "hot.json?after=&limit=0");
        add("oddSortVerbatim", 10, "Rising", "", "Rising.json?after=&limit=10");
        add("originWithTrailingSlashes", QVariant(), QVariant(), "//", "hot.json?after=&limit=25");
    }

    // The constructor asks for the first page as stored, and prints the address.
    void firstRequest()
    {
        QFETCH(QVariant, number);
        QFETCH(QVariant, sort);
        QFETCH(QString, originSuffix);
        QFETCH(QString, target);
        if (number.isValid())
            store(QStringLiteral("number"), number);
        if (sort.isValid())
            store(QStringLiteral("sort"), sort);
        store(QStringLiteral("origin"), server->url() + originSuffix);

        QTest::ignoreMessage(QtDebugMsg, qPrintable('"' + server->url() + "/r/dankmemes/" + target + '"'));
        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.count(), 1);
        QCOMPARE(sent(), QStringList { "GET /r/dankmemes/" + target });
    }

    void responsesAndCursor_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<qint64>("maxSize");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("nextAfter");
        const auto add = [](const char *sort, Outcome outcome, const char *nextAfter) {
            QTest::newRow(sort) << QString(sort) << qint64(0) << outcome << QByteArray(nextAfter);
        };
        add("cursor", Outcome::Body, "t3_cursor"); // a string cursor is carried
        add("hot", Outcome::Body, nullptr); // a null cursor clears it
        add("empty", Outcome::Body, nullptr); // so does a missing one
        add("notjson", Outcome::Body, nullptr);
        add("nul", Outcome::BodyCutAtNul, nullptr);
        add("huge", Outcome::Body, "t3_huge");
        add("redirect", Outcome::Body, nullptr);
        // Failures keep the cursor of page 1.
        for (const char *sort : { "status403", "status404", "status500", "close", "stall" })
            add(sort, Outcome::Failure, "t3_page2");
        QTest::newRow("hugeOverCap") << "huge" << qint64(1024 * 1024) << Outcome::Failure << QByteArray("t3_page2");
    }

    // From page 1 (cursor t3_page2), each row loads its listing, then checks the text emitted and
    // the cursor that the next request carries. Settings are read afresh for every load.
    void responsesAndCursor()
    {
        QFETCH(QString, sort);
        QFETCH(qint64, maxSize);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, nextAfter);

        Client client;
        client.reddit.setTransferTimeout(300);
        if (maxSize > 0)
            client.reddit.setMaxListingSize(maxSize);
        QVERIFY(client.responses.wait());

        store(QStringLiteral("sort"), sort);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.count(), 2);
        const QByteArray target = server->requests().at(1).target;
        QVERIFY(target.startsWith("/r/dankmemes/" + sort.toUtf8() + ".json?after=t3_page2&limit=25"));
        const QString text = client.text(1);
        if (outcome == Outcome::Failure) {
            QVERIFY(text.isEmpty() && !text.isNull());
        } else {
            const QByteArray raw = server->fetch(QString::fromUtf8(target));
            const int nul = raw.indexOf('\0');
            QCOMPARE(nul >= 0, outcome == Outcome::BodyCutAtNul);
            QVERIFY(!raw.isEmpty());
            QCOMPARE(text, QString::fromUtf8(nul >= 0 ? raw.left(nul) : raw));
        }

        store(QStringLiteral("sort"), QStringLiteral("empty"));
        store(QStringLiteral("number"), 75);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(server->requests().last().target, "/r/dankmemes/empty.json?after=" + nextAfter + "&limit=75");
    }

    void cursorUpdatedBeforeSignal()
    {
        Reddit reddit;
        int received = 0;
        connect(&reddit, &Reddit::responseAvailable, this, [&] {
            if (++received == 1)
                reddit.load();
        });
        QTRY_COMPARE(received, 2);
        QCOMPARE(sent(), QStringList({ json("hot"), json("hot", "", "t3_page2") }));
    }

    // Requests sent together carry the same cursor; their texts come in the order the replies finish.
    void loadsInFlight()
    {
        Client client;
        client.reddit.setTransferTimeout(300);
        QVERIFY(client.responses.wait());
        store(QStringLiteral("sort"), QStringLiteral("stall"));
        client.reddit.load();
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        client.reddit.load();
        client.reddit.load();
        QTRY_COMPARE(client.responses.count(), 4);

        const QString secondPage = QString::fromUtf8(server->fetch("/r/dankmemes/hot.json?after=t3_page2"));
        QVERIFY(secondPage.contains(QStringLiteral("Second page meme")));
        QCOMPARE(client.text(1), secondPage);
        QCOMPARE(client.text(2), secondPage);
        QCOMPARE(client.text(3), QString());
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(server->requests().at(i).queryItem("after"), QByteArray("t3_page2"));
    }

    void endpoints()
    {
        const auto all = [](const Reddit::Endpoints &e) { return QStringList { e.listing, e.token, e.feed }; };
        QCOMPARE(all(Reddit::endpointsFor(QStringLiteral("https://www.reddit.com/"))),
            QStringList({ "https://oauth.reddit.com", "https://www.reddit.com/api/v1/access_token",
                "https://www.reddit.com" }));
        QCOMPARE(all(Reddit::endpointsFor(QStringLiteral("https://mirror.example//"))),
            QStringList(
                { "https://mirror.example", "https://mirror.example/api/v1/access_token", "https://mirror.example" }));
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
        const auto add = [](const char *name, const QString &clientId, const QString &sort, const QStringList &requests,
                             bool failed, const QStringList &titles) {
            QTest::newRow(name) << clientId << sort << requests << failed << titles;
        };
        // The JSON listing refused, so the board's Atom feed is asked for instead.
        const auto viaFeed = [&](const char *name, const QString &clientId, const QString &sort, bool failed,
                                 const QStringList &titles) {
            const QStringList requests { json(sort, clientId == "good-client" ? "token-1" : ""), feed(sort) };
            add(name, clientId, sort, clientId.isEmpty() ? requests : QStringList { grant } + requests, failed, titles);
        };

        add("anonymousJson", "", "hot", { json("hot") }, false, hotTitles);
        viaFeed("anonymousRefusedTakesFeed", "", "guarded", false, atomTitles);
        add("authorized", "good-client", "guarded", { grant, json("guarded", "token-1") }, false, hotTitles);
        viaFeed("authorizedRefusedTakesFeed", "good-client", "atom-normal", false,
            { "Made this in Paint & I regret nothing", "When the code works on the first try", "Shouting picture" });
        viaFeed("grantNotJson", "not-json", "guarded", false, atomTitles);
        viaFeed("grantWithoutToken", "no-token", "guarded", false, atomTitles);
        viaFeed("clientIdRefused", "nobody", "guarded", false, atomTitles);
        add("unauthorizedTwice", "good-client", "unauthorized",
            { grant, json("unauthorized", "token-1"), grant, json("unauthorized", "token-2"), feed("unauthorized") },
            true, {});
        add("listingRateLimited", "good-client", "limited", { grant, json("limited", "token-1") }, true, {});
        // The converter's own cases are tst_atomlisting's; here only a feed that is one and one that is not.
        viaFeed("feedEmpty", "", "atom-empty", false, {});
        viaFeed("feedTruncated", "", "atom-truncated", true, {});
    }

    void scenarios()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, sort);
        QFETCH(QStringList, requests);
        QFETCH(bool, failed);
        QFETCH(QStringList, titles);
        configure(clientId, sort);

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.count(), 1);
        QCOMPARE(sent(), requests);
        QCOMPARE(client.text(0).isEmpty(), failed);
        QVERIFY(!client.text(0).isNull());
        QCOMPARE(client.titles(0), titles);
        for (const TestHttpServer::Request &request : server->requests())
            QCOMPARE(request.headers.value("user-agent"), Reddit::userAgent().toUtf8());
    }

    void grantRequest_data()
    {
        QTest::addColumn<QVariant>("storedDeviceId");
        QTest::addColumn<bool>("kept");
        QTest::newRow("noneStored") << QVariant() << false;
        QTest::newRow("optedOutKept") << QVariant("DO_NOT_TRACK_THIS_DEVICE") << true;
        QTest::newRow("tooShortReplaced") << QVariant("short") << false;
    }

    // The grant request's form, sent the same way by a later run with the same device id.
    void grantRequest()
    {
        QFETCH(QVariant, storedDeviceId);
        QFETCH(bool, kept);
        configure("good-client", "guarded");
        if (storedDeviceId.isValid())
            store(QStringLiteral("deviceId"), storedDeviceId);

        QStringList deviceIds;
        for (int round = 0; round < 2; ++round) {
            Reddit::forgetSharedState();
            server->clearRequests();
            Client client;
            QVERIFY(client.responses.wait());
            QVERIFY(!client.text(0).isEmpty());

            const TestHttpServer::Request request = server->requests().first();
            QCOMPARE(request.method + ' ' + request.target, grant.toUtf8());
            QCOMPARE(request.headers.value("authorization"), "Basic " + QByteArray("good-client:").toBase64());
            QCOMPARE(request.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
            const QUrlQuery form(QString::fromUtf8(request.body));
            QCOMPARE(form.queryItems().size(), 2);
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
        QTest::newRow("reusedWellBeforeExpiry") << "good-client" << day - 120 * second << "token-1";
        QTest::newRow("renewedShortlyBeforeExpiry") << "good-client" << day - 30 * second << "token-2";
        QTest::newRow("zeroExpiryNotKept") << "zero-expiry" << 0ll << "token-2";
        QTest::newRow("missingExpiryNotKept") << "no-expiry" << 0ll << "token-2";
    }

    void tokenLifetime()
    {
        QFETCH(QString, clientId);
        QFETCH(qint64, forward);
        QFETCH(QString, secondToken);
        configure(clientId, "guarded");
        Client client;
        QVERIFY(client.responses.wait());
        Reddit::forwardClock(forward);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(client.titles(1), QStringList { "Second page meme" });
        QCOMPARE(sent().filter(grant).size(), secondToken == QLatin1String("token-1") ? 1 : 2);
        QCOMPARE(sent().last(), json("guarded", secondToken, "t3_page2"));
    }

    // A refreshed trending page is a new client, and loads sent together wait for the same grant.
    void oneGrantServesAll()
    {
        configure("good-client", "guarded");
        {
            Client first;
            first.reddit.load();
            QTRY_COMPARE(first.responses.count(), 2);
        }
        Client refreshed;
        QVERIFY(refreshed.responses.wait());
        QCOMPARE(refreshed.titles(0), hotTitles);
        QCOMPARE(sent().filter(grant).size(), 1);
        QCOMPARE(sent().filter("bearer token-1").size(), 3);
    }

    // A token refused with 401 is renewed once; no token reaches a debug line or the settings file.
    void renewedOnceOn401()
    {
        configure("single-use", "guarded");
        capturedMessages.clear();
        const QtMessageHandler testHandler = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &message) { capturedMessages.append(message); });
        Client client;
        QVERIFY(client.responses.wait());
        client.reddit.load();
        QVERIFY(client.responses.wait());
        qInstallMessageHandler(testHandler);
        QCOMPARE(client.titles(0), hotTitles);
        QCOMPARE(client.titles(1), QStringList { "Second page meme" });
        QCOMPARE(sent(),
            QStringList({ grant, json("guarded", "token-1"), json("guarded", "token-1", "t3_page2"), grant,
                json("guarded", "token-2", "t3_page2") }));

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

    void feedPagesWithTheCursor()
    {
        store(QStringLiteral("sort"), QStringLiteral("guarded"));
        store(QStringLiteral("number"), 3);
        Client client;
        for (int page = 0; page < 3; ++page) {
            if (page > 0)
                client.reddit.load();
            QVERIFY(client.responses.wait());
        }
        QCOMPARE(client.titles(0), atomTitles);
        QCOMPARE(client.titles(1), QStringList { "Atom page two" });
        QCOMPARE(sent(),
            QStringList({ "GET /r/dankmemes/guarded.json?after=&limit=3",
                "GET /r/dankmemes/guarded/.rss?after=&limit=3", "GET /r/dankmemes/guarded.json?after=t3_atom3&limit=3",
                "GET /r/dankmemes/guarded/.rss?after=t3_atom3&limit=3",
                // The second page was short, so the feed starts over.
                "GET /r/dankmemes/guarded.json?after=&limit=3", "GET /r/dankmemes/guarded/.rss?after=&limit=3" }));
    }

    // After a 429 every client stays silent until the time asked for has passed, then asks again.
    void rateLimitPause_data()
    {
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<qint64>("stillPaused");
        QTest::addColumn<qint64>("free");
        QTest::newRow("retryAfterSeconds") << "" << QString("limited") << 0ll << second;
        QTest::newRow("ratelimitReset") << "" << QString("limitedReset") << second << second;
        QTest::newRow("noHint") << "" << QString("status429") << 30 * second << 30 * second;
        QTest::newRow("grantLimited") << "limited" << QString("guarded") << 0ll << second;
    }

    void rateLimitPause()
    {
        QFETCH(QString, clientId);
        QFETCH(QString, sort);
        QFETCH(qint64, stillPaused);
        QFETCH(qint64, free);
        configure(clientId, sort);
        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.responses.takeFirst().at(0).toString(), QString());
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        server->clearRequests();

        for (const qint64 forward : { qint64(0), stillPaused }) {
            Reddit::forwardClock(forward);
            client.reddit.load();
            QVERIFY(client.responses.isEmpty()); // queued, not emitted from inside load()
            QVERIFY(client.responses.wait());
            QCOMPARE(client.responses.takeFirst().at(0).toString(), QString());
            Client refreshed;
            QVERIFY(refreshed.responses.wait());
            QCOMPARE(refreshed.text(0), QString());
            QCOMPARE(sent(), QStringList());
        }

        Reddit::forwardClock(free);
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QVERIFY(!server->requests().isEmpty());
    }

    // The pause belongs to the origin that asked for it.
    void pauseIsPerOrigin()
    {
        store(QStringLiteral("sort"), QStringLiteral("limited"));
        Client client;
        QVERIFY(client.responses.wait());
        TestHttpServer other;
        QVERIFY(other.listen());
        installCannedRoutes(other);
        store(QStringLiteral("origin"), other.url());
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        client.reddit.load();
        QVERIFY(client.responses.wait());
        QCOMPARE(client.titles(1), hotTitles);
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
        configure("good-client", "moved");

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(elsewhere.requests().size(), 0);
        QCOMPARE(client.text(0).isEmpty(), !sameOrigin);
        if (sameOrigin) {
            QCOMPARE(client.titles(0), hotTitles);
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

        Client client;
        QVERIFY(client.responses.wait());
        QCOMPARE(client.text(0), QString());
        QCOMPARE(server->requests().size(), urls.size());
        for (const TestHttpServer::Request &request : server->requests())
            QCOMPARE(request.method + ' ' + request.target, QByteArray("CONNECT www.reddit.com:443"));
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
        add("asctimeDate", "Sat Aug  1 12:00:09 2026", nullptr, 9 * second);
        add("dateFarAhead", "Fri, 31 Dec 9999 23:59:59 GMT", nullptr, day);
        add("retryAfterFirst", "2", "50", 2 * second);
        add("resetFractional", nullptr, "0.5", 500);
        add("garbageFallsBackToReset", "soon", "3", 3 * second);
        add("huge", "1e300", nullptr, day);
        add("negative", "-5", nullptr, -1);
        add("infinite", "inf", "nan", -1);
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
