#include "ui/TaskListForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
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
    m_taskView->setHeaderHidden(true);
    m_taskView->setColumnCount(1);
    m_taskView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Paths and subject lines are long: scroll sideways instead of cutting them off.
    m_taskView->header()->setStretchLastSection(false);
    m_taskView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_taskView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TTaskListForm::OkButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_taskView);
    layout->addLayout(buttons);
    setFixedSize(560, 360);
}

void TTaskListForm::AddTask(const QString& caption, const QStringList& children)
{
    auto* node = new QTreeWidgetItem(m_taskView, QStringList{caption});
    for (const QString& line : children)
        new QTreeWidgetItem(node, QStringList{line});
}

void TTaskListForm::InsertTask(int index, const QString& caption, const QStringList& children)
{
    auto* node = new QTreeWidgetItem(QStringList{caption});
    for (const QString& line : children)
        new QTreeWidgetItem(node, QStringList{line});
    m_taskView->insertTopLevelItem(index, node);
}

void TTaskListForm::RemoveFirst()
{
    delete m_taskView->takeTopLevelItem(0);
}

void TTaskListForm::Clear()
{
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
