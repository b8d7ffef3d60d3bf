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
// The FileManager1 object of a file manager, reduced to telling what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId) { emit shown(uris, startupId); }

signals:
    void shown(const QStringList &uris, const QString &startupId);
};
} // namespace

// The desktop facility through ShareManager, called by name as the pages call it: the clipboard,
// what the opener is asked to open, and the file manager's call on a session bus of the test's own.
class TestDesktopShare : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    QProcess busDaemon;
    QList<QUrl> opened;
    DesktopShare::Opener recordingOpener = [this](const QUrl &url) {
        opened.append(url);
        return true;
    };

private slots:
    void initTestCase()
    {
        QVERIFY(TestFiles::write(
            folder.filePath(QString::fromUtf8("a b/мем #1.jpg")), TestFiles::jpegOf(TestFiles::picture())));
        QVERIFY(TestFiles::write(folder.filePath(QStringLiteral("notes.txt")), "not a picture"));
        // Only the services folder of the test: no real file manager can be reached or started.
        QVERIFY(TestFiles::write(folder.filePath(QStringLiteral("bus.conf")),
            "<busconfig><type>session</type><listen>unix:dir=" + folder.path().toUtf8() + "</listen><servicedir>"
                + folder.filePath(QStringLiteral("services")).toUtf8()
                + "</servicedir><policy context=\"default\"><allow send_destination=\"*\"/>"
                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>"));
        busDaemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                QStringLiteral("--config-file=") + folder.filePath(QStringLiteral("bus.conf")) });
        QVERIFY2(busDaemon.waitForStarted(), "dbus-daemon (Debian's dbus package) is needed");
        QTRY_VERIFY(busDaemon.canReadLine());
    }

    void cleanupTestCase()
    {
        busDaemon.terminate();
        busDaemon.waitForFinished();
    }

    // What each operation leaves on the clipboard ("image": the picture with its file's URL) and
    // asks the opener to open; it is done when either changes. What is not a picture or not a web
    // page is refused, and without the desktop facility nothing is done.
    void operations_data()
    {
        QTest::addColumn<bool>("desktop");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("argument"); // "{folder}" stands for the test's folder
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("opened");
        const auto add = [](const char *name, bool desktop, const char *operation, const QString &argument,
                             const QString &clipboard, const QString &opened) {
            QTest::newRow(name) << desktop << QByteArray(operation) << argument << clipboard << opened;
        };
        const QString picture = QString::fromUtf8("{folder}/a b/мем #1.jpg");
        const QString post = QStringLiteral("https://www.reddit.com/r/dankmemes/comments/k1/post/");
        const QString none;
        add("copy a saved picture", true, "copyPicture", picture, "image", none);
        add("copy what is no picture", true, "copyPicture", "{folder}/notes.txt", "before", none);
        add("copy a web link", true, "copyLink", post, post, none);
        add("copy a local file as link", true, "copyLink", "file:///etc/passwd", "before", none);
        add("open a saved picture", true, "openPicture", QString::fromUtf8("/u/a b/мем #1.gif"), "before",
            "file:///u/a%20b/%D0%BC%D0%B5%D0%BC%20%231.gif");
        add("open a post", true, "openPost", post, "before", post);
        add("open a local file as post", true, "openPost", "file:///etc/passwd", "before", none);
        add("open a script as post", true, "openPost", "javascript:alert(1)", "before", none);
        add("share sheet only", false, "copyPicture", picture, "before", none);
    }

    void operations()
    {
        QFETCH(bool, desktop);
        QFETCH(QByteArray, operation);
        QFETCH(QString, argument);
        QFETCH(QString, clipboard);
        QFETCH(QString, opened);
        argument.replace(QStringLiteral("{folder}"), folder.path());
        this->opened.clear();
        DesktopShare desktopShare(recordingOpener);
        RecordingShare sheet;
        ShareManager manager;
        manager.setPlatform(desktop ? static_cast<PlatformShareManager *>(&desktopShare) : &sheet);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));

        bool done = false;
        QVERIFY(QMetaObject::invokeMethod(&manager, operation, Q_RETURN_ARG(bool, done), Q_ARG(QString, argument)));

        QCOMPARE(done, clipboard != QLatin1String("before") || !opened.isEmpty());
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->hasImage(), clipboard == QLatin1String("image"));
        if (data->hasImage()) {
            QCOMPARE(qvariant_cast<QImage>(data->imageData()).size(), TestFiles::picture().size());
            QCOMPARE(data->urls(), QList<QUrl> { QUrl::fromLocalFile(argument) });
        } else {
            QCOMPARE(data->text(), clipboard);
        }
        QCOMPARE(this->opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl> { QUrl(opened) });
    }

    // Show in folder goes to a file manager on the session bus, whether it runs or the bus can
    // start it; without one the opener opens the folder.
    void showInFolder_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("startable");

        QTest::newRow("file manager running") << true << true << false;
        QTest::newRow("file manager started by the bus") << true << false << true;
        QTest::newRow("no file manager on the bus") << true << false << false;
        QTest::newRow("no session bus") << false << false << false;
    }

    void showInFolder()
    {
        QFETCH(bool, connected);
        QFETCH(bool, running);
        QFETCH(bool, startable);
        opened.clear();
        const QString service = QStringLiteral("org.freedesktop.FileManager1");
        const QString activation = folder.filePath(QStringLiteral("services/fm.service"));
        QFile::remove(activation);
        if (startable)
            QVERIFY(TestFiles::write(activation, "[D-BUS Service]\nName=" + service.toUtf8() + "\nExec=/bin/false\n"));
        // The file manager and the program each have their own connection, as in a session.
        const QString address = QString::fromUtf8(busDaemon.peek(4096)).trimmed();
        QDBusConnection serving = QDBusConnection::connectToBus(address, QStringLiteral("serving"));
        QDBusConnection client
            = QDBusConnection::connectToBus(connected ? address : QString(), QStringLiteral("client"));
        QCOMPARE(serving.interface()->call(QStringLiteral("ReloadConfig")).type(), QDBusMessage::ReplyMessage);
        FakeFileManager fake;
        QSignalSpy shown(&fake, &FakeFileManager::shown);
        if (running) {
            QVERIFY(serving.registerObject(
                QStringLiteral("/org/freedesktop/FileManager1"), &fake, QDBusConnection::ExportAllSlots));
            QVERIFY(serving.registerService(service));
        }
        DesktopShare desktopShare(recordingOpener, client);
        ShareManager manager;
        manager.setPlatform(&desktopShare);

        QVERIFY(manager.showInFolder(QString::fromUtf8("/u/Jest Crate/мем #1.gif")));

        if (running) {
            QVERIFY(shown.wait());
            QCOMPARE(shown.first(),
                QVariantList({ QStringList { QStringLiteral("file:///u/Jest%20Crate/%D0%BC%D0%B5%D0%BC%20%231.gif") },
                    QString() }));
        }
        QCOMPARE(opened,
            running || startable ? QList<QUrl>() : QList<QUrl> { QUrl(QStringLiteral("file:///u/Jest%20Crate")) });
        serving.unregisterService(service);
        QDBusConnection::disconnectFromBus(QStringLiteral("serving"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
};

QTEST_MAIN(TestDesktopShare)
#include "tst_desktopshare.moc"
