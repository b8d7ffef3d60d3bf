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
        const auto add = [](const char *name, const QVariant &number, const QVariant &sort, const char *suffix,
                             const char *query) {
            QTest::newRow(name) << number << sort << QString(suffix) << QByteArray("/r/dankmemes/") + query;
        };
        add("defaults", QVariant(), QVariant(), "", "hot.json?after=&limit=25");
        add("storedValues", 50, "new", "", "new.json?after=&limit=50");
        add("limitNegative", -1, "top", "", "top.json?after=&limit=-1");
        add("limitNotANumber", "lots", "hot", "", "hot.json?after=&limit=0");
        add("oddSortVerbatim", 10, "Rising", "", "Rising.json?after=&limit=10");
        add("originWithTrailingSlash", QVariant(), QVariant(), "/", "hot.json?after=&limit=25");
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
