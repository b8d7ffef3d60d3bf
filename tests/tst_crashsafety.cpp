#include "memerecord.h"
#include "objectlistmodel.h"
#include "startup.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

// Kills a program that saves and removes memes and copypastas with SIGKILL at random moments, again
// and again, and after every kill checks the disk: every listed meme has a whole record and a
// readable picture, nothing confirmed is lost, nothing removed comes back, every stored copypasta is
// whole, and a last start's load() puts the counter right. The program is this executable, started
// with --crash-worker; JESTCRATE_CRASH_OPERATIONS operations are begun in all (300 unless set).

using namespace TestFiles;

namespace {
const char *const workerFlag = "--crash-worker";
const QSize pictureSize(64, 48);

// Line breaks, quotes, separators and text beyond Latin-1, so that the ini file needs escaping.
QString pastaText(const QString &id)
{
    return QStringLiteral(
        "Text of %1,\nwith \"quotes\", a = sign; a backslash \\ and \u00fcn\u00efc\u00f6de \U0001F602 ")
        .arg(id)
        .repeated(4);
}

// One line on standard output in a single write, so that a kill never leaves half a line.
void say(const QStringList &fields)
{
    const QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) != line.size())
        ::_exit(3);
}

QStringList recordNames(const QString &bunkerPath)
{
    return QDir(bunkerPath).entryList({ QStringLiteral("*.dat") }, QDir::Files, QDir::Name);
}

// The program under test: start-up as the application does it, then random operations until killed
// (or, with a third argument, nothing more).
int runWorker(int argc, char **argv)
{
    // Confirmed removals go to the trash of the home's file system: the worker's own home.
    qputenv("HOME", QFileInfo(qEnvironmentVariable("XDG_DATA_HOME")).path().toLocal8Bit());
    QCoreApplication application(argc, argv);
    Startup::setIdentity(application);
    Startup::releaseOrphanedLocks();
    const quint32 seed = application.arguments().value(2).toUInt();
    QRandomGenerator random(seed);
    ObjectListModel model;
    CopyPasta::loadInto(&model);
    Bunker bunker;
    const QString bunkerPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/bunker/";
    bunker.load(); // as the bunker page does whenever it opens
    say({ "ready" });
    for (int n = 0; argc <= 3; ++n) {
        const QString id = QStringLiteral("%1-%2").arg(seed).arg(n);
        const int roll = int(random.bounded(100));
        const QStringList records = recordNames(bunkerPath);
        if (roll % 2 == 0 && (roll < 60 || records.isEmpty())) {
            say({ "begin", "save", id });
            bunker.save("meme " + id, QVariant::fromValue(picture(pictureSize.width(), pictureSize.height())));
            QStringList added = recordNames(bunkerPath);
            for (const QString &name : records)
                added.removeOne(name);
            say({ "done", "save", added.size() == 1 ? QFileInfo(added.first()).completeBaseName() : "?",
                "meme " + id });
        } else if (roll % 2 == 0) {
            const QString key = QFileInfo(records.at(int(random.bounded(records.size())))).completeBaseName();
            say({ "begin", "remove", key });
            bunker.remove(key);
            // The undo bar closes: only now is the removal done.
            bunker.confirmRemove(key);
            say({ "done", "remove", key });
        } else if (roll < 60 || model.rowCount() == 0) {
            say({ "begin", "add", "pasta " + id });
            CopyPasta::add("pasta " + id, pastaText(id));
            say({ "done", "add", "pasta " + id });
        } else {
            const int row = int(random.bounded(model.rowCount()));
            QObject *item = model.data(model.index(row)).value<QObject *>();
            const QString title = item->property("title").toString();
            say({ "begin", "cpremove", title });
            CopyPasta::remove(item, row);
            say({ "done", "cpremove", title });
        }
        // Between two user actions the application returns to its event loop, where QSettings
        // writes pending changes out.
        QCoreApplication::processEvents();
    }
    return 0;
}

// What the worker confirmed, memes by key [0] and copypastas by title [1]: present, or removed.
// A removal under way may or may not have happened.
struct Ledger {
    QSet<QString> present[2];
    QSet<QString> removed[2];
    QHash<QString, QString> memeTitles;
    int operations = 0;

