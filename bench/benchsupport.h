#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QVector>

#include <functional>

class TestHttpServer;

// What the benchmark drivers share: medians and their printing, throw-away profiles for the
// program, and running a launcher that reports "name value" lines on its standard output.
namespace Bench {
double median(QVector<double> values);
inline double milliseconds(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

// One line of figures: the program's median, the floor's median and their ratio.
void printComparison(const QString &what, const QString &unit, const QVector<double> &program,
    const QVector<double> &floor, double target);

// Repetitions from the first argument, or the default.
int repetitions(int argc, char **argv, int fallback);
// Whether there is a display to draw on; says how to get one when there is not.
bool hasDisplay(const char *program);
// What a benchmark on a display with a loopback server checks first: 0 when both are there, else
// the status to exit with (2 without a display, 1 when the server cannot listen).
int setUpOnDisplay(const char *program, TestHttpServer &server);

// Data, config, cache and runtime folders of their own, so that no run touches a real profile.
class Profile {
public:
    Profile();
    bool isValid() const { return folder.isValid(); }
    QString path() const { return folder.path(); }
    QProcessEnvironment environment() const;
    // The program's default settings store, as the program reads it on this platform.
    void writeDefaultSettings(const QVariantMap &values) const;
    // The program's writable application data folder inside this profile.
    QString appDataPath() const;
    // Points this process's own standard paths at the profile (for in-process benchmarks).
    void useInThisProcess() const;

private:
    QTemporaryDir folder;
};

struct LauncherRun {
    bool ok = false;
    qint64 startedAtNs = 0;
    QMap<QString, qint64> values;
    QString errorOutput;
};

// Starts the program and waits (running the event loop, so an in-process server keeps serving)
// until it ends; collects its "name value" output lines.
LauncherRun runLauncher(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
    int timeoutMs = 120000);

// Milliseconds from the launcher's start to the moment it reported as `value`; -1, after printing
// why, when it failed or did not report it.
double msUntil(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
    const QString &value, int timeoutMs = 120000);

// Runs the program and its floor by turns, `runs` times each (so the machine's noise spreads over
// both), and prints their comparison; false when a run failed.
bool compareByTurns(const QString &what, const QString &unit, int runs, const std::function<double()> &program,
    const std::function<double()> &floor, double target);

qint64 monotonicNs();
} // namespace Bench

namespace Bench {
// Saved memes as the bunker writes them: a record and an image file each, keys one second apart
// so that the listing order is defined. Returns the keys, newest first.
QStringList fillBunker(const QString &bunkerPath, int count, const QByteArray &imageBytes);
} // namespace Bench
