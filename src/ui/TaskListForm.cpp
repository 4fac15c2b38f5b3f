#include "ui/TaskListForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TTaskListForm::TTaskListForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TaskListForm"));
    setWindowTitle(QStringLiteral("Task List"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setModal(false);

    m_taskView = new QTreeWidget(this);
    m_taskView->setObjectName(QStringLiteral("TaskView"));
    m_taskView->setColumnCount(ColumnCount);
    m_taskView->setHeaderLabels({QStringLiteral("Task"), QStringLiteral("State"),
                                 QStringLiteral("File"), QStringLiteral("Groups"),
                                 QStringLiteral("Server")});
    m_taskView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Paths and subject lines are long: scroll sideways instead of cutting them off.
    m_taskView->header()->setStretchLastSection(false);
    m_taskView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_taskView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("FailureLabel"));
    m_failure->setWordWrap(true);
    m_failure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_failure->hide();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TTaskListForm::OkButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_taskView);
    layout->addWidget(m_failure);
    layout->addLayout(buttons);
    setFixedSize(760, 400);
}

QTreeWidgetItem* TTaskListForm::newNode(const TTaskRow& row)
{
    auto* node = new QTreeWidgetItem(
        QStringList{row.Caption, QStringLiteral("waiting"), row.File, row.Groups, row.Server});
    for (const QString& line : row.Children)
        new QTreeWidgetItem(node, QStringList{line});
    return node;
}

void TTaskListForm::AddTask(const TTaskRow& row)
{
    // A new run: the last one's failure no longer holds.
    if (TaskCount() == 0) {
        m_failure->clear();
        m_failure->hide();
    }
    m_taskView->addTopLevelItem(newNode(row));
}

void TTaskListForm::SetHeadState(const QString& state)
{
    m_headState.Set(state);
}

void TTaskListForm::showHeadState(const QString& state)
{
    if (QTreeWidgetItem* head = m_taskView->topLevelItem(0))
        head->setText(StateColumn, state);
}

void TTaskListForm::SetState(int index, const QString& state)
{
    if (index == 0)
        SetHeadState(state);
    else if (QTreeWidgetItem* row = m_taskView->topLevelItem(index))
        row->setText(StateColumn, state);
}

void TTaskListForm::ShowHeadFailure(const QString& reason)
{
    m_headState.Cancel();
    QString task = QStringLiteral("a task");
    if (QTreeWidgetItem* head = m_taskView->topLevelItem(0)) {
        head->setText(StateColumn, QStringLiteral("failed: ") + reason);
        task = head->text(0);
        if (!head->text(FileColumn).isEmpty())
            task += u' ' + head->text(FileColumn);
    }
    m_failure->setText(QStringLiteral("Last failure: %1: %2").arg(task, reason));
    m_failure->show();
}

QString TTaskListForm::FailureText() const
{
    return m_failure->text();
}

void TTaskListForm::InsertTask(int index, const TTaskRow& row)
{
    if (index == 0)
        m_headState.Cancel();
    m_taskView->insertTopLevelItem(index, newNode(row));
}

void TTaskListForm::RemoveFirst()
{
    // A state still to be shown was the head's that leaves.
    m_headState.Cancel();
    delete m_taskView->takeTopLevelItem(0);
}

void TTaskListForm::RemoveAt(int index)
{
    if (index == 0)
        RemoveFirst();
    else
        delete m_taskView->takeTopLevelItem(index);
}

void TTaskListForm::Move(int from, int to)
{
    if (from == 0 || to == 0)
        m_headState.Cancel();
    if (QTreeWidgetItem* row = m_taskView->takeTopLevelItem(from))
        m_taskView->insertTopLevelItem(to, row);
}

void TTaskListForm::Clear()
{
    m_headState.Cancel();
    m_taskView->clear();
}

int TTaskListForm::TaskCount() const
{
    return m_taskView->topLevelItemCount();
}

void TTaskListForm::OkButtonClick()
{
    hide();
}