    void take(const QStringList &fields)
    {
        const QString &kind = fields.value(1);
        const QString &subject = fields.value(2);
        const int pasta = kind == "add" || kind == "cpremove" ? 1 : 0;
        if (fields.value(0) == "begin") {
            ++operations;
            present[pasta].remove(subject);
        } else if (fields.value(0) == "done" && subject != "?") {
            (kind.endsWith("remove") ? removed : present)[pasta].insert(subject);
            if (kind == "save")
                memeTitles.insert(subject, fields.value(3));
        }
    }
};
} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

    // Runs the worker and kills it `killAfterMs` after it is ready, or after its start when
    // `duringStartUp`; never when negative. Its lines, and how long it took to be ready (-1: never).
    QPair<QStringList, qint64> killWorker(const QStringList &arguments, bool duringStartUp, int killAfterMs)
    {
        QStringList lines;
        qint64 readyAfterMs = -1;
        QProcess worker;
        worker.setProcessEnvironment(environment);
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QTimer killer;
        killer.setSingleShot(true);
        connect(&killer, &QTimer::timeout, &worker, &QProcess::kill); // SIGKILL
        QElapsedTimer clock;
        connect(&worker, &QProcess::readyReadStandardOutput, this, [&] {
            while (worker.canReadLine()) {
                lines.append(QString::fromUtf8(worker.readLine()).chopped(1));
                if (lines.last() == QLatin1String("ready")) {
                    readyAfterMs = clock.elapsed();
                    if (!duringStartUp && killAfterMs >= 0)
                        killer.start(killAfterMs);
                }
            }
        });
        QSignalSpy finished(&worker, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        clock.start();
        worker.start(QCoreApplication::applicationFilePath(), arguments);
        if (duringStartUp)
            killer.start(killAfterMs);
        // An empty settings lock left by a kill would hold a start up for 30 s.
        if (!finished.wait(15000)) {
            worker.kill();
            finished.wait();
            problems["hung or stalled after: " + lines.mid(lines.size() - 2).join(" / ")].insert("");
        }
        return { lines, readyAfterMs };
    }

    // Nothing confirmed is lost, nothing removed comes back.
    void compare(const Ledger &ledger, int kind, const QSet<QString> &onDisk, const QString &what)
    {
        for (const QString &subject : ledger.present[kind])
            if (!onDisk.contains(subject))
                problems["lost " + what].insert(subject);
        for (const QString &subject : ledger.removed[kind])
            if (onDisk.contains(subject))
                problems["revived " + what].insert(subject);
    }

    void inspect(const Ledger &ledger)
    {
        QSet<QString> listed;
        for (const QString &name : recordNames(bunkerPath)) {
            const QString key = QFileInfo(name).completeBaseName();
            listed.insert(key);
            const QByteArray bytes = read(bunkerPath + name);
            const MemeRecord record = MemeRecord::fromBytes(bytes);
            if (record.toBytes() != bytes || record.key != key || record.format.isEmpty()
                || QImage(bunkerPath + key + '.' + record.format).size() != pictureSize
                || ledger.memeTitles.value(key, record.title) != record.title || !record.title.startsWith("meme "))
                problems["damaged memes"].insert(key);
        }
        compare(ledger, 0, listed, "memes");

        QSet<QString> stored;
        for (const QString &entry : storedPastas(copypastaIni)) {
            const QString title = entry.section('=', 0, 0);
            if (!title.startsWith("pasta ") || entry.section('=', 1) != pastaText(title.mid(6))
                || stored.contains(title))
                problems["damaged copypastas"].insert(entry.left(40));
            stored.insert(title);
        }
        compare(ledger, 1, stored, "copypastas");
    }

    // The worker's home. On a RAM-backed file system an fsync costs nothing, so many more kills fit in
    // the same time; a kill stops the process, not the machine, so the page cache keeps what it wrote.
    QTemporaryDir scratch { QString(QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath())
        + "/jestcrate-crash-XXXXXX" };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString copypastaIni;
    QString bunkerPath;
    QMap<QString, QSet<QString>> problems;

private slots:
    void killedAtRandom()
    {
        QVERIFY(scratch.isValid());
        qRegisterMetaType<QProcess::ExitStatus>();
        for (const char *folder : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
            environment.insert(folder, scratch.filePath(QString::fromLatin1(folder).toLower()));
        environment.insert("QT_LOGGING_RULES", "default.debug=false"); // the back end's debug lines
        bunkerPath = scratch.filePath("xdg_data_home/Jest Crate/bunker/");
        copypastaIni = scratch.filePath("xdg_data_home/settings/settings.ini");
        const int configured = qEnvironmentVariableIntValue("JESTCRATE_CRASH_OPERATIONS");
        const int operations = configured > 0 ? configured : 300;

        Ledger ledger;
        QRandomGenerator random(20240607u);
        int kills = 0;
        int killsDuringStartUp = 0;
        qint64 startUpMs = 0;
        while (ledger.operations < operations && problems.isEmpty()) {
            // Now and then the kill comes while the program is still starting.
            const bool duringStartUp = startUpMs > 0 && random.bounded(8) == 0;
            const int window = duringStartUp ? int(startUpMs) : 2;
            const auto run = killWorker(
                { workerFlag, QString::number(random.generate()) }, duringStartUp, int(random.bounded(window + 1)));
            ++kills;
            killsDuringStartUp += run.second < 0 ? 1 : 0;
            startUpMs = startUpMs > 0 || run.second < 0 ? startUpMs : run.second;
            for (const QString &line : run.first)
                ledger.take(line.split(QLatin1Char('\t')));
            inspect(ledger);
        }
        // A last start that is not interrupted copes with what the kills left, and puts the counter right.
        QVERIFY(killWorker({ workerFlag, "0", "start-only" }, false, -1).second >= 0);
        QSettings settings(QDir::cleanPath(bunkerPath + "/../settings/settings.ini"), QSettings::IniFormat);
        QCOMPARE(settings.value("global/memeCount").toInt(), recordNames(bunkerPath).size());

        // The line tools/crashsafety.sh passes on.
        QStringList figures { QStringLiteral("%1 operations, %2 kills (%3 during start-up)")
                                  .arg(ledger.operations)
                                  .arg(kills)
                                  .arg(killsDuringStartUp) };
        for (const char *problem : { "damaged memes", "lost memes", "revived memes", "damaged copypastas",
                 "lost copypastas", "revived copypastas" })
            figures << QStringLiteral("%1 %2").arg(problems.value(problem).size()).arg(problem);
        qInfo().noquote() << "crash safety total:" << figures.join(", ");
        for (auto problem = problems.cbegin(); problem != problems.cend(); ++problem)
            QFAIL(qPrintable(problem.key() + ": " + problem.value().values().join(", ")));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], workerFlag) == 0)
        return runWorker(argc, argv);
    QCoreApplication application(argc, argv);
    TestCrashSafety test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
