#include "groups/GroupListModel.h"

#include "article/GroupName.h"
#include "groups/NewsrcStore.h"

TGroupListModel::TGroupListModel(TNewsrcStore& store, QObject* parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

TGroupListModel::TRow TGroupListModel::GroupListData(int row) const
{
    return {m_store.GetGroup(row), QString::number(m_store.GetGroupCount(row))};
}

void TGroupListModel::SetRowCount(int count)
{
    beginResetModel();
    m_rowCount = qMax(0, count);
    endResetModel();
}

void TGroupListModel::SetCaption(const QString& caption)
{
    m_caption = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void TGroupListModel::Repaint()
{
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(m_rowCount - 1, 1));
}

int TGroupListModel::FirstColumnWidth(int rowCount, int visibleRows, int paneWidth, int countWidth)
{
    return paneWidth - countWidth - (rowCount < visibleRows ? 4 : 25);
}

int TGroupListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TGroupListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TGroupListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const TRow row = GroupListData(index.row());
    return index.column() == 0 ? QVariant(GroupName::Shown(row.Name)) : QVariant(row.Count);
}

QVariant TGroupListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? m_caption : QStringLiteral("Count");
}
