#include "desktopshare.h"
#include "recordingshare.h"
#include "sharemanager.h"
#include "testfiles.h"

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString fileManager = QStringLiteral("org.freedesktop.FileManager1");

// The FileManager1 object of a file manager, reduced to remembering what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId) { emit shown(uris, startupId); }

signals:
    void shown(const QStringList &uris, const QString &startupId);
};
} // namespace

// The desktop share facility through ShareManager, as the pages call it: the clipboard, what the
// opener is asked to open, and the file manager's D-Bus call on a session bus of the test's own.
class TestDesktopShare : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    QProcess busDaemon;
    QString busAddress;
    QList<QUrl> opened;
    DesktopShare::Opener recordingOpener = [this](const QUrl &url) {
        opened.append(url);
        return true;
    };

    QString servicePath() const { return folder.filePath(QStringLiteral("services/fm.service")); }

    // Which file managers the bus knows: one running (the fake), one it could start, or none.
    void arrangeBus(QDBusConnection &bus, FakeFileManager &fake, bool running, bool startable)
    {
        QFile::remove(servicePath());
        if (startable)
            QVERIFY(TestFiles::write(
                servicePath(), "[D-BUS Service]\nName=" + fileManager.toUtf8() + "\nExec=/bin/false\n"));
        const QDBusMessage reload = bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("ReloadConfig")));
        QCOMPARE(reload.type(), QDBusMessage::ReplyMessage);
        if (running) {
            QVERIFY(bus.registerObject(
                QStringLiteral("/org/freedesktop/FileManager1"), &fake, QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(fileManager));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("services"))));
        // A bus of the test's own: no real file manager on it, none it could start but ours.
        const QByteArray config = "<busconfig><type>session</type><listen>unix:dir=" + folder.path().toUtf8()
            + "</listen><servicedir>" + folder.filePath(QStringLiteral("services")).toUtf8()
            + "</servicedir><policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
              "<allow own=\"*\"/>"
              "</policy></busconfig>";
        QVERIFY(TestFiles::write(folder.filePath(QStringLiteral("bus.conf")), config));
        busDaemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                QStringLiteral("--config-file=") + folder.filePath(QStringLiteral("bus.conf")) });
        QVERIFY2(busDaemon.waitForStarted(), "dbus-daemon (Debian's dbus package) is needed");
        QTRY_VERIFY(busDaemon.canReadLine());
        busAddress = QString::fromUtf8(busDaemon.readLine()).trimmed();
    }

    void cleanupTestCase()
    {
        busDaemon.terminate();
        busDaemon.waitForFinished();
    }

    void init() { opened.clear(); }

    // A saved picture goes on the clipboard as image data and as its file's URL; what cannot be
    // copied leaves the clipboard as it was. Without the desktop facility nothing is copied.
    void clipboard_data()
    {
        QTest::addColumn<bool>("desktop");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("argument"); // a file name in the test folder for pictures
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("text"); // the clipboard's text afterwards
        QTest::addColumn<bool>("image");

        const QString before = QStringLiteral("before");
        QTest::newRow("saved picture") << true << QByteArray("copyPicture") << QString::fromUtf8("a b/мем #1.jpg")
                                       << true << QString() << true;
        QTest::newRow("not a picture") << true << QByteArray("copyPicture") << QStringLiteral("notes.txt") << false
                                       << before << false;
        QTest::newRow("missing picture") << true << QByteArray("copyPicture") << QStringLiteral("gone.jpg") << false
                                         << before << false;
        QTest::newRow("web link") << true << QByteArray("copyLink") << QStringLiteral("https://i.redd.it/x.png") << true
                                  << QStringLiteral("https://i.redd.it/x.png") << false;
        QTest::newRow("local file as link")
            << true << QByteArray("copyLink") << QStringLiteral("file:///etc/passwd") << false << before << false;
        QTest::newRow("share sheet only")
            << false << QByteArray("copyPicture") << QString::fromUtf8("a b/мем #1.jpg") << false << before << false;
    }

    void clipboard()
    {
        QFETCH(bool, desktop);
        QFETCH(QByteArray, operation);
        QFETCH(QString, argument);
        QFETCH(bool, done);
        QFETCH(QString, text);
        QFETCH(bool, image);
        QVERIFY(TestFiles::write(
            folder.filePath(QString::fromUtf8("a b/мем #1.jpg")), TestFiles::jpegOf(TestFiles::picture())));
        QVERIFY(TestFiles::write(folder.filePath(QStringLiteral("notes.txt")), "not a picture"));
        const QString path = operation == "copyLink" ? argument : folder.filePath(argument);
        DesktopShare desktopShare(recordingOpener);
        RecordingShare sheet;
        ShareManager manager;
        manager.setPlatform(desktop ? static_cast<PlatformShareManager *>(&desktopShare) : &sheet);
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));

        bool result = !done;
        QVERIFY(QMetaObject::invokeMethod(&manager, operation, Q_RETURN_ARG(bool, result), Q_ARG(QString, path)));

        QCOMPARE(result, done);
        const QMimeData *data = clipboard->mimeData();
        QCOMPARE(data->hasImage(), image);
        if (image) {
            QCOMPARE(qvariant_cast<QImage>(data->imageData()).size(), TestFiles::picture().size());
            QCOMPARE(data->urls(), QList<QUrl> { QUrl::fromLocalFile(path) });
            QVERIFY(data->formats().contains(QStringLiteral("text/uri-list")));
        } else {
            QCOMPARE(clipboard->text(), text);
        }
        QVERIFY(opened.isEmpty());
    }

    // What the opener is asked to open: the saved picture's file URL, and post pages only when
    // they are web pages. Without the desktop facility nothing is opened.
    void opener_data()
    {
        QTest::addColumn<bool>("desktop");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected"); // empty: nothing opened

        QTest::newRow("saved picture") << true << QByteArray("openPicture")
                                       << QString::fromUtf8("/home/u/a b/мем #1.gif")
                                       << QStringLiteral("file:///home/u/a%20b/%D0%BC%D0%B5%D0%BC%20%231.gif");
        QTest::newRow("post page") << true << QByteArray("openPost")
                                   << QStringLiteral("https://www.reddit.com/r/dankmemes/comments/k1/post/")
                                   << QStringLiteral("https://www.reddit.com/r/dankmemes/comments/k1/post/");
        QTest::newRow("post page on a local file")
            << true << QByteArray("openPost") << QStringLiteral("file:///etc/passwd") << QString();
        QTest::newRow("post page as script")
            << true << QByteArray("openPost") << QStringLiteral("javascript:alert(1)") << QString();
        QTest::newRow("no post page") << true << QByteArray("openPost") << QString() << QString();
        QTest::newRow("share sheet only")
            << false << QByteArray("openPicture") << QStringLiteral("/home/u/a.gif") << QString();
    }

    void opener()
    {
        QFETCH(bool, desktop);
        QFETCH(QByteArray, operation);
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        DesktopShare desktopShare(recordingOpener);
        RecordingShare sheet;
        ShareManager manager;
        manager.setPlatform(desktop ? static_cast<PlatformShareManager *>(&desktopShare) : &sheet);
        QCOMPARE(manager.hasDesktop(), desktop);

        bool result = expected.isEmpty();
        QVERIFY(QMetaObject::invokeMethod(&manager, operation, Q_RETURN_ARG(bool, result), Q_ARG(QString, argument)));

        QCOMPARE(result, !expected.isEmpty());
        QCOMPARE(opened, expected.isEmpty() ? QList<QUrl>() : QList<QUrl> { QUrl(expected) });
        QVERIFY(sheet.sharedPaths().isEmpty());
    }

    // Show in folder asks a file manager on the session bus to select the file, whether it runs or
    // the bus can start it; without one, the opener opens the folder.
    void showInFolder_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("startable");
        QTest::addColumn<bool>("called"); // else the folder is opened

        QTest::newRow("file manager running") << true << true << false << true;
        QTest::newRow("file manager started by the bus") << true << false << true << false;
        QTest::newRow("no file manager on the bus") << true << false << false << false;
        QTest::newRow("no session bus") << false << false << false << false;
    }

    void showInFolder()
    {
        QFETCH(bool, connected);
        QFETCH(bool, running);
        QFETCH(bool, startable);
        QFETCH(bool, called);
        const QString path = QString::fromUtf8("/home/u/Jest Crate/мем #1.gif");
        const QString folderUrl = QStringLiteral("file:///home/u/Jest%20Crate");
        // The file manager and the program each have their own connection, as in a session.
        QDBusConnection serving = QDBusConnection::connectToBus(busAddress, QStringLiteral("serving"));
        QDBusConnection client = connected ? QDBusConnection::connectToBus(busAddress, QStringLiteral("client"))
                                           : QDBusConnection(QStringLiteral("none"));
        FakeFileManager fake;
        QSignalSpy shown(&fake, &FakeFileManager::shown);
        arrangeBus(serving, fake, running, startable);
        ShareManager manager;
        DesktopShare desktopShare(recordingOpener, client);
        manager.setPlatform(&desktopShare);

        QVERIFY(manager.showInFolder(path));

        if (running) {
            QVERIFY(shown.wait());
            QCOMPARE(shown.first().at(0).toStringList(),
                QStringList { QStringLiteral("file:///home/u/Jest%20Crate/%D0%BC%D0%B5%D0%BC%20%231.gif") });
            QCOMPARE(shown.first().at(1).toString(), QString());
        }
        QCOMPARE(opened, called || startable ? QList<QUrl>() : QList<QUrl> { QUrl(folderUrl) });
        serving.unregisterService(fileManager);
        QDBusConnection::disconnectFromBus(QStringLiteral("serving"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
};

QTEST_MAIN(TestDesktopShare)
#include "tst_desktopshare.moc"
