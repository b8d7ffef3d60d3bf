#include "copypasta.h"

#include "objectlistmodel.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString groupName = QStringLiteral("copypasta");
const QString arrayName = QStringLiteral("copypastas");
const QString titleKey = QStringLiteral("title");
const QString textKey = QStringLiteral("cptext");

QString storePath()
{
    // Resolved before the application names are set, so it lies directly under the data root.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/settings/settings.ini");
}

// Constructed during static initialisation and destroyed at process exit, which writes any
// pending change at the latest.
QSettings copypastaSettings(storePath(), QSettings::IniFormat);

struct StoredCopyPasta {
    QString title;
    QString cptext;
};

// How many array positions to read, with `settings` inside the copypasta group: the stored size, but
// never beyond the highest position that has a key in the file. A damaged size (2147483647, say)
// would otherwise make start-up create empty copypastas until memory runs out.
int storedCount(QSettings &settings)
{
    const int size = settings.beginReadArray(arrayName);
    settings.endArray();
    settings.beginGroup(arrayName);
    int highest = 0;
    for (const QString &position : settings.childGroups()) {
        bool ok = false;
        const int index = position.toInt(&ok);
        // Only the spelling QSettings itself writes names an array position ("7", not "07" or "+7").
        if (ok && index > highest && QString::number(index) == position)
            highest = index;
    }
    settings.endGroup();
    return qBound(0, size, highest);
}
} // namespace

ObjectListModel *CopyPasta::attachedModel = nullptr;

CopyPasta::CopyPasta(QObject *parent)
    : QObject(parent)
{
}

CopyPasta::CopyPasta(const QString &title, const QString &cptext, QObject *parent)
    : QObject(parent)
{
    this->title = title;
    emit titleChanged();
    this->cptext = cptext;
    emit cptextChanged();
}

QSettings &CopyPasta::store()
{
    return copypastaSettings;
}

void CopyPasta::loadInto(ObjectListModel *model)
{
    attachedModel = model;
    QSettings &settings = store();
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        // Items live until the process ends; neither the model nor QML owns them.
        model->insert(new CopyPasta(settings.value(titleKey).toString(), settings.value(textKey).toString()));
    }
    qDebug() << settings.value(titleKey).toString() << "|" << settings.value(textKey).toString();
    settings.endArray();
    settings.endGroup();
}

void CopyPasta::add(const QString &title, const QString &cptext)
{
    QSettings &settings = store();
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginWriteArray(arrayName);
    settings.setArrayIndex(count);
    settings.setValue(titleKey, title);
    settings.setValue(textKey, cptext);
    settings.endArray();
    settings.endGroup();
    // Written out at once so that a crash right after cannot lose the new copypasta.
    settings.sync();

    if (attachedModel)
        attachedModel->insert(new CopyPasta(title, cptext));
}

void CopyPasta::remove(QObject *item, int index)
{
    QSettings &settings = store();
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginReadArray(arrayName);
    QVector<StoredCopyPasta> stored;
    stored.reserve(count);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QVariant storedTitle = settings.value(titleKey);
        const QVariant storedText = settings.value(textKey);
        stored.append({ storedTitle.toString(), storedText.toString() });
        qDebug() << "index " << index << " | title " << storedTitle << " | cptext " << storedText;
    }
    settings.endArray();
    settings.remove(arrayName);

    // Model rows are newest first, stored positions oldest first. QML may pass any int, so the
    // arithmetic is done wide enough not to overflow.
    const qint64 storedPosition = qint64(count) - index - 1;
    if (storedPosition >= 0 && storedPosition < stored.size())
        stored.remove(int(storedPosition));

    settings.beginWriteArray(arrayName);
    for (int i = 0; i < stored.size(); ++i) {
        qDebug() << "NEW LIST:" << stored.at(i).title;
        settings.setArrayIndex(i);
        settings.setValue(titleKey, stored.at(i).title);
        settings.setValue(textKey, stored.at(i).cptext);
    }
    settings.endArray();
    settings.endGroup();
    settings.sync();

    if (attachedModel)
        attachedModel->remove(item);
    qDebug() << settings.allKeys();
}

void CopyPasta::toClipboard(const QString &cptext)
{
    QGuiApplication::clipboard()->setText(cptext, QClipboard::Clipboard);
}
