#include "ui/QueueModel.h"

#include <algorithm>

TQueueModel::TQueueModel(QObject* parent) : QAbstractTableModel(parent) {}

int TQueueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TQueueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TQueueModel::taskText(const TRow& row) const
{
    if (row.Task.File.isEmpty())
        return row.Task.Caption;
    return row.Task.File + QStringLiteral(" (") + TBatchProgress::BytesText(row.Task.Bytes) + u')';
}

QVariant TQueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const TRow& row = m_rows.at(index.row());
    if (role == PercentRole)
        return row.Percent;
    if (role == Qt::ToolTipRole && index.column() == TaskColumn)
        return row.Task.Children.join(u'\n');
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case TaskColumn:
        return taskText(row);
    case StateColumn:
        return row.State;
    case ProgressColumn:
        return row.Percent < 0 ? QString() : QStringLiteral("%1%").arg(row.Percent);
    case SpeedColumn:
        return row.BytesPerSecond > 0
                   ? TBatchProgress::BytesText(row.BytesPerSecond) + QStringLiteral("/s")
                   : QString();
    case LeftColumn:
        return row.SecondsLeft < 0 ? QString() : TBatchProgress::DurationText(row.SecondsLeft);
    case GroupsColumn:
        return row.Task.Groups;
    case ServerColumn:
        return row.Task.Server;
    default:
        return {};
    }
}

QVariant TQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList titles = {QStringLiteral("Task"),      QStringLiteral("State"),
                                       QStringLiteral("Progress"),  QStringLiteral("Speed"),
                                       QStringLiteral("Time left"), QStringLiteral("Groups"),
                                       QStringLiteral("Server")};
    return titles.value(section);
}

void TQueueModel::dropKept()
{
    if (m_kept)
        Clear();
}

void TQueueModel::Add(const TTaskRow& row)
{
    Insert(LiveCount(), row);
}

void TQueueModel::Insert(int index, const TTaskRow& row)
{
    dropKept();
    index = qBound(0, index, int(m_rows.size()));
    beginInsertRows({}, index, index);
    m_rows.insert(index, TRow{row});
    endInsertRows();
}

void TQueueModel::RemoveAt(int index)
{
    if (m_kept || index < 0 || index >= m_rows.size())
        return;
    beginRemoveRows({}, index, index);
    m_rows.removeAt(index);
    endRemoveRows();
}

void TQueueModel::Move(int from, int to)
{
    if (m_kept || from == to || from < 0 || to < 0 || from >= m_rows.size() || to >= m_rows.size())
        return;
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    m_rows.move(from, to);
    endMoveRows();
}

void TQueueModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_kept = false;
    endResetModel();
}

void TQueueModel::changed(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TQueueModel::SetState(int index, const QString& state)
{
    if (m_kept || index < 0 || index >= m_rows.size())
        return;
    m_rows[index].State = state;
    changed(index);
}

void TQueueModel::SetHeadFailed(const QString& reason)
{
    if (m_kept || m_rows.isEmpty())
        return;
    TRow& head = m_rows.first();
    head.State = QStringLiteral("failed: ") + reason;
    head.BytesPerSecond = 0;
    head.SecondsLeft = -1;
    changed(0);
}

void TQueueModel::ShowBatch(const TBatchProgressState& state)
{
    if (m_kept || m_rows.isEmpty() || state.Parts <= 0)
        return;
    TRow& head = m_rows.first();
    // The parts before the one on its way are through.
    head.Percent = int(std::clamp<qint64>((state.Part - 1) * 100 / state.Parts, 0, 100));
    head.BytesPerSecond = state.BytesPerSecond;
    const qint64 left = head.Task.Bytes * (100 - head.Percent) / 100;
    head.SecondsLeft =
        state.BytesPerSecond > 0 ? (left + state.BytesPerSecond - 1) / state.BytesPerSecond : -1;
    changed(0);
}

void TQueueModel::ShowKept(const QList<TTaskRow>& rows)
{
    beginResetModel();
    m_rows.clear();
    for (const TTaskRow& row : rows) {
        TRow kept{row};
        kept.State = QStringLiteral("kept, not finished");
        m_rows << kept;
    }
    m_kept = !rows.isEmpty();
    endResetModel();
}

QString TQueueModel::State(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).State : QString();
}
