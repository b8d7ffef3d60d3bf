#include "memerecord.h"
#include "objectlistmodel.h"
#include "startup.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

// Kills a program that saves and removes memes and copypastas with SIGKILL at random moments, again
// and again, and after every kill checks what is on disk: every listed meme has a whole record and a
// readable picture, nothing confirmed is lost, nothing removed comes back, the copypasta file parses
// with every entry whole, and the next load() puts the counter right.
//
// The program is this executable itself, started with --crash-worker. The operations across all
// kills number JESTCRATE_CRASH_OPERATIONS: tools/crashsafety.sh asks for 1000; the test suite's
// default of 300 keeps a sanitizer run of the suite short.

using namespace TestFiles;

namespace {
const char *const workerFlag = "--crash-worker";
const QSize pictureSize(64, 48);

QString pastaText(const QString &id)
{
    // Line breaks, quotes, separators and text beyond Latin-1, so that the ini file needs escaping.
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
    // The back end's debug lines would only flood the test's log.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const quint32 seed = application.arguments().value(2).toUInt();
    QRandomGenerator random(seed);

    ObjectListModel model;
    CopyPasta::loadInto(&model);
    Bunker bunker;
    const QString bunkerPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/bunker/";
    say({ "paths", CopyPasta::store().fileName(), bunkerPath });
    // The bunker page calls this whenever it opens; it puts the counter right.
    bunker.load();
    say({ "ready" });
    if (argc > 3)
        return 0;

    for (int n = 0;; ++n) {
        const QString id = QStringLiteral("%1-%2").arg(seed).arg(n);
        const int roll = int(random.bounded(100));
        const QStringList records = recordNames(bunkerPath);
        if (roll % 2 == 0 && (roll < 60 || records.isEmpty())) {
            say({ "begin", "save", id });
            bunker.save("meme " + id, QVariant::fromValue(picture(pictureSize.width(), pictureSize.height())));
            const QStringList now = recordNames(bunkerPath);
            const QSet<QString> added
                = QSet<QString>(now.begin(), now.end()) - QSet<QString>(records.begin(), records.end());
            say({ "done", "save", added.size() == 1 ? QFileInfo(*added.begin()).completeBaseName() : "?",
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
}

// Where each meme (by key) and copypasta (by title) stands, as far as the worker confirmed.
enum class State { Present, Removing, Removed };

struct Ledger {
    QHash<QString, State> memes;
    QHash<QString, QString> memeTitles;
    QHash<QString, State> pastas;
    int operations = 0;

    void take(const QStringList &fields)
    {
        const QString &kind = fields.value(1);
        const QString &subject = fields.value(2);
        QHash<QString, State> &states = kind == "save" || kind == "remove" ? memes : pastas;
        if (fields.value(0) == "begin") {
            ++operations;
            if (kind == "remove" || kind == "cpremove")
                states.insert(subject, State::Removing);
        } else if (fields.value(0) == "done" && subject != "?") {
            states.insert(subject, kind == "save" || kind == "add" ? State::Present : State::Removed);
            if (kind == "save")
                memeTitles.insert(subject, fields.value(3));
        }
    }
};
} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

    struct Run {
        QStringList lines;
        qint64 readyAfterMs = -1; // never ready: -1
        qint64 durationMs = 0;
    };

    // Starts the worker and kills it `killAfterMs` after it is ready, or after its start when
    // `duringStartUp`; never when negative. A worker that does not end within a minute has hung.
    Run killWorker(const QStringList &arguments, bool duringStartUp, int killAfterMs)
    {
        Run run;
        QProcess worker;
        worker.setProcessEnvironment(environment);
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QTimer killer;
        killer.setSingleShot(true);
        connect(&killer, &QTimer::timeout, &worker, &QProcess::kill); // SIGKILL on Unix
        QElapsedTimer clock;
        connect(&worker, &QProcess::readyReadStandardOutput, this, [&] {
            while (worker.canReadLine()) {
                run.lines.append(QString::fromUtf8(worker.readLine()).chopped(1));
                if (run.lines.last() == QLatin1String("ready")) {
                    run.readyAfterMs = clock.elapsed();
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
        if (!finished.wait(60000)) {
            worker.kill();
            finished.wait();
            run.lines.append(QStringLiteral("hung"));
        }
        run.durationMs = clock.elapsed();
        return run;
    }

    QVariant storedCounter()
    {
        const QString ini = QDir::cleanPath(bunkerPath + "/../settings/settings.ini");
        return QSettings(freshCopy(ini, scratch.path()), QSettings::IniFormat).value("global/memeCount");
    }

    // Nothing confirmed is lost, nothing removed comes back.
    void compare(const QHash<QString, State> &states, const QSet<QString> &onDisk, const QString &what)
    {
        for (auto it = states.cbegin(); it != states.cend(); ++it) {
            if (it.value() == State::Present && !onDisk.contains(it.key()))
                problems["lost " + what].insert(it.key());
            if (it.value() == State::Removed && onDisk.contains(it.key()))
                problems["revived " + what].insert(it.key());
        }
    }

    // Everything on disk after a kill, checked against what the worker confirmed.
    void inspect(const Ledger &ledger)
    {
        QSet<QString> listed;
        for (const QString &name : recordNames(bunkerPath)) {
            const QString key = QFileInfo(name).completeBaseName();
            listed.insert(key);
            const QByteArray bytes = read(bunkerPath + name);
            const MemeRecord record = MemeRecord::fromBytes(bytes);
            const bool whole = record.toBytes() == bytes && record.key == key && !record.format.isEmpty()
                && record.title.startsWith("meme ")
                && QImage(bunkerPath + key + '.' + record.format).size() == pictureSize
                && ledger.memeTitles.value(key, record.title) == record.title;
            if (!whole)
                problems["damaged memes"].insert(key);
        }
        compare(ledger.memes, listed, "memes");
        // Anything but the memes' own files is left over from a write or a removal that was cut off.
        leftoverFiles = 0;
        for (const QString &name : QDir(bunkerPath).entryList(QDir::Files | QDir::Hidden))
            leftoverFiles += listed.contains(name.section('.', 0, 0)) ? 0 : 1;
        // A kill between creating a settings lock file and writing its owner into it leaves an empty
        // lock; the next start must release it, or its settings writes wait 30 s (counted here).
        QDirIterator locks(scratch.path(), { "*.lock" }, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        bool orphanedNow = false;
        while (locks.hasNext())
            orphanedNow = QFileInfo(locks.next()).size() == 0 || orphanedNow;
        orphanedLocks += orphanedNow ? 1 : 0;
        // The counter may lag behind after a kill; load() puts it right (checked at the end).
        const QVariant counter = storedCounter();
        if (counter.isValid() && counter.toInt() != listed.size())
            ++counterOff;

        QSet<QString> stored;
        const QList<StoredPasta> entries = storedPastas(freshCopy(copypastaIni, scratch.path()));
        for (int i = 0; i < entries.size(); ++i) {
            const StoredPasta &entry = entries.at(i);
            if (!entry.whole || !entry.title.startsWith("pasta ") || entry.cptext != pastaText(entry.title.mid(6))
                || stored.contains(entry.title))
                problems["damaged copypastas"].insert(QStringLiteral("%1 at %2").arg(entry.title).arg(i));
            stored.insert(entry.title);
        }
        compare(ledger.pastas, stored, "copypastas");
    }

    // The worker's home. On a RAM-backed file system an fsync costs nothing, so many more kills fit in
    // the same time; a kill stops the process, not the machine, so the page cache keeps what it wrote
    // either way.
    QTemporaryDir scratch { QString(QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath())
        + "/jestcrate-crash-XXXXXX" };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString copypastaIni;
    QString bunkerPath;
    QMap<QString, QSet<QString>> problems;
    int counterOff = 0;
    int leftoverFiles = 0;
    int orphanedLocks = 0;

private slots:
    void killedAtRandom()
    {
        QVERIFY(scratch.isValid());
        qRegisterMetaType<QProcess::ExitStatus>();
        // A home of the worker's own, kept across its kills.
        for (const char *folder : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
            environment.insert(folder, scratch.filePath(QString::fromLatin1(folder).toLower()));
        const int configured = qEnvironmentVariableIntValue("JESTCRATE_CRASH_OPERATIONS");
        const int operations = configured > 0 ? configured : 300;

        Ledger ledger;
        QRandomGenerator random(20240607u);
        int kills = 0;
        int killsDuringStartUp = 0;
        qint64 startUpMs = 0;
        qint64 slowestRunMs = 0;
        while (ledger.operations < operations) {
            // Now and then the kill comes while the program is still starting.
            const bool duringStartUp = startUpMs > 0 && random.bounded(8) == 0;
            const int window = duringStartUp ? int(startUpMs) : 5;
            const Run run = killWorker(
                { workerFlag, QString::number(random.generate()) }, duringStartUp, int(random.bounded(window + 1)));
            QVERIFY2(!run.lines.contains("hung"),
                qPrintable("the worker hung after: " + run.lines.mid(run.lines.size() - 3).join(" / ")));
            ++kills;
            slowestRunMs = qMax(slowestRunMs, run.durationMs);
            if (run.readyAfterMs < 0)
                ++killsDuringStartUp;
            else if (startUpMs == 0)
                startUpMs = run.readyAfterMs;
            for (const QString &line : run.lines) {
                const QStringList fields = line.split(QLatin1Char('\t'));
                if (fields.value(0) == "paths") {
                    copypastaIni = fields.value(1);
                    bunkerPath = fields.value(2);
                }
                ledger.take(fields);
            }
            if (!bunkerPath.isEmpty())
                inspect(ledger);
        }

        // A last start that is not interrupted: start-up copes with what the kills left, and the
        // bunker's load() puts the counter right.
        const Run last = killWorker({ workerFlag, "0", "start-only" }, false, -1);
        QVERIFY(last.readyAfterMs >= 0);
        slowestRunMs = qMax(slowestRunMs, last.durationMs);
        QCOMPARE(storedCounter().toInt(), recordNames(bunkerPath).size());

        // One line that tools/crashsafety.sh passes on.
        const auto count = [this](const char *problem) { return problems.value(problem).size(); };
        qInfo().noquote() << QStringLiteral(
            "crash safety total: %1 operations, %2 kills (%3 during start-up), %4 damaged memes, %5 lost, %6 revived; "
            "%7 damaged copypastas, %8 lost, %9 revived; counter off after %10 kills; %11 unlisted leftover files; "
            "%12 kills left an empty settings lock; slowest run %13 ms")
                                 .arg(ledger.operations)
                                 .arg(kills)
                                 .arg(killsDuringStartUp)
                                 .arg(count("damaged memes"))
                                 .arg(count("lost memes"))
                                 .arg(count("revived memes"))
                                 .arg(count("damaged copypastas"))
                                 .arg(count("lost copypastas"))
                                 .arg(count("revived copypastas"))
                                 .arg(counterOff)
                                 .arg(leftoverFiles)
                                 .arg(orphanedLocks)
                                 .arg(slowestRunMs);
        // An empty lock that start-up failed to release would stall the next run for 30 s.
        QVERIFY2(slowestRunMs < 15000, "a run waited on a settings lock left by a killed one");
        for (auto problem = problems.cbegin(); problem != problems.cend(); ++problem)
            QVERIFY2(problem.value().isEmpty(), qPrintable(problem.key() + ": " + problem.value().values().join(", ")));
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
