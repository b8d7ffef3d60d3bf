#include "cannedroutes.h"
#include "objectlistmodel.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QDirIterator>

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

// Every file under a folder with its bytes, to show that nothing was touched.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, read(path));
    }
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

// A small tmpfs, mounted (as root) in a mount namespace of the test's own on the data folder that
// holds the bunker, its counter and the copypasta store: a change the disk cannot take changes
// nothing saved before, and once space is back the same objects save again.
class TestFullDisk : public QObject {
    Q_OBJECT

    // The mount vanishes with the process, even when a test fails halfway, and nobody else sees it.
    // False where this process may not mount (that needs root or CAP_SYS_ADMIN).
    bool mountTmpfs(Condition condition)
    {
        const char *options = condition == Condition::NoInodesLeft ? "size=256k,nr_inodes=16" : "size=256k";
        if ((!unshared
                && (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
            || mount("tmpfs", QFile::encodeName(root).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options) != 0)
            return false;
        unshared = mounted = true;
        return true;
    }

    TestHttpServer server;
    const QString root = qEnvironmentVariable("XDG_DATA_HOME");
    bool unshared = false;
    bool mounted = false;

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void cleanup()
    {
        if (mounted)
            QVERIFY(umount2(QFile::encodeName(root).constData(), MNT_DETACH) == 0);
        mounted = false;
        // The process-wide store keeps what it parsed last; let it forget the unmounted file.
        CopyPasta::store().clear();
        CopyPasta::store().sync();
    }

    void changesRefused_data()
    {
        QTest::addColumn<Condition>("condition");
        QTest::newRow("full") << Condition::Full;
        // Qt 5 would empty the copypasta file here: the lock file fits, the new file does not.
        QTest::newRow("onePageLeft") << Condition::OnePageLeft;
        QTest::newRow("readOnly") << Condition::ReadOnly;
        QTest::newRow("noInodesLeft") << Condition::NoInodesLeft;
    }

    // saveFromUrl reports failure, save and the copypasta store store nothing, and the copypasta
    // model keeps showing exactly what is stored.
    void changesRefused()
    {
        QFETCH(Condition, condition);
        if (!mountTmpfs(condition))
            QSKIP("Cannot mount a small tmpfs here; needs root or CAP_SYS_ADMIN");
        Bunker bunker;
        bunker.save(QStringLiteral("kept"), QVariant::fromValue(picture()));
        CopyPasta::store().sync();
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        const QString longText(3000, QLatin1Char('x')); // the file then needs more than one page
        CopyPasta::add(QStringLiteral("first"), longText);
        CopyPasta::add(QStringLiteral("second"), QStringLiteral("two"));
        QCoreApplication::processEvents(); // where the bunker's counter is written out
        const QMap<QString, QByteArray> before = snapshot(root);
        QCOMPARE(before.size(), 4);

        impose(condition, root);
        const QMap<QString, QByteArray> imposed = snapshot(root);
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QVERIFY(!downloadOutcome(bunker, "refused", server.url() + "/img/still.png"));
        bunker.save(QStringLiteral("refused"), QVariant::fromValue(picture()));
        CopyPasta::add(QStringLiteral("third"), QStringLiteral("three"));
        QObject *second = model.data(model.index(0)).value<QObject *>();
        CopyPasta::remove(second, 0);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(snapshot(root), imposed);

        restore(condition, root);
        QVERIFY(downloadOutcome(bunker, "after", server.url() + "/img/still.png"));
        QCOMPARE(listed(bunker).size(), 2);
        CopyPasta::add(QStringLiteral("fourth"), QStringLiteral("four"));
        CopyPasta::remove(second, 1);
        QCOMPARE(storedPastas(), QStringList({ "first=" + longText, "fourth=four" }));
        QCOMPARE(model.rowCount(), 2);
        const QMap<QString, QByteArray> after = snapshot(root);
        for (const QString &path : before.keys().filter(QStringLiteral("/bunker/")))
            QCOMPARE(after.value(path), before.value(path));
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
