#include "cannedroutes.h"
#include "reddit.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {
enum class Outcome { Body, BodyCutAtNul, Failure };

void store(const QString &key, const QVariant &value)
{
    QSettings().setValue(QStringLiteral("trending/") + key, value);
}

QString textAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).toString();
}
} // namespace
Q_DECLARE_METATYPE(Outcome)

class TestReddit : public QObject {
    Q_OBJECT

private:
    QByteArray lastTarget() const
    {
        return server.requests().isEmpty() ? QByteArray() : server.requests().last().target;
    }

    TestHttpServer server;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void init()
    {
        QSettings().clear();
        Reddit::forgetSharedState();
        store(QStringLiteral("origin"), server.url());
        server.clearRequests();
    }

    void cleanup() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void constructorRequestsFirstPage_data()
    {
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("sort");
        QTest::addColumn<QString>("originSuffix");
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("defaults") << QVariant() << QVariant() << ""
                                  << QByteArray("/r/dankmemes/hot.json?after=&limit=25");
        QTest::newRow("storedValues") << QVariant(50) << QVariant("new") << ""
                                      << QByteArray("/r/dankmemes/new.json?after=&limit=50");
        QTest::newRow("limitZero") << QVariant(0) << QVariant("top") << ""
                                   << QByteArray("/r/dankmemes/top.json?after=&limit=0");
        QTest::newRow("limitNegative") << QVariant(-1) << QVariant("hot") << ""
                                       << QByteArray("/r/dankmemes/hot.json?after=&limit=-1");
        QTest::newRow("limitNotANumber") << QVariant("lots") << QVariant("hot") << ""
                                         << QByteArray("/r/dankmemes/hot.json?after=&limit=0");
        QTest::newRow("oddSortVerbatim") << QVariant(10) << QVariant("Rising") << ""
                                         << QByteArray("/r/dankmemes/Rising.json?after=&limit=10");
        QTest::newRow("originWithTrailingSlash")
            << QVariant() << QVariant() << "/" << QByteArray("/r/dankmemes/hot.json?after=&limit=25");
    }

