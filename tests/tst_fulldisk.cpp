#include "cannedroutes.h"
#include "objectlistmodel.h"
#include "startup.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QStandardPaths>

#include <sched.h>
#include <sys/mount.h>

using namespace TestFiles;

namespace {
enum class Condition {
    Full, // not a page left
    OnePageLeft, // room for a lock file or a small picture, not for a whole meme or settings file
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

bool remount(const QString &path, bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return mount(nullptr, QFile::encodeName(path).constData(), nullptr, flags, nullptr) == 0;
}

// Brings the file system under `folder` into the condition.
void impose(Condition condition, const QString &folder)
{
    const QString filler = folder + QStringLiteral("/filler");
    if (condition == Condition::ReadOnly)
        QVERIFY(remount(folder, true));
    if (condition == Condition::NoInodesLeft) {
        for (int i = 0; QFile(filler + QString::number(i)).open(QIODevice::WriteOnly); ++i)
            QVERIFY(i < 100);
    }
    if (condition == Condition::Full || condition == Condition::OnePageLeft) {
        QFile file(filler);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Page by page, so that not even one page is left; then give one back if asked.
        const QByteArray page(4096, 'f');
        while (file.write(page) == page.size() && file.flush()) { }
        file.close();
        if (condition == Condition::OnePageLeft)
            QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - page.size()));
    }
}

void restore(Condition condition, const QString &folder)
{
    if (condition == Condition::ReadOnly)
        QVERIFY(remount(folder, false));
    for (const QString &name : QDir(folder).entryList({ "filler*" }, QDir::Files))
        QVERIFY(QFile::remove(folder + QLatin1Char('/') + name));
}
} // namespace
Q_DECLARE_METATYPE(Condition)

// Small tmpfs file systems, mounted (as root) in a mount namespace of the test's own, under the
// bunker and the copypasta store: a change the disk cannot take changes nothing that was saved
// before, and once space is back the same objects save again.
class TestFullDisk : public QObject {
    Q_OBJECT

    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QString copypastaDir() const { return QFileInfo(CopyPasta::store().fileName()).absolutePath(); }

    // The mounts vanish with the process, even when a test fails halfway, and nobody else sees them.
    // False where this process may not mount (that needs root or CAP_SYS_ADMIN).
    bool mountTmpfs(const QString &path, Condition condition)
    {
        const char *options = condition == Condition::NoInodesLeft ? "size=256k,nr_inodes=16" : "size=256k";
        if ((!unshared
                && (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
            || !QDir().mkpath(path)
            || mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options) != 0)
            return false;
        unshared = true;
        mounted.append(path);
        return true;
    }

    TestHttpServer server;
    QString dataPath;
    QStringList mounted;
    bool unshared = false;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void cleanup()
    {
        while (!mounted.isEmpty())
            QVERIFY(umount2(QFile::encodeName(mounted.takeLast()).constData(), MNT_DETACH) == 0);
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
        QTest::newRow("dataFolderOnePageLeft") << Condition::OnePageLeft << true;
        QTest::newRow("bunkerReadOnly") << Condition::ReadOnly << false;
        QTest::newRow("dataFolderReadOnly") << Condition::ReadOnly << true;
        QTest::newRow("noInodesLeft") << Condition::NoInodesLeft << false;
    }

    // saveFromUrl reports failure, save stores nothing, and the meme saved before stays as it was.
    void bunkerRefuses()
    {
        QFETCH(Condition, condition);
        QFETCH(bool, wholeDataFolder);
        const QString mountPoint = wholeDataFolder ? dataPath : bunkerDir();
        if (!mountTmpfs(mountPoint, condition))
            QSKIP("Cannot mount a small tmpfs here; needs root or CAP_SYS_ADMIN");
        Bunker bunker;
        bunker.save(QStringLiteral("kept"), QVariant::fromValue(picture()));
        // The counter is written out when control returns to the event loop.
        QCoreApplication::processEvents();
        const QMap<QString, QByteArray> before = snapshot(bunkerDir());
        const QByteArray iniBefore = read(iniPath());
        QVERIFY(before.size() == 2 && !iniBefore.isEmpty());

        impose(condition, mountPoint);
        const QMap<QString, QByteArray> imposed = snapshot(bunkerDir());
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QVERIFY(!downloadOutcome(bunker, "downloaded", server.url() + "/img/still.png"));
        bunker.save(QStringLiteral("refused"), QVariant::fromValue(picture()));
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(snapshot(bunkerDir()), imposed);
        QCOMPARE(read(iniPath()), iniBefore);

        restore(condition, mountPoint);
        QVERIFY(downloadOutcome(bunker, "downloaded", server.url() + "/img/still.png"));
        QCOMPARE(listed(bunker).size(), 2);
        const QMap<QString, QByteArray> after = snapshot(bunkerDir());
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

    // The stored copypastas stay as they were and the model keeps showing exactly them.
    void copypastasKept()
    {
        QFETCH(Condition, condition);
        if (!mountTmpfs(copypastaDir(), condition))
            QSKIP("Cannot mount a small tmpfs here; needs root or CAP_SYS_ADMIN");
        CopyPasta::store().sync();
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        const QString longText(3000, QLatin1Char('x')); // the file then needs more than one page
        CopyPasta::add(QStringLiteral("first"), longText);
        CopyPasta::add(QStringLiteral("second"), QStringLiteral("two"));
        const QStringList before { "first=" + longText, "second=two" };
        QCOMPARE(storedPastas(), before);

        impose(condition, copypastaDir());
        CopyPasta::add(QStringLiteral("third"), QStringLiteral("three"));
        QObject *second = model.data(model.index(0)).value<QObject *>();
        CopyPasta::remove(second, 0);
        QCOMPARE(storedPastas(), before);
        QCOMPARE(model.rowCount(), 2);

        restore(condition, copypastaDir());
        CopyPasta::add(QStringLiteral("fourth"), QStringLiteral("four"));
        CopyPasta::remove(second, 1);
        QCOMPARE(storedPastas(), QStringList({ "first=" + longText, "fourth=four" }));
        QCOMPARE(model.rowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
