#include "benchsupport.h"
#include "bunker.h"
#include "startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Bunker listing: Bunker::load() at 10, 1,000 and 10,000 saved memes against a floor that lists
// the same directory and reads every record file into memory with plain C++, without parsing.
namespace {
std::size_t readAllRecords(const std::string &directory)
{
    std::vector<std::string> contents;
    for (const auto &entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0)
            continue;
        std::string bytes;
        if (std::FILE *file = std::fopen(entry.path().c_str(), "rb")) {
            char buffer[4096];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                bytes.append(buffer, got);
            std::fclose(file);
        }
        contents.push_back(std::move(bytes));
    }
    return contents.size();
}
} // namespace

int main(int argc, char *argv[])
{
    Bench::Profile profile;
    profile.useInThisProcess();
    QCoreApplication application(argc, argv);
    Startup::setIdentity(application);
    const int runs = Bench::repetitions(argc, argv, 11);

    const QString bunkerPath
        = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/bunker/");
    int stored = 0;
    QVector<double> perMeme;
    for (int count : { 10, 1000, 10000 }) {
        Bench::fillBunker(bunkerPath, count - stored, QByteArray(2048, 'x'));
        stored = count;
        // Short listings are repeated inside one timing so that the clock's resolution does not matter.
        const int iterations = qMax(1, 20000 / count);
        Bunker bunker;
        QString json = bunker.load();
        readAllRecords(bunkerPath.toStdString());
        QVector<double> programTimes;
        QVector<double> floorTimes;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < iterations; ++i)
                json = bunker.load();
            programTimes.append(Bench::milliseconds(clock.nsecsElapsed()) / iterations);
            clock.start();
            std::size_t read = 0;
            for (int i = 0; i < iterations; ++i)
                read = readAllRecords(bunkerPath.toStdString());
            floorTimes.append(Bench::milliseconds(clock.nsecsElapsed()) / iterations);
            if (read != std::size_t(count) || json.count(QStringLiteral("\"uuid\"")) != count) {
                std::fprintf(stderr, "expected %d memes\n", count);
                return 1;
            }
        }
        Bench::printComparison(QStringLiteral("Bunker::load() at %1 memes").arg(count), QStringLiteral("ms"),
            programTimes, floorTimes, 1.5);
        perMeme.append(Bench::median(programTimes) * 1000 / count);
    }
    std::printf(
        "per meme (us): %.2f at 10, %.2f at 1,000, %.2f at 10,000\n", perMeme.at(0), perMeme.at(1), perMeme.at(2));
    return 0;
}
