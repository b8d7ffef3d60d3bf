#include "startup.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQml>

#include <csignal>

namespace {
// Lets a test document report which Controls style start-up selected.
class ProbeInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString style READ style CONSTANT)

public:
    using QObject::QObject;
    QString style() const { return QQuickStyle::name(); }

    // Where a control's implementation came from, which names the style really in use.
    Q_INVOKABLE QString sourceOf(QObject *object) const
    {
        const QQmlContext *context = qmlContext(object);
        return context ? context->baseUrl().toString() : QString();
    }

    // Delivers a signal while the document is still loading, before the event loop runs.
    Q_INVOKABLE void raiseSignal(int signalNumber) const { std::raise(signalNumber); }
};
} // namespace

// Runs the application's start-up on the document named by the only argument, so that tests can
// observe start-up from inside QML.
int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    const QString document = QString::fromLocal8Bit(argv[1]);
    int count = 1;
    qmlRegisterSingletonType<ProbeInfo>(
        "Probe", 1, 0, "ProbeInfo", [](QQmlEngine *, QJSEngine *) -> QObject * { return new ProbeInfo; });
    return Startup::run(count, argv, document);
}

#include "main.moc"
