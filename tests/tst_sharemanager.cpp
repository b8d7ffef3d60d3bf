#include "recordingshare.h"
#include "sharemanager.h"

#include <QtTest>

class TestShareManager : public QObject {
    Q_OBJECT

private slots:
    // The path reaches the platform exactly as given, not made into a URL, from a manager attached
    // by hand or made after the default was set; without a platform the call does nothing.
    void pathReachesPlatform()
    {
        const QString path = QString::fromUtf8("/home/some user/мемы/100%25 #1? 😂.gif");
        RecordingShare attached;
        RecordingShare byDefault;
        ShareManager before;
        before.shareMeme(path);
        ShareManager::setDefaultPlatform(&byDefault);
        ShareManager after;
        // QML calls it by name.
        QVERIFY(QMetaObject::invokeMethod(&after, "shareMeme", Q_ARG(QString, path)));
        before.shareMeme(QStringLiteral("/not/shared"));
        before.setPlatform(&attached);
        before.shareMeme(path);
        ShareManager::setDefaultPlatform(nullptr);
        QCOMPARE(byDefault.sharedPaths(), QStringList { path });
        QCOMPARE(attached.sharedPaths(), QStringList { path });
    }
};

QTEST_GUILESS_MAIN(TestShareManager)
#include "tst_sharemanager.moc"
