#include "cannedroutes.h"
#include "objectlistmodel.h"
#include "startup.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

using namespace TestFiles;

namespace {
enum class Condition {
    Full, // not a page left
    OnePageLeft, // room for a lock file or a small picture, not for a whole meme or settings file
    TooSmallForPicture, // room for small memes only
    ReadOnly,
    NoInodesLeft,
};

// Every file in a folder with its bytes, to show that nothing was touched.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        files.insert(name, read(folder + QLatin1Char('/') + name));
    return files;
}
} // namespace
Q_DECLARE_METATYPE(Condition)

// Full and read-only file systems under the bunker and the copypasta store, made with a small tmpfs
// that the test mounts (as root) in a mount namespace of its own. What was saved before stays as it
// was, a failed save leaves nothing half-written, and once space is back everything works again.
class TestFullDisk : public QObject {
    Q_OBJECT

private:
    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QString copypastaDir() const { return QFileInfo(CopyPasta::store().fileName()).absolutePath(); }

    // Mounts a small tmpfs on `path`, in a mount namespace of this thread's own (made at first use):
    // its mounts vanish with the process, even when a test fails halfway, and nobody else sees them.
    // Every file operation runs on this thread. False, with the reason, where this process may not
    // mount (that needs root or CAP_SYS_ADMIN).
    bool mountTmpfs(const QString &path, Condition condition)
    {
        const QByteArray options = condition == Condition::NoInodesLeft ? "size=256k,nr_inodes=16" : "size=256k";
        if ((!namespaceReady
                && (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
            || !QDir().mkpath(path)
            || mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
                != 0) {
            mountError = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        namespaceReady = true;
        mounted.append(path);
        return true;
    }

    static bool setReadOnly(const QString &path, bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        return mount(nullptr, QFile::encodeName(path).constData(), nullptr, flags, nullptr) == 0;
    }

    // Brings the file system under `folder` into the condition; `restore` undoes it.
    static void impose(Condition condition, const QString &folder)
    {
        const QString filler = folder + QStringLiteral("/filler");
        switch (condition) {
        case Condition::Full:
        case Condition::OnePageLeft: {
            QFile file(filler);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Page by page, so that not even one page is left; then give one back if asked.
            const QByteArray page(4096, 'f');
            while (file.write(page) == page.size() && file.flush()) { }
            file.close();
            if (condition == Condition::OnePageLeft)
                QVERIFY(file.resize(QFileInfo(filler).size() - page.size()));
            break;
        }
        case Condition::TooSmallForPicture:
            break;
        case Condition::ReadOnly:
            QVERIFY2(setReadOnly(folder, true), std::strerror(errno));
            break;
        case Condition::NoInodesLeft:
            for (int i = 0; QFile(filler + QString::number(i)).open(QIODevice::WriteOnly); ++i)
                QVERIFY(i < 100);
            break;
        }
    }

    static void restore(Condition condition, const QString &folder)
    {
        if (condition == Condition::ReadOnly)
            QVERIFY2(setReadOnly(folder, false), std::strerror(errno));
        for (const QString &name : QDir(folder).entryList({ "filler*" }, QDir::Files))
            QVERIFY(QFile::remove(folder + QLatin1Char('/') + name));
    }

    // The copypastas as a fresh reader of the file on disk sees them, oldest first, each as
    // "title=text". The copy goes outside the small file system.
    QStringList storedCopypastas()
    {
        QStringList entries;
        for (const StoredPasta &entry : storedPastas(freshCopy(CopyPasta::store().fileName(), scratch.path())))
            entries << entry.title + QLatin1Char('=') + entry.cptext;
        return entries;
    }

    TestHttpServer server;
    QString dataPath;
    QTemporaryDir scratch;
    QStringList mounted;
    QString mountError;
    bool namespaceReady = false;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(scratch.isValid());
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void cleanup()
    {
        while (!mounted.isEmpty()) {
            const QByteArray path = QFile::encodeName(mounted.takeLast());
            QVERIFY2(umount2(path.constData(), MNT_DETACH) == 0, std::strerror(errno));
        }
        QVERIFY(QDir(bunkerDir()).removeRecursively());
        QFile::remove(iniPath());
        // The process-wide store keeps what it parsed last; let it forget the unmounted file.
        CopyPasta::store().clear();
        CopyPasta::store().sync();
    }

    void bunkerRefuses_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::addColumn<bool>("wholeDataFolder"); // the counter's settings file on the same file system
        QTest::newRow("bunkerFull") << Condition::Full << false;
        QTest::newRow("bunkerOnePageLeft") << Condition::OnePageLeft << false;
        QTest::newRow("dataFolderFull") << Condition::Full << true;
        QTest::newRow("dataFolderOnePageLeft") << Condition::OnePageLeft << true;
        QTest::newRow("pictureLargerThanSpace") << Condition::TooSmallForPicture << false;
        QTest::newRow("bunkerReadOnly") << Condition::ReadOnly << false;
        QTest::newRow("dataFolderReadOnly") << Condition::ReadOnly << true;
        QTest::newRow("noInodesLeft") << Condition::NoInodesLeft << false;
    }

    // saveFromUrl reports failure, save stores nothing, the meme saved before is untouched, and the
    // same bunker saves again once space or permission is back.
    void bunkerRefuses()
    {
        QFETCH(Condition, condition);
        QFETCH(bool, wholeDataFolder);
        const QString mountPoint = wholeDataFolder ? dataPath : bunkerDir();
        if (!mountTmpfs(mountPoint, condition))
            QSKIP(qPrintable("Cannot mount a small tmpfs here (" + mountError + "); needs root or CAP_SYS_ADMIN"));

        Bunker bunker;
        bunker.save(QStringLiteral("kept"), QVariant::fromValue(picture()));
        QCOMPARE(listed(bunker).size(), 1);
        // The counter is written out when control returns to the event loop; do that now.
        QCoreApplication::processEvents();
        const QMap<QString, QByteArray> before = snapshot(bunkerDir());
        QCOMPARE(before.size(), 2);
        const QByteArray iniBefore = read(iniPath());
        QVERIFY(!iniBefore.isEmpty());

        impose(condition, mountPoint);
        if (QTest::currentTestFailed())
            return;
        const QMap<QString, QByteArray> imposed = snapshot(bunkerDir());

        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        // /img/huge is 3 MiB, more than the whole file system.
        QCOMPARE(downloadOutcome(bunker, "downloaded", server.url() + "/img/huge"), false);
        if (condition != Condition::TooSmallForPicture) {
            QCOMPARE(downloadOutcome(bunker, "downloaded", server.url() + "/img/still.png"), false);
            bunker.save(QStringLiteral("refused"), QVariant::fromValue(picture()));
        }
        QCOMPARE(changed.count(), 0);
        QCOMPARE(bunker.property("memeCount").toString(), QStringLiteral("1"));
        QCoreApplication::processEvents();
        QCOMPARE(snapshot(bunkerDir()), imposed);
        QCOMPARE(read(iniPath()), iniBefore);

        restore(condition, mountPoint);
        QVERIFY(downloadOutcome(bunker, "downloaded", server.url() + "/img/still.png"));
        bunker.save(QStringLiteral("after"), QVariant::fromValue(picture()));
        QStringList titles;
        for (const QJsonValue meme : listed(bunker))
            titles << meme.toObject().value("title").toString();
        titles.sort();
        QCOMPARE(titles, QStringList({ "after", "downloaded", "kept" }));
        const QMap<QString, QByteArray> after = snapshot(bunkerDir());
        QCOMPARE(after.size(), 6);
        for (auto file = before.cbegin(); file != before.cend(); ++file)
            QCOMPARE(after.value(file.key()), file.value());
    }

    void copypastasKept_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::newRow("full") << Condition::Full;
        // Qt 5 would empty the file here: the lock file fits, the new file does not.
        QTest::newRow("onePageLeft") << Condition::OnePageLeft;
        QTest::newRow("readOnly") << Condition::ReadOnly;
        QTest::newRow("noInodesLeft") << Condition::NoInodesLeft;
    }

    // A change the disk cannot take changes nothing: the stored copypastas stay as they were and the
    // model keeps showing exactly them. Once space is back, changes are stored whole again.
    void copypastasKept()
    {
        QFETCH(Condition, condition);
        if (!mountTmpfs(copypastaDir(), condition))
            QSKIP(qPrintable("Cannot mount a small tmpfs here (" + mountError + "); needs root or CAP_SYS_ADMIN"));
        CopyPasta::store().sync();

        ObjectListModel model;
        CopyPasta::loadInto(&model);
        const QString longText(3000, QLatin1Char('x')); // the file then needs more than one page
        CopyPasta::add(QStringLiteral("first"), longText);
        CopyPasta::add(QStringLiteral("second"), QStringLiteral("two"));
        const QStringList before { "first=" + longText, "second=two" };
        QCOMPARE(storedCopypastas(), before);

        impose(condition, copypastaDir());
        if (QTest::currentTestFailed())
            return;
        CopyPasta::add(QStringLiteral("third"), QStringLiteral("three"));
        QCOMPARE(storedCopypastas(), before);
        QCOMPARE(model.rowCount(), 2);
        QObject *second = model.data(model.index(0)).value<QObject *>();
        CopyPasta::remove(second, 0);
        QCOMPARE(storedCopypastas(), before);
        QCOMPARE(model.rowCount(), 2);

        restore(condition, copypastaDir());
        CopyPasta::add(QStringLiteral("fourth"), QStringLiteral("four"));
        QCOMPARE(storedCopypastas(), before + QStringList { "fourth=four" });
        CopyPasta::remove(second, 1);
        QCOMPARE(storedCopypastas(), QStringList({ "first=" + longText, "fourth=four" }));
        QCOMPARE(model.rowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
#else
QTEST_NOOP_MAIN // mounting a small file system needs Linux
#endif
