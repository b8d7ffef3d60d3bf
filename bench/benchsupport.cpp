#include "benchsupport.h"

#include "testhttpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <time.h>

double Bench::median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

void Bench::printComparison(const QString &what, const QString &unit, const QVector<double> &program,
    const QVector<double> &floor, double target)
{
    const double programMedian = median(program);
    const double floorMedian = median(floor);
    const double ratio = floorMedian > 0 ? programMedian / floorMedian : 0;
    std::printf("%-34s program %10.3f %s   floor %10.3f %s   ratio %5.2f   (target <= %.1f, %d runs)\n",
        qPrintable(what), programMedian, qPrintable(unit), floorMedian, qPrintable(unit), ratio, target,
        int(program.size()));
    std::fflush(stdout);
}

int Bench::repetitions(int argc, char **argv, int fallback)
{
    if (argc >= 2) {
        bool ok = false;
        const int value = QString::fromLocal8Bit(argv[1]).toInt(&ok);
        if (ok && value > 0)
            return value;
    }
    return fallback;
}

Bench::Profile::Profile()
{
    for (const char *name : { "data", "config", "cache", "runtime" })
        QDir(folder.path()).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(
        folder.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcessEnvironment Bench::Profile::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folder.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder.path() + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path() + QStringLiteral("/runtime"));
    return environment;
}

void Bench::Profile::writeDefaultSettings(const QVariantMap &values) const
{
    // What QSettings() opens for organisation domain jestcrate.app and application "Jest Crate".
    QSettings settings(folder.path() + QStringLiteral("/config/jestcrate.app/Jest Crate.conf"), QSettings::IniFormat);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

QString Bench::Profile::appDataPath() const
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path() + QStringLiteral("/data")));
    QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    qputenv("XDG_DATA_HOME", saved);
    return path;
}

void Bench::Profile::useInThisProcess() const
{
    const QProcessEnvironment environment = this->environment();
    for (const QString &name : { QStringLiteral("HOME"), QStringLiteral("XDG_DATA_HOME"),
             QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("XDG_CACHE_HOME") })
        qputenv(qPrintable(name), QFile::encodeName(environment.value(name)));
}

Bench::LauncherRun Bench::runLauncher(
    const QString &program, const QStringList &arguments, const QProcessEnvironment &environment, int timeoutMs)
{
    LauncherRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QEventLoop loop;
    QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &process, &QProcess::kill);
    timeout.start(timeoutMs);
    run.startedAtNs = monotonicNs();
    process.start(program, arguments);
    if (process.state() != QProcess::NotRunning || process.waitForStarted(0))
        loop.exec();
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.errorOutput = QString::fromLocal8Bit(process.readAllStandardError());
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() == 2)
            run.values.insert(parts.at(0), parts.at(1).toLongLong());
    }
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && !run.values.isEmpty();
    return run;
}

double Bench::msUntil(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
    const QString &value, int timeoutMs)
{
    const LauncherRun run = runLauncher(program, arguments, environment, timeoutMs);
    if (!run.ok || !run.values.contains(value)) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), qPrintable(run.errorOutput));
        return -1;
    }
    return milliseconds(run.values.value(value) - run.startedAtNs);
}

bool Bench::compareByTurns(const QString &what, const QString &unit, int runs, const std::function<double()> &program,
    const std::function<double()> &floor, double target)
{
    QVector<double> programValues;
    QVector<double> floorValues;
    for (int i = 0; i < runs; ++i) {
        programValues.append(program());
        floorValues.append(floor());
        if (programValues.last() < 0 || floorValues.last() < 0)
            return false;
    }
    printComparison(what, unit, programValues, floorValues, target);
    return true;
}

qint64 Bench::monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

#include "memerecord.h"

#include <QUuid>

QStringList Bench::fillBunker(const QString &bunkerPath, int count, const QByteArray &imageBytes)
{
    QDir().mkpath(bunkerPath);
    QStringList keys;
    const qint64 firstSecond = 1700000000;
    for (int i = 0; i < count; ++i) {
        MemeRecord record;
        record.title = QStringLiteral("Saved meme number %1, kept for later").arg(i);
        record.format = QStringLiteral("jpeg");
        record.key
            = QString::number(firstSecond + i) + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QFile image(bunkerPath + record.key + QStringLiteral(".jpeg"));
        if (image.open(QIODevice::WriteOnly))
            image.write(imageBytes);
        QFile file(bunkerPath + record.key + QStringLiteral(".dat"));
        if (file.open(QIODevice::WriteOnly))
            file.write(record.toBytes());
        keys.prepend(record.key);
    }
    return keys;
}

bool Bench::hasDisplay(const char *program)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return true;
    std::fprintf(stderr, "%s needs a display: run it under xvfb-run -a\n", program);
    return false;
}

int Bench::setUpOnDisplay(const char *program, TestHttpServer &server)
{
    if (!hasDisplay(program))
        return 2;
    return server.listen() ? 0 : 1;
}
