#include "benchsupport.h"
#include "copypasta.h"
#include "objectlistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// Copypasta store at 1,000 copypastas: add() and remove() (of a row in the middle) against the floor
// of one atomic write of an ini file of the same size (write beside it, flush to disk, rename), which
// is the least a crash-safe store of the whole file does.
// The store is opened before main() runs, so the benchmark runs itself again inside a throw-away
// profile. Debug lines are formatted as usual but not printed, so the console does not count.
namespace {
const int storedCount = 1000;

QString textOf(int i)
{
    return QStringLiteral("This is copypasta number %1. \"Quoted\", with a line break\nand some more words to make "
                          "it as long as the ones people keep: lorem ipsum dolor sit amet, consectetur adipiscing "
                          "elit, sed do eiusmod tempor incididunt ut labore et dolore magna aliqua.")
        .arg(i);
}

void atomicWrite(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".new";
    const int descriptor = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return;
    if (::write(descriptor, bytes.constData(), size_t(bytes.size())) == bytes.size())
        ::fsync(descriptor);
    ::close(descriptor);
    ::rename(temporary.constData(), target.constData());
}

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) { }

int measure(int runs)
{
    qInstallMessageHandler(discardMessages);
    QSettings &store = CopyPasta::store();
    store.beginGroup(QStringLiteral("copypasta"));
    store.beginWriteArray(QStringLiteral("copypastas"));
    for (int i = 0; i < storedCount; ++i) {
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("title"), QStringLiteral("Copypasta %1").arg(i));
        store.setValue(QStringLiteral("cptext"), textOf(i));
    }
    store.endArray();
    store.endGroup();
    store.sync();

    ObjectListModel model;
    CopyPasta::loadInto(&model);
    const QString floorPath = QFileInfo(store.fileName()).absolutePath() + QStringLiteral("/floor.ini");

    QVector<double> addTimes;
    QVector<double> removeTimes;
    QVector<double> floorTimes;
    QElapsedTimer clock;
    for (int run = 0; run < runs; ++run) {
        clock.start();
        CopyPasta::add(QStringLiteral("Added copypasta"), textOf(-1));
        addTimes.append(Bench::milliseconds(clock.nsecsElapsed()));

        const int row = model.rowCount() / 2;
        QObject *item = model.data(model.index(row), ObjectListModel::ItemRole).value<QObject *>();
        clock.start();
        CopyPasta::remove(item, row);
        removeTimes.append(Bench::milliseconds(clock.nsecsElapsed()));

        const QByteArray bytes(int(QFileInfo(store.fileName()).size()), 'x');
        clock.start();
        atomicWrite(floorPath, bytes);
        floorTimes.append(Bench::milliseconds(clock.nsecsElapsed()));
    }
    if (model.rowCount() != storedCount) {
        std::fprintf(stderr, "expected %d copypastas, the model has %d\n", storedCount, model.rowCount());
        return 1;
    }
    std::printf("store file: %lld bytes\n", static_cast<long long>(QFileInfo(store.fileName()).size()));
    Bench::printComparison(QStringLiteral("CopyPasta::add at 1,000"), QStringLiteral("ms"), addTimes, floorTimes, 2);
    Bench::printComparison(
        QStringLiteral("CopyPasta::remove at 1,000"), QStringLiteral("ms"), removeTimes, floorTimes, 2);
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    const int runs = Bench::repetitions(argc, argv, 21);
    if (qEnvironmentVariableIsSet("JESTCRATE_BENCH_PROFILE")) {
        QCoreApplication application(argc, argv);
        return measure(runs);
    }
    QCoreApplication application(argc, argv);
    Bench::Profile profile;
    QProcessEnvironment environment = profile.environment();
    environment.insert(QStringLiteral("JESTCRATE_BENCH_PROFILE"), profile.path());
    QProcess self;
    self.setProcessEnvironment(environment);
    self.setProcessChannelMode(QProcess::ForwardedChannels);
    self.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    self.waitForFinished(-1);
    return self.exitStatus() == QProcess::NormalExit ? self.exitCode() : 1;
}
