#pragma once

#include "base/TaskRow.h"
#include "upload/BatchProgress.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the queue panel: one per queued task (or, while nothing is queued, per task the
// task file keeps), with its state, and for the file being posted its progress, speed and
// time left. Follows the task list's changes as the window is told of them.
class TQueueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn
    {
        TaskColumn,
        StateColumn,
        ProgressColumn,
        SpeedColumn,
        LeftColumn,
        GroupsColumn,
        ServerColumn,
        ColumnCount
    };
    static constexpr int PercentRole = Qt::UserRole + 1;

    explicit TQueueModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Add(const TTaskRow& row);
    void Insert(int index, const TTaskRow& row);
    void RemoveAt(int index);
    void Move(int from, int to);
    void Clear();
    void SetState(int index, const QString& state);
    // The head stopped for that reason.
    void SetHeadFailed(const QString& reason);
    // The batch moved on: the head row's part, speed and time left.
    void ShowBatch(const TBatchProgressState& state);
    // Nothing queued: the rows of the kept tasks, or none.
    void ShowKept(const QList<TTaskRow>& rows);
    bool ShowsKept() const { return m_kept; }
    int LiveCount() const { return m_kept ? 0 : int(m_rows.size()); }
    QString State(int row) const;

private:
    struct TRow
    {
        TTaskRow Task;
        QString State = QStringLiteral("waiting");
        int Percent = -1; // -1: no figure
        qint64 BytesPerSecond = 0;
        qint64 SecondsLeft = -1;
    };
    QString taskText(const TRow& row) const;
    void changed(int row);
    void dropKept();

    QList<TRow> m_rows;
    bool m_kept = false;
};
