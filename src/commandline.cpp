#include "commandline.h"

#include "startup.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
const char programName[] = "jestcrate";
const int mistakeStatus = 2;
} // namespace

CommandLine::CommandLine(const QStringList &arguments)
{
    // Qt's own options are single-dash words, so ours are read the same way: -version is --version.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Browse image memes from one forum board, keep the ones you like in your Meme bunker, "
                       "and keep copypastas ready to copy.\n"
                       "Qt's own options (-platform, -reverse, -qwindowgeometry and the like) are accepted too."));
    // Not addHelpOption(): its --help-all promises Qt's options, which only a GUI application object lists.
    parser.addOption(QCommandLineOption(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Displays help on commandline options.")));
    parser.addVersionOption();
    acceptQtOptions();

    if (!parser.parse(arguments))
        mistake = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        mistake = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    if (!mistake.isEmpty())
        result = Outcome::Mistake;
    else if (parser.isSet(QStringLiteral("help")))
        result = Outcome::Help;
    else if (parser.isSet(QStringLiteral("version")))
        result = Outcome::Version;
}

// Options that QGuiApplication and the QML engine take from the command line themselves.
void CommandLine::acceptQtOptions()
{
    const QStringList withValue { QStringLiteral("platform"), QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("qmljsdebugger") };
    for (const QString &name : withValue) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
}

QStringList CommandLine::argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

QString CommandLine::versionText()
{
    return QString::fromLatin1(Startup::applicationName) + QLatin1Char(' ')
        + QString::fromLatin1(Startup::applicationVersion);
}

int CommandLine::answer(int argc, char **argv) const
{
    switch (result) {
    case Outcome::Start:
        break;
    case Outcome::Help: {
        // The parser names the program in its usage line after the arguments of an application object.
        int count = argc;
        const QCoreApplication application(count, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    case Outcome::Version:
        std::printf("%s\n", qPrintable(versionText()));
        return 0;
    case Outcome::Mistake:
        std::fprintf(
            stderr, "%s: %s\nTry '%s --help' for the options.\n", programName, qPrintable(mistake), programName);
        return mistakeStatus;
    }
    return 0;
}
