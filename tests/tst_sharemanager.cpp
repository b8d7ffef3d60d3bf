#include "recordingshare.h"
#include "sharemanager.h"

#include <QSignalSpy>
#include <QtTest>

class TestShareManager : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ShareManager::setDefaultPlatform(nullptr); }

    // Unattached (or detached again) the call does nothing and does not fail; a default
    // implementation set later reaches only managers made after it.
    void withoutImplementation()
    {
        RecordingShare recorder;
        ShareManager before;
        // QML calls it by name, so go through the meta-object as QML does.
        QVERIFY(QMetaObject::invokeMethod(&before, "shareMeme", Q_ARG(QString, QStringLiteral("/tmp/meme.jpg"))));
        before.setPlatform(&recorder);
        before.setPlatform(nullptr);
        before.shareMeme(QString());
        QVERIFY(recorder.sharedPaths().isEmpty());

        ShareManager::setDefaultPlatform(&recorder);
        ShareManager after;
        after.shareMeme(QStringLiteral("/tmp/a.jpg"));
        before.shareMeme(QStringLiteral("/tmp/b.jpg"));
        QCOMPARE(recorder.sharedPaths(), QStringList { QStringLiteral("/tmp/a.jpg") });
    }

    // Each call is one request with the path exactly as given, however it is invoked: not made
    // into a URL, not encoded.
    void pathsReachShareUnchanged()
    {
        const QString path = QString::fromUtf8("/home/some user/мемы/日本語/100%25 #1? 😂.gif");
        RecordingShare recorder;
        QSignalSpy shared(&recorder, &RecordingShare::shared);
        ShareManager manager;
        manager.setPlatform(&recorder);

        manager.shareMeme(path);
        QVERIFY(QMetaObject::invokeMethod(&manager, "shareMeme", Q_ARG(QString, path)));

        QCOMPARE(shared.count(), 2);
        QCOMPARE(shared.first().at(0).toString(), path);
        QCOMPARE(recorder.sharedPaths(), QStringList({ path, path }));
    }
};

QTEST_GUILESS_MAIN(TestShareManager)
#include "tst_sharemanager.moc"
