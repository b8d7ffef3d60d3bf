#include "bunker.h"
#include "copypasta.h"
#include "memerecord.h"
#include "objectlistmodel.h"
#include "startup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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

namespace {
const char *const workerFlag = "--crash-worker";
const char *const startFlag = "--start-only";
const QSize pictureSize(64, 48);

QString pastaText(const QString &id)
{
    // Line breaks, quotes, separators and text beyond Latin-1, so that the ini file needs escaping.
    return QStringLiteral(
        "Text of %1,\nwith \"quotes\", a = sign; a backslash \\ and \u00fcn\u00efc\u00f6de \U0001F602 ")
        .arg(id)
        .repeated(4);
}

QImage picture(QRandomGenerator &random)
{
    QImage image(pictureSize, QImage::Format_RGB32);
    const int base = int(random.bounded(200));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(base + x, base + y, (x * y) % 256));
    return image;
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

// The program under test: start-up as the application does it, then random operations until killed.
int runWorker(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    Startup::setIdentity(application);
    // The back end's debug lines would only flood the test's log.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const QStringList arguments = application.arguments();
    const bool startOnly = arguments.contains(QLatin1String(startFlag));
    const quint32 seed = arguments.value(2).toUInt();
    const QString mix = arguments.value(3);
    QRandomGenerator random(seed);

    ObjectListModel model;
    CopyPasta::loadInto(&model);
    Bunker bunker;
    const QString bunkerPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/bunker/";
    say({ "paths", CopyPasta::store().fileName(), bunkerPath });
    // The bunker page calls this whenever it opens; it puts the counter right.
    bunker.load();
    say({ "ready" });
    if (startOnly)
        return 0;

    for (int n = 0;; ++n) {
        const QString id = QStringLiteral("%1-%2").arg(seed).arg(n);
        const int roll = int(random.bounded(100));
        const bool bunkerTurn = mix == "bunker" || (mix == "mixed" && roll % 2 == 0);
        if (bunkerTurn) {
            const QStringList records = recordNames(bunkerPath);
            if (roll < 60 || records.isEmpty()) {
                say({ "begin", "save", id });
                bunker.save("meme " + id, QVariant::fromValue(picture(random)));
                const QStringList now = recordNames(bunkerPath);
                const QStringList added = QSet<QString>(now.begin(), now.end())
                                              .subtract(QSet<QString>(records.begin(), records.end()))
                                              .values();
                say({ "done", "save", id, added.size() == 1 ? QFileInfo(added.first()).completeBaseName() : "?" });
            } else {
                const QString key = QFileInfo(records.at(int(random.bounded(records.size())))).completeBaseName();
                say({ "begin", "remove", key });
                bunker.remove(key);
                say({ "done", "remove", key });
            }
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

// What the operations the worker confirmed or began mean for the disk.
struct Ledger {
    QHash<QString, QString> titleByKey; // memes whose save was confirmed
    QSet<QString> removingKeys; // removal begun, outcome unknown until confirmed
    QSet<QString> removedKeys; // removal confirmed
    QSet<QString> pastas; // copypastas whose add was confirmed
    QSet<QString> addingPastas; // add begun, not confirmed
    QSet<QString> removingPastas; // removal begun, not confirmed
    QSet<QString> removedPastas; // removal confirmed
    int operations = 0;

    void take(const QStringList &fields)
    {
        const QString &step = fields.value(0);
        const QString &kind = fields.value(1);
        const QString &subject = fields.value(2);
        if (step == "begin") {
            ++operations;
            if (kind == "remove")
                removingKeys.insert(subject);
            else if (kind == "add")
                addingPastas.insert(subject);
            else if (kind == "cpremove")
                removingPastas.insert(subject);
        } else if (step == "done") {
            if (kind == "save" && fields.value(3) != "?") {
                titleByKey.insert(fields.value(3), "meme " + subject);
            } else if (kind == "remove") {
                removingKeys.remove(subject);
                removedKeys.insert(subject);
                titleByKey.remove(subject);
            } else if (kind == "add") {
                addingPastas.remove(subject);
                pastas.insert(subject);
            } else if (kind == "cpremove") {
                removingPastas.remove(subject);
                removedPastas.insert(subject);
                pastas.remove(subject);
            }
        }
    }
};

struct Figures {
    int operations = 0;
    int kills = 0;
    int killsDuringStartUp = 0;
    QSet<QString> damagedMemes;
    QSet<QString> lostMemes;
    QSet<QString> revivedMemes;
    QSet<QString> damagedPastas;
    QSet<QString> lostPastas;
    QSet<QString> revivedPastas;
    int counterOff = 0;
    int leftoverFiles = 0;
    qint64 slowestRunMs = 0;

    Figures &operator+=(const Figures &other)
    {
        operations += other.operations;
        kills += other.kills;
        killsDuringStartUp += other.killsDuringStartUp;
        damagedMemes += other.damagedMemes;
        lostMemes += other.lostMemes;
        revivedMemes += other.revivedMemes;
        damagedPastas += other.damagedPastas;
        lostPastas += other.lostPastas;
        revivedPastas += other.revivedPastas;
        counterOff += other.counterOff;
        leftoverFiles += other.leftoverFiles;
        slowestRunMs = qMax(slowestRunMs, other.slowestRunMs);
        return *this;
    }

    QString summary() const
    {
        return QStringLiteral("%1 operations, %2 kills (%3 during start-up), %4 damaged memes, %5 lost, %6 revived; "
                              "%7 damaged copypastas, %8 lost, %9 revived; counter off after %10 kills; "
                              "%11 unlisted leftover files; slowest run %12 ms")
            .arg(operations)
            .arg(kills)
            .arg(killsDuringStartUp)
            .arg(damagedMemes.size())
            .arg(lostMemes.size())
            .arg(revivedMemes.size())
            .arg(damagedPastas.size())
            .arg(lostPastas.size())
            .arg(revivedPastas.size())
            .arg(counterOff)
            .arg(leftoverFiles)
            .arg(slowestRunMs);
    }
};
} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

private:
    struct Run {
        QStringList lines;
        bool ready = false;
        qint64 readyAfterMs = -1;
        qint64 durationMs = 0;
    };

    // Starts the worker, kills it `killAfterMs` after it is ready (or after its start; never when
    // negative), and returns what it said. A worker that does not end within a minute has hung.
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
                const QString line = QString::fromUtf8(worker.readLine()).chopped(1);
                run.lines.append(line);
                if (line == QLatin1String("ready")) {
                    run.ready = true;
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

    // Everything on disk after a kill, checked against what the worker confirmed.
    void inspect(const Ledger &ledger, Figures &figures)
    {
        const QStringList records = recordNames(bunkerPath);
        QSet<QString> listed;
        for (const QString &name : records) {
            const QString key = QFileInfo(name).completeBaseName();
            listed.insert(key);
            QFile file(bunkerPath + name);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            const MemeRecord record = MemeRecord::fromBytes(bytes);
            const QImage image(bunkerPath + key + '.' + record.format);
            const bool whole = record.toBytes() == bytes && record.key == key && !record.format.isEmpty()
                && record.title.startsWith("meme ") && image.size() == pictureSize
                && (!ledger.titleByKey.contains(key) || ledger.titleByKey.value(key) == record.title);
            if (!whole)
                figures.damagedMemes.insert(key);
        }
        for (auto meme = ledger.titleByKey.cbegin(); meme != ledger.titleByKey.cend(); ++meme)
            if (!listed.contains(meme.key()) && !ledger.removingKeys.contains(meme.key()))
                figures.lostMemes.insert(meme.key());
        for (const QString &key : ledger.removedKeys)
            if (listed.contains(key))
                figures.revivedMemes.insert(key);

        // Anything but the memes' own files is left over from a write or a removal that was cut off.
        figures.leftoverFiles = 0;
        for (const QString &name : QDir(bunkerPath).entryList(QDir::Files | QDir::Hidden))
            if (!listed.contains(name.section('.', 0, 0)))
                ++figures.leftoverFiles;

        // The counter may lag behind after a kill; load() puts it right (checked at the end).
        const QVariant counter = QSettings(copyOf(bunkerIni()), QSettings::IniFormat).value("global/memeCount");
        if (counter.isValid() && counter.toInt() != records.size())
            ++figures.counterOff;

        QSettings pastas(copyOf(copypastaIni), QSettings::IniFormat);
        pastas.beginGroup("copypasta");
        const int size = pastas.beginReadArray("copypastas");
        QSet<QString> stored;
        for (int i = 0; i < size; ++i) {
            pastas.setArrayIndex(i);
            const QString title = pastas.value("title").toString();
            const bool whole = pastas.contains("title") && pastas.contains("cptext") && title.startsWith("pasta ")
                && pastas.value("cptext").toString() == pastaText(title.mid(6)) && !stored.contains(title);
            if (!whole)
                figures.damagedPastas.insert(QStringLiteral("%1 at %2").arg(title).arg(i));
            stored.insert(title);
        }
        pastas.endArray();
        for (const QString &title : ledger.pastas)
            if (!stored.contains(title) && !ledger.removingPastas.contains(title))
                figures.lostPastas.insert(title);
        for (const QString &title : ledger.removedPastas)
            if (stored.contains(title) && !ledger.addingPastas.contains(title))
                figures.revivedPastas.insert(title);
    }

    QString bunkerIni() const { return QDir::cleanPath(bunkerPath + "/../settings/settings.ini"); }

    // QSettings shares one parsed copy per file name in a process; a copy under a new name is read
    // from the bytes on disk.
    QString copyOf(const QString &path)
    {
        const QString copy = scratch.filePath(QStringLiteral("read%1.ini").arg(++copies));
        QFile::copy(path, copy);
        return copy;
    }

    int totalOperations() const
    {
        const int configured = qEnvironmentVariableIntValue("JESTCRATE_CRASH_OPERATIONS");
        return configured > 0 ? configured : 300;
    }

    QTemporaryDir scratch;
    QProcessEnvironment environment;
    QString copypastaIni;
    QString bunkerPath;
    int copies = 0;
    Figures total;

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        qRegisterMetaType<QProcess::ExitStatus>();
    }

    void cleanupTestCase()
    {
        // One line that tools/crashsafety.sh passes on.
        qInfo().noquote() << "crash safety total:" << total.summary();
    }

    void killedAtRandom_data()
    {
        QTest::addColumn<QString>("mix");
        QTest::addColumn<int>("share"); // percent of all operations
        QTest::newRow("bunkerSavesAndRemovals") << "bunker" << 40;
        QTest::newRow("copypastaAddsAndRemovals") << "copypasta" << 30;
        QTest::newRow("everythingAtOnce") << "mixed" << 30;
    }

    void killedAtRandom()
    {
        QFETCH(QString, mix);
        QFETCH(int, share);
        const int operations = qMax(1, totalOperations() * share / 100);

        // A home of its own for this row's worker, kept across its kills.
        QTemporaryDir home;
        QVERIFY(home.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        for (const char *folder : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
            environment.insert(folder, home.filePath(QString::fromLatin1(folder).toLower()));

        Ledger ledger;
        Figures figures;
        QRandomGenerator random(quint32(qHash(mix)) ^ 20240607u);
        qint64 startUpMs = 0;
        for (int run = 0; ledger.operations < operations; ++run) {
            // Now and then the kill comes while the program is still starting.
            const bool duringStartUp = run > 0 && random.bounded(8) == 0;
            const int window = duringStartUp ? int(qMax<qint64>(1, startUpMs)) : 40;
            const Run result = killWorker({ workerFlag, QString::number(random.generate()), mix, "run" }, duringStartUp,
                int(random.bounded(window + 1)));
            QVERIFY2(!result.lines.contains("hung"),
                "the worker hung; last lines: " + result.lines.mid(result.lines.size() - 3).join(" / ").toUtf8());
            ++figures.kills;
            figures.slowestRunMs = qMax(figures.slowestRunMs, result.durationMs);
            if (result.durationMs > 5000)
                qInfo().noquote() << "slow run:" << result.durationMs << "ms, ready after" << result.readyAfterMs
                                  << "ms:" << result.lines.mid(0, 4).join(" / ");
            if (!result.ready)
                ++figures.killsDuringStartUp;
            else if (startUpMs == 0)
                startUpMs = result.readyAfterMs;
            for (const QString &line : result.lines) {
                const QStringList fields = line.split(QLatin1Char('\t'));
                if (fields.value(0) == "paths") {
                    copypastaIni = fields.value(1);
                    bunkerPath = fields.value(2);
                } else {
                    ledger.take(fields);
                }
            }
            if (!bunkerPath.isEmpty())
                inspect(ledger, figures);
        }
        figures.operations = ledger.operations;

        // A last start that is not interrupted: start-up copes with what the kills left, and the
        // bunker's load() puts the counter right.
        const Run last = killWorker({ workerFlag, "0", mix, startFlag }, false, -1);
        QVERIFY(last.ready);
        const QVariant counter = QSettings(copyOf(bunkerIni()), QSettings::IniFormat).value("global/memeCount");
        QCOMPARE(counter.toInt(), recordNames(bunkerPath).size());

        total += figures;
        qInfo().noquote() << "crash safety" << QTest::currentDataTag() << ":" << figures.summary();
        QVERIFY2(figures.damagedMemes.isEmpty(), qPrintable(figures.damagedMemes.values().join(", ")));
        QVERIFY2(figures.lostMemes.isEmpty(), qPrintable(figures.lostMemes.values().join(", ")));
        QVERIFY2(figures.revivedMemes.isEmpty(), qPrintable(figures.revivedMemes.values().join(", ")));
        QVERIFY2(figures.damagedPastas.isEmpty(), qPrintable(figures.damagedPastas.values().join(", ")));
        QVERIFY2(figures.lostPastas.isEmpty(), qPrintable(figures.lostPastas.values().join(", ")));
        QVERIFY2(figures.revivedPastas.isEmpty(), qPrintable(figures.revivedPastas.values().join(", ")));
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
