#pragma once

#include <QCommandLineParser>
#include <QStringList>

// The program's own options (--help, --version), read before the application object exists so
// that they, and mistakes, are answered at once and without a display. Qt's own options
// (-platform, -reverse and the like) pass through to the application object.
class CommandLine {
public:
    enum class Outcome { Start, Help, Version, Mistake };

    explicit CommandLine(const QStringList &arguments);

    static QStringList argumentsOf(int argc, char **argv);

    Outcome outcome() const { return result; }

    // Prints the answer to an outcome other than Start and returns the exit status: 0, or 2 for
    // a mistake (on standard error, with a pointer to --help).
    int answer(int argc, char **argv) const;

private:
    void acceptQtOptions();
    static QString versionText();

    QCommandLineParser parser;
    Outcome result = Outcome::Start;
    QString mistake;
};
