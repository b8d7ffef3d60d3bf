#include "objectlistmodel.h"

ObjectListModel::ObjectListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int ObjectListModel::rowCount(const QModelIndex &parent) const
{
    // A flat list: only the invisible root has children.
    if (parent.isValid())
        return 0;
    return items.size();
}

QVariant ObjectListModel::data(const QModelIndex &index, int role) const
{
    Q_UNUSED(role)
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return QVariant::fromValue(items.at(index.row()));
}

QHash<int, QByteArray> ObjectListModel::roleNames() const
{
    return { { ItemRole, "item" } };
}

void ObjectListModel::append(QObject *item)
{
    const int row = items.size();
    beginInsertRows(QModelIndex(), row, row);
    items.append(item);
    endInsertRows();
}

void ObjectListModel::insert(QObject *item)
{
    beginInsertRows(QModelIndex(), 0, 0);
    items.prepend(item);
    endInsertRows();
}

void ObjectListModel::remove(QObject *item)
{
    const int row = items.indexOf(item);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    items.remove(row);
    endRemoveRows();
}
