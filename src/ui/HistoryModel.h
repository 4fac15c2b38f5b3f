#pragma once

#include "upload/UploadHistory.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The rows of the history view: one per batch, the newest first, and beside each what the
// last Check again or Repair found ("40 found, 5 missing") or what it is doing now.
class THistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn
    {
        DateColumn,
        NameColumn,
        FilesColumn,
        SizeColumn,
        GroupsColumn,
        ArticlesColumn,
        MissingColumn,
        StateColumn,
        NzbColumn,
        ResultColumn,
        ColumnCount
    };

    explicit THistoryModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The entries as read (the oldest first); the results shown stay with their batches.
    void SetEntries(const QList<THistoryEntry>& entries);
    const THistoryEntry& Entry(int row) const { return m_entries.at(row); }
    int RowOf(const QString& batch) const;
    void SetResult(const QString& batch, const QString& text);
    QString Result(int row) const;
    // The batch as the user knows it: its NZB file's name, else its first subject.
    static QString NameOf(const THistoryEntry& entry);
    QString NameOf(const QString& batch) const;

private:
    QList<THistoryEntry> m_entries;
    QHash<QString, QString> m_results; // by batch
};
