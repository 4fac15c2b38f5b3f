#include "ui/QueuePanel.h"

#include "ui/QueueModel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The Progress column as a bar.
class TProgressDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const int percent = index.data(TQueueModel::PercentRole).toInt();
        if (percent < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = percent;
        bar.text = index.data().toString();
        bar.textVisible = true;
        bar.state = option.state | QStyle::State_Horizontal;
        bar.palette = option.palette;
        QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
    }
};

} // namespace

TQueuePanel::TQueuePanel(QWidget* parent) : QWidget(parent), m_model(new TQueueModel(this))
{
    setObjectName(QStringLiteral("QueuePanel"));

    m_batchBar = new QProgressBar(this);
    m_batchBar->setObjectName(QStringLiteral("BatchBar"));
    m_batchBar->setToolTip(QStringLiteral("The whole batch"));
    m_batchBar->setRange(0, 100);
    m_batchBar->setValue(0);
    m_batchBar->setFormat(QStringLiteral("No upload running"));
    m_batchBar->setTextVisible(true);

    m_keptBar = new QWidget(this);
    m_keptBar->setObjectName(QStringLiteral("KeptBar"));
    m_keptLabel = new QLabel(m_keptBar);
    m_keptLabel->setObjectName(QStringLiteral("KeptLabel"));
    auto* keptResume = new QPushButton(QStringLiteral("Resume"), m_keptBar);
    keptResume->setObjectName(QStringLiteral("KeptResumeButton"));
    auto* later = new QPushButton(QStringLiteral("Later"), m_keptBar);
    later->setObjectName(QStringLiteral("KeptLaterButton"));
    connect(keptResume, &QPushButton::clicked, this, &TQueuePanel::ResumeClicked);
    connect(later, &QPushButton::clicked, m_keptBar, &QWidget::hide);
    auto* keptLayout = new QHBoxLayout(m_keptBar);
    keptLayout->setContentsMargins(6, 2, 6, 2);
    keptLayout->addWidget(m_keptLabel, 1);
    keptLayout->addWidget(keptResume);
    keptLayout->addWidget(later);
    m_keptBar->setAutoFillBackground(true);
    m_keptBar->setBackgroundRole(QPalette::AlternateBase);
    m_keptBar->hide();

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("QueueView"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setItemDelegateForColumn(TQueueModel::ProgressColumn, new TProgressDelegate(m_view));
    m_view->header()->setStretchLastSection(true);
    m_view->header()->resizeSection(TQueueModel::TaskColumn, 220);
    m_view->header()->resizeSection(TQueueModel::StateColumn, 190);
    m_view->header()->resizeSection(TQueueModel::ProgressColumn, 110);

    m_pause = button("QueuePauseButton", QStringLiteral("Pause"),
                     QStringLiteral("Stop sending and keep the queue in the task file"));
    m_resume = button("QueueResumeButton", QStringLiteral("Resume"),
                      QStringLiteral("Go on with the kept tasks where they stopped"));
    m_remove = button("QueueRemoveButton", QStringLiteral("Remove"),
                      QStringLiteral("Take a task that has not begun off the queue"));
    m_up = button("QueueUpButton", QStringLiteral("Move up"), QString());
    m_down = button("QueueDownButton", QStringLiteral("Move down"), QString());
    m_retry = button("QueueRetryButton", QStringLiteral("Retry with the current server settings"),
                     QStringLiteral("Go on with the kept tasks on the server and login Setup "
                                    "names now"));
    connect(m_pause, &QPushButton::clicked, this, &TQueuePanel::PauseClicked);
    connect(m_resume, &QPushButton::clicked, this, &TQueuePanel::ResumeClicked);
    connect(m_retry, &QPushButton::clicked, this, &TQueuePanel::RetryClicked);
    connect(m_remove, &QPushButton::clicked, this, [this] { emit RemoveClicked(selectedRow()); });
    connect(m_up, &QPushButton::clicked, this,
            [this] { emit MoveClicked(selectedRow(), selectedRow() - 1); });
    connect(m_down, &QPushButton::clicked, this,
            [this] { emit MoveClicked(selectedRow(), selectedRow() + 1); });

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {m_pause, m_resume, m_remove, m_up, m_down})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_retry);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    layout->addWidget(m_batchBar);
    layout->addWidget(m_keptBar);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TQueuePanel::UpdateButtons);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &TQueuePanel::UpdateButtons);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &TQueuePanel::UpdateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TQueuePanel::UpdateButtons);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TQueuePanel::UpdateButtons);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TQueuePanel::UpdateButtons);
    UpdateButtons();
}

QPushButton* TQueuePanel::button(const char* name, const QString& text, const QString& hint)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

int TQueuePanel::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

bool TQueuePanel::waiting(int row) const
{
    return row >= 0 && row < m_model->LiveCount() &&
           m_model->State(row) == QStringLiteral("waiting");
}

void TQueuePanel::UpdateButtons()
{
    const int row = selectedRow();
    const bool live = m_model->LiveCount() > 0;
    m_pause->setEnabled(live);
    m_resume->setEnabled(m_model->ShowsKept());
    m_retry->setEnabled(m_model->ShowsKept());
    m_remove->setEnabled(waiting(row));
    m_up->setEnabled(waiting(row) && waiting(row - 1));
    m_down->setEnabled(waiting(row) && waiting(row + 1));
}

void TQueuePanel::ShowBatch(const TBatchProgressState& state)
{
    m_model->ShowBatch(state);
    if (state.Percent != m_lastPercent) {
        m_lastPercent = state.Percent;
        m_batchBar->setValue(state.Percent);
    }
    m_batchBar->setFormat(QStringLiteral("Batch: ") + TBatchProgress::SummaryText(state));
}

void TQueuePanel::EndBatch()
{
    if (m_lastPercent < 0)
        return;
    m_batchBar->setFormat(m_lastPercent >= 100
                              ? QStringLiteral("Last batch: done")
                              : QStringLiteral("Last batch: stopped at %1%").arg(m_lastPercent));
    m_lastPercent = -1;
}

void TQueuePanel::OfferKept(const QString& summary)
{
    m_keptLabel->setText(summary + u':');
    m_keptBar->setVisible(!summary.isEmpty());
}

QString TQueuePanel::KeptOffer() const
{
    return m_keptBar->isVisibleTo(this) ? m_keptLabel->text() : QString();
}