    void constructorRequestsFirstPage()
    {
        QFETCH(QVariant, number);
        QFETCH(QVariant, sort);
        QFETCH(QString, originSuffix);
        QFETCH(QByteArray, target);
        if (number.isValid())
            store(QStringLiteral("number"), number);
        if (sort.isValid())
            store(QStringLiteral("sort"), sort);
        store(QStringLiteral("origin"), server.url() + originSuffix);

        QTest::ignoreMessage(QtDebugMsg, qPrintable('"' + server.url() + QString::fromUtf8(target) + '"'));
        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(responses.count(), 1);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().first().method, QByteArray("GET"));
        QCOMPARE(server.requests().first().target, target);
    }

    void readsSettingsAfresh()
    {
        store(QStringLiteral("sort"), QStringLiteral("empty"));
        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        store(QStringLiteral("sort"), QStringLiteral("cursor"));
        store(QStringLiteral("number"), 75);
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(lastTarget(), QByteArray("/r/dankmemes/cursor.json?after=&limit=75"));
    }

    // With no origin stored the feed goes to the forum over TLS; without a client ID that is its Atom
    // feed. A loopback proxy stands in for the outside world: it sees the tunnel request and refuses
    // it, so nothing leaves the machine.
    void defaultOriginIsTheForumOverTls()
    {
        QSettings().remove(QStringLiteral("trending/origin"));
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(server.baseUrl().port())));
        QTest::ignoreMessage(QtDebugMsg, "\"https://www.reddit.com/r/dankmemes/hot/.rss?after=&limit=25\"");
        Reddit reddit;
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        QCOMPARE(textAt(responses, 0), QString());
        QVERIFY(!server.requests().isEmpty());
        QCOMPARE(server.requests().first().method, QByteArray("CONNECT"));
        QCOMPARE(server.requests().first().target, QByteArray("www.reddit.com:443"));
    }

    void responsesAndCursor_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<qint64>("maxSize");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("nextAfter");
        const QByteArray kept = "t3_page2";
        QTest::newRow("stringCursorCarried") << "cursor" << 0ll << Outcome::Body << QByteArray("t3_cursor");
        QTest::newRow("nullCursorClears") << "hot" << 0ll << Outcome::Body << QByteArray();
        QTest::newRow("missingCursorClears") << "empty" << 0ll << Outcome::Body << QByteArray();
        QTest::newRow("notJsonClears") << "notjson" << 0ll << Outcome::Body << QByteArray();
        QTest::newRow("nulCutsTextAndClears") << "nul" << 0ll << Outcome::BodyCutAtNul << QByteArray();
        QTest::newRow("hugeBodyUnchanged") << "huge" << 0ll << Outcome::Body << QByteArray("t3_huge");
        QTest::newRow("redirectFollowed") << "redirect" << 0ll << Outcome::Body << QByteArray();
        QTest::newRow("status403") << "status403" << 0ll << Outcome::Failure << kept;
        QTest::newRow("status404") << "status404" << 0ll << Outcome::Failure << kept;
        QTest::newRow("status429") << "status429" << 0ll << Outcome::Failure << kept;
        QTest::newRow("status500") << "status500" << 0ll << Outcome::Failure << kept;
        QTest::newRow("closedMidBody") << "close" << 0ll << Outcome::Failure << kept;
        QTest::newRow("stalled") << "stall" << 0ll << Outcome::Failure << kept;
        QTest::newRow("hugeOverCap") << "huge" << qint64(1024 * 1024) << Outcome::Failure << kept;
    }

    // Each row starts from page 1 (cursor t3_page2), loads the row's listing, then checks the text
    // emitted and the cursor that the next request carries.
    void responsesAndCursor()
    {
        QFETCH(QString, sort);
        QFETCH(qint64, maxSize);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, nextAfter);

        Reddit reddit;
        reddit.setTransferTimeout(300);
        if (maxSize > 0)
            reddit.setMaxListingSize(maxSize);
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());

        store(QStringLiteral("sort"), sort);
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(responses.count(), 2);
        const QByteArray target = server.requests().at(1).target;
        QVERIFY(target.startsWith("/r/dankmemes/" + sort.toUtf8() + ".json?after=t3_page2&limit=25"));
        const QString text = textAt(responses, 1);
        if (outcome == Outcome::Failure) {
            QVERIFY(text.isEmpty());
            QVERIFY(!text.isNull());
        } else {
            const QByteArray raw = server.fetch(QString::fromUtf8(target));
            const int nul = raw.indexOf('\0');
            QCOMPARE(nul >= 0, outcome == Outcome::BodyCutAtNul);
            QVERIFY(!raw.isEmpty());
            QCOMPARE(text, QString::fromUtf8(nul >= 0 ? raw.left(nul) : raw));
        }

        // A 429 pauses the client; move past the pause.
        Reddit::forwardClock(60 * 60 * 1000);
        store(QStringLiteral("sort"), QStringLiteral("empty"));
        reddit.load();
        QVERIFY(responses.wait());
        QCOMPARE(lastTarget(), "/r/dankmemes/empty.json?after=" + nextAfter + "&limit=25");
    }

    void cursorUpdatedBeforeSignal()
    {
        Reddit reddit;
        int received = 0;
        connect(&reddit, &Reddit::responseAvailable, this, [&] {
            if (++received == 1)
                reddit.load();
        });
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QTRY_COMPARE(responses.count(), 2);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(1).target, QByteArray("/r/dankmemes/hot.json?after=t3_page2&limit=25"));
    }

    // Requests sent together carry the same cursor; their texts come in the order the replies finish.
    void loadsInFlight()
    {
        Reddit reddit;
        reddit.setTransferTimeout(300);
        QSignalSpy responses(&reddit, &Reddit::responseAvailable);
        QVERIFY(responses.wait());
        store(QStringLiteral("sort"), QStringLiteral("stall"));
        reddit.load();
        store(QStringLiteral("sort"), QStringLiteral("hot"));
        reddit.load();
        reddit.load();
        QTRY_COMPARE(responses.count(), 4);

        const QString secondPage = QString::fromUtf8(server.fetch("/r/dankmemes/hot.json?after=t3_page2"));
        QVERIFY(secondPage.contains(QStringLiteral("Second page meme")));
        QCOMPARE(textAt(responses, 1), secondPage);
        QCOMPARE(textAt(responses, 2), secondPage);
        QCOMPARE(textAt(responses, 3), QString());
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(server.requests().at(i).queryItem("after"), QByteArray("t3_page2"));
    }
};

QTEST_GUILESS_MAIN(TestReddit)

#include "tst_reddit.moc"
