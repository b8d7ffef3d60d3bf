#include "recordingshare.h"
#include "sharemanager.h"

#include <QSignalSpy>
#include <QtTest>

class TestShareManager : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void withoutImplementation();
    void pathsReachShareUnchanged_data();
    void pathsReachShareUnchanged();
    void eachCallIsOneRequest();
    void defaultImplementation();
};

void TestShareManager::cleanup()
{
    ShareManager::setDefaultPlatform(nullptr);
}

void TestShareManager::withoutImplementation()
{
    RecordingShare unattached;
    ShareManager manager;

    // QML calls it by name, so go through the meta-object as QML does.
    QVERIFY(QMetaObject::invokeMethod(&manager, "shareMeme", Q_ARG(QString, QStringLiteral("/tmp/meme.jpg"))));
    manager.shareMeme(QString());

    QVERIFY(unattached.sharedPaths().isEmpty());

    // Detaching again leaves it just as harmless.
    manager.setPlatform(&unattached);
    manager.setPlatform(nullptr);
    manager.shareMeme(QStringLiteral("/tmp/other.jpg"));
    QVERIFY(unattached.sharedPaths().isEmpty());
}

void TestShareManager::pathsReachShareUnchanged_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/home/user/.local/share/Jest Crate/bunker/1700000000-key.jpg";
    QTest::newRow("spaces") << "/home/some user/my memes/a  b .png";
    QTest::newRow("nonLatin") << QString::fromUtf8("/home/пользователь/日本語/mème ß.gif");
    QTest::newRow("emoji") << QString::fromUtf8("/tmp/😂 👌.jpg");
    QTest::newRow("percentAndHash") << "/tmp/100%25 #1?.jpg";
    QTest::newRow("looksLikeUrl") << "file:///tmp/x.jpg";
    QTest::newRow("relative") << "../bunker/x.jpg";
    QTest::newRow("empty") << "";
}

void TestShareManager::pathsReachShareUnchanged()
{
    QFETCH(QString, path);
    RecordingShare recorder;
    QSignalSpy shared(&recorder, &RecordingShare::shared);
    QVERIFY(shared.isValid());
    ShareManager manager;
    manager.setPlatform(&recorder);

    manager.shareMeme(path);

    QCOMPARE(shared.count(), 1);
    QCOMPARE(shared.takeFirst().at(0).toString(), path);
    QCOMPARE(recorder.sharedPaths(), QStringList { path });
}

void TestShareManager::eachCallIsOneRequest()
{
    RecordingShare recorder;
    ShareManager manager;
    manager.setPlatform(&recorder);

    manager.shareMeme(QStringLiteral("/tmp/first.jpg"));
    QVERIFY(QMetaObject::invokeMethod(&manager, "shareMeme", Q_ARG(QString, QStringLiteral("/tmp/second.jpg"))));
    manager.shareMeme(QStringLiteral("/tmp/second.jpg"));

    QCOMPARE(recorder.sharedPaths(), (QStringList { "/tmp/first.jpg", "/tmp/second.jpg", "/tmp/second.jpg" }));
}

void TestShareManager::defaultImplementation()
{
    RecordingShare recorder;
    ShareManager before;
    ShareManager::setDefaultPlatform(&recorder);
    ShareManager after;

    after.shareMeme(QStringLiteral("/tmp/a.jpg"));
    before.shareMeme(QStringLiteral("/tmp/b.jpg"));

    QCOMPARE(recorder.sharedPaths(), QStringList { QStringLiteral("/tmp/a.jpg") });
}

QTEST_GUILESS_MAIN(TestShareManager)
#include "tst_sharemanager.moc"
