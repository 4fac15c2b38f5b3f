#pragma once

#include "ui/LatestShown.h"
#include "base/TaskRow.h"

#include <QDialog>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// "Task List": one top-level node per queued task with its values as child lines, and beside
// each task its state, file, groups and server. A failure clears the list (the tasks go to
// the task file); the line under the list keeps what failed and why. Lives from start-up to
// the end; OK and the close box only hide it.
class TTaskListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TTaskListForm(QWidget* parent = nullptr);

    QTreeWidget* TaskView() const { return m_taskView; }
    // The columns beside the caption.
    enum TColumn
    {
        StateColumn = 1,
        FileColumn,
        GroupsColumn,
        ServerColumn,
        ColumnCount
    };

    void AddTask(const TTaskRow& row);
    void SetHeadState(const QString& state);
    void SetState(int index, const QString& state);
    // Marks the head task failed and keeps the reason under the list.
    void ShowHeadFailure(const QString& reason);
    QString FailureText() const;
    void InsertTask(int index, const TTaskRow& row);
    void RemoveFirst();
    void RemoveAt(int index);
    void Move(int from, int to);
    void Clear();
    int TaskCount() const;

    void OkButtonClick();

private:
    void showHeadState(const QString& state);
    static QTreeWidgetItem* newNode(const TTaskRow& row);

    QTreeWidget* m_taskView;
    QLabel* m_failure;
    TLatestShown m_headState{[this](const QString& state) { showHeadState(state); }, this};
};
