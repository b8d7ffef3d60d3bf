#pragma once

#include <QAbstractListModel>
#include <QVector>

// A flat list model over QObject pointers, so that a QML view can read the properties of back-end
// objects. The model does not own its items: whoever creates an item keeps it alive.
class ObjectListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Roles { ItemRole = Qt::UserRole + 1 };

    explicit ObjectListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = ItemRole) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void append(QObject *item);
    void insert(QObject *item);
    void remove(QObject *item);

private:
    QVector<QObject *> items;
};
