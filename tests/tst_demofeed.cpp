#include "demofeed.h"
#include "reddit.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

// The demo feed must show cards whichever way the program reads it: as JSON listings, or through
// the Atom fallback when the JSON listings are refused as on the live forum.
class TestDemoFeed : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Startup::setIdentity(*QCoreApplication::instance()); }

    void init()
    {
        QSettings().clear();
        Reddit::forgetSharedState();
    }

    void firstPage_data()
    {
        QTest::addColumn<bool>("atomOnly");
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QStringList>("imageTitles");
        QTest::addColumn<QJsonValue>("after");

        QTest::newRow("json") << false << QStringList { "/r/dankmemes/hot.json?after=&limit=25" }
                              << QStringList { "It compiled on the first try",
                                     "Too spicy for the office (NSFW: blurred until clicked)",
                                     "Friday, 5 PM: tests or ship it?", "Me &amp; the rubber duck at 3 AM" }
                              << QJsonValue("t3_demo2");
        QTest::newRow("atomFallback")
            << true << QStringList { "/r/dankmemes/hot.json?after=&limit=25", "/r/dankmemes/hot/.rss?after=&limit=25" }
            << QStringList { "It compiled on the first try", "Too spicy for the office (NSFW: blurred until clicked)",
                   "Friday, 5 PM: tests or ship it?", "Me & the rubber duck at 3 AM", "Friday, 5 PM: tests or ship it?",
                   "Monday.exe has stopped working", "Free RAM upgrade (a GIF; the feed shows its first frame)",
                   "A small picture is shown at its own size", "Last page >_< LOAD MORE starts over" }
            << QJsonValue(QJsonValue::Null);
    }

    void firstPage()
    {
        QFETCH(bool, atomOnly);
        QFETCH(QStringList, targets);
        QFETCH(QStringList, imageTitles);
        QFETCH(QJsonValue, after);

        TestHttpServer server;
        QVERIFY(server.listen());
        installDemoRoutes(server, atomOnly);
        QSettings().setValue(QStringLiteral("trending/origin"), server.url());

        Reddit reddit;
        QSignalSpy replies(&reddit, &Reddit::responseAvailable);
        QVERIFY(replies.wait(10000));
        QCOMPARE(server.requestedTargets(), targets);

        const QJsonObject data
            = QJsonDocument::fromJson(replies.at(0).at(0).toString().toUtf8()).object().value("data").toObject();
        QCOMPARE(data.value("after"), after);
        QStringList shown;
        for (const QJsonValue child : data.value("children").toArray()) {
            const QJsonObject post = child.toObject().value("data").toObject();
            if (!post.value("stickied").toBool() && post.value("post_hint").toString() == "image")
                shown.append(post.value("title").toString());
        }
        QCOMPARE(shown, imageTitles);
    }
};

QTEST_GUILESS_MAIN(TestDemoFeed)

#include "tst_demofeed.moc"
