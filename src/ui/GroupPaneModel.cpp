#include "ui/GroupPaneModel.h"

TGroupPaneModel::TGroupPaneModel(QObject* parent) : QAbstractTableModel(parent) {}

void TGroupPaneModel::SetRowSource(TRowSource source)
{
    beginResetModel();
    m_source = std::move(source);
    endResetModel();
}

void TGroupPaneModel::SetCount(int count)
{
    beginResetModel();
    m_count = qMax(0, count);
    endResetModel();
}

void TGroupPaneModel::SetCaption(const QString& caption)
{
    m_caption = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void TGroupPaneModel::RowsChanged()
{
    if (m_count > 0)
        emit dataChanged(index(0, 0), index(m_count - 1, 1), {Qt::DisplayRole});
}

int TGroupPaneModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int TGroupPaneModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TGroupPaneModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count)
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole || !m_source)
        return {};
    const TRow row = m_source(index.row());
    return index.column() == 0 ? row.Name : row.Count;
}

QVariant TGroupPaneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? m_caption : QStringLiteral("Count");
}
