#include "ui/HistoryModel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

THistoryModel::THistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

int THistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int THistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount] = {
        "Date", "Name", "Files", "Size", "Groups", "Articles", "Missing", "State", "NZB", "Result"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(names[section]);
}

QVariant THistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const THistoryEntry& e = m_entries.at(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == FilesColumn)
            return e.Files.join(u'\n');
        if (index.column() == NzbColumn)
            return e.Nzb;
        if (index.column() == ResultColumn)
            return m_results.value(e.Batch);
        if (index.column() == NameColumn)
            return e.Subject;
        return {};
    }
    if (role == Qt::TextAlignmentRole)
        return index.column() == SizeColumn || index.column() == ArticlesColumn ||
                       index.column() == MissingColumn || index.column() == FilesColumn
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case DateColumn:
        return QDateTime::fromSecsSinceEpoch(e.Date).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    case NameColumn:
        return NameOf(e);
    case FilesColumn:
        return int(e.Files.size());
    case SizeColumn:
        return QLocale().formattedDataSize(e.Size);
    case GroupsColumn:
        return e.Groups.join(QStringLiteral(", "));
    case ArticlesColumn:
        return e.Articles;
    case MissingColumn:
        return e.Missing;
    case StateColumn:
        return THistoryEntry::StateName(e.State);
    case ResultColumn:
        return m_results.value(e.Batch);
    case NzbColumn:
        return e.Nzb.isEmpty() ? QStringLiteral("(none)") : QFileInfo(e.Nzb).fileName();
    }
    return {};
}

void THistoryModel::SetEntries(const QList<THistoryEntry>& entries)
{
    beginResetModel();
    m_entries = entries;
    std::reverse(m_entries.begin(), m_entries.end());
    endResetModel();
}

int THistoryModel::RowOf(const QString& batch) const
{
    for (int row = 0; row < m_entries.size(); ++row)
        if (m_entries.at(row).Batch == batch)
            return row;
    return -1;
}

void THistoryModel::SetResult(const QString& batch, const QString& text)
{
    m_results.insert(batch, text);
    if (const int row = RowOf(batch); row >= 0)
        emit dataChanged(index(row, ResultColumn), index(row, ResultColumn));
}

QString THistoryModel::Result(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_results.value(m_entries.at(row).Batch)
                                              : QString();
}

QString THistoryModel::NameOf(const THistoryEntry& entry)
{
    if (!entry.Nzb.isEmpty()) {
        QString name = QFileInfo(entry.Nzb).fileName();
        for (const QString& end : {QStringLiteral(".nzb"), QStringLiteral(".incomplete")})
            if (name.endsWith(end))
                name.chop(end.size());
        return name;
    }
    return entry.Subject.isEmpty() ? entry.Batch : entry.Subject;
}

QString THistoryModel::NameOf(const QString& batch) const
{
    const int row = RowOf(batch);
    return row < 0 ? batch : NameOf(m_entries.at(row));
}
