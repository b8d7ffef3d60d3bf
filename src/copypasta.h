#pragma once

#include <QObject>
#include <QString>

class ObjectListModel;
class QSettings;

// One copypasta (a named text snippet), and the class-wide service that keeps all of them in the
// copypasta settings file and in the list model shown by QML. The operations are static so that
// every CopyPasta element in QML reaches the same store and model.
class CopyPasta : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ getTitle NOTIFY titleChanged)
    Q_PROPERTY(QString cptext READ getCptext NOTIFY cptextChanged)

public:
    explicit CopyPasta(QObject *parent = nullptr);
    CopyPasta(const QString &title, const QString &cptext, QObject *parent = nullptr);

    QString getTitle() const { return title; }
    QString getCptext() const { return cptext; }

    // Start-up fill: remembers the model and loads every stored copypasta into it, newest first.
    static void loadInto(ObjectListModel *model);

    Q_INVOKABLE static void add(const QString &title, const QString &cptext);
    Q_INVOKABLE static void remove(QObject *item, int index);
    Q_INVOKABLE static void toClipboard(const QString &cptext);

    // The process-wide store, opened before main() runs.
    static QSettings &store();

signals:
    void titleChanged();
    void cptextChanged();

private:
    QString title;
    QString cptext;

    static ObjectListModel *attachedModel;
};
