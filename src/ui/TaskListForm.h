#pragma once

#include <QDialog>

class QTreeWidget;

// "Task List": one top-level node per queued task with its values as child lines. Lives from
// start-up to the end; OK and the close box only hide it.
class TTaskListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TTaskListForm(QWidget* parent = nullptr);

    QTreeWidget* TaskView() const { return m_taskView; }
    void AddTask(const QString& caption, const QStringList& children);
    void InsertTask(int index, const QString& caption, const QStringList& children);
    void RemoveFirst();
    void Clear();
    int TaskCount() const;

    void OkButtonClick();

private:
    QTreeWidget* m_taskView;
};
