#include "ui/HistoryDialog.h"

#include "app/HistoryControl.h"
#include "ui/HistoryModel.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

THistoryDialog::THistoryDialog(QWidget* parent) : QDialog(parent), m_model(new THistoryModel(this))
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("History"));
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("HistoryView"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setSectionResizeMode(THistoryModel::NameColumn,
                                                     QHeaderView::Interactive);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &THistoryDialog::updateButtons);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &THistoryDialog::openFolder);

    m_check = button("HistoryCheckButton", QStringLiteral("Check again"),
                     QStringLiteral("Ask the server for every article of the batch"));
    m_repair = button("HistoryRepairButton", QStringLiteral("Repair"),
                      QStringLiteral("Post the missing articles again from the files posted"));
    m_repairFrom =
        button("HistoryRepairFromButton", QStringLiteral("Repair from…"),
               QStringLiteral("Post the missing articles again from the files in another folder"));
    m_openFolder = button("HistoryOpenFolderButton", QStringLiteral("Open folder"),
                          QStringLiteral("Show the NZB file's folder"));
    m_copyPath = button("HistoryCopyPathButton", QStringLiteral("Copy NZB path"),
                        QStringLiteral("Copy the NZB file's path to the clipboard"));
    m_stop = button("HistoryStopButton", QStringLiteral("Stop"),
                    QStringLiteral("Stop the check or repair"));
    QPushButton* refresh = button("HistoryRefreshButton", QStringLiteral("Refresh"),
                                  QStringLiteral("Read the journals and NZB files again"));
    QPushButton* close = button("HistoryCloseButton", QStringLiteral("Close"), QString());
    connect(m_check, &QPushButton::clicked, this, [this] {
        m_lastBatch = SelectedBatch();
        m_lastRepair = false;
        emit CheckClicked(m_lastBatch);
    });
    connect(m_repair, &QPushButton::clicked, this, [this] {
        m_lastBatch = SelectedBatch();
        m_lastFolder.clear();
        m_lastRepair = true;
        emit RepairClicked(m_lastBatch, m_lastFolder);
    });
    connect(m_repairFrom, &QPushButton::clicked, this, &THistoryDialog::repairFrom);
    connect(m_openFolder, &QPushButton::clicked, this, &THistoryDialog::openFolder);
    connect(m_copyPath, &QPushButton::clicked, this, [this] {
        const int row = m_view->currentIndex().row();
        if (row >= 0)
            QApplication::clipboard()->setText(m_model->Entry(row).Nzb);
    });
    connect(m_stop, &QPushButton::clicked, this, &THistoryDialog::StopClicked);
    connect(refresh, &QPushButton::clicked, this, &THistoryDialog::RefreshClicked);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("HistoryStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("HistoryProgress"));
    m_progress->hide();

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_check, m_repair, m_repairFrom, m_openFolder, m_copyPath})
        buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {m_stop, refresh, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(1000, 360);
    updateButtons();
}

QPushButton* THistoryDialog::button(const char* name, const QString& text, const QString& hint)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

void THistoryDialog::ShowEntries(const QList<THistoryEntry>& entries, const QStringList& errors)
{
    const QString selected = SelectedBatch();
    m_model->SetEntries(entries);
    if (!m_columnsKept && !entries.isEmpty()) {
        m_columnsKept = true;
        m_view->resizeColumnsToContents();
        m_view->setColumnWidth(THistoryModel::NameColumn,
                               qMin(m_view->columnWidth(THistoryModel::NameColumn), 260));
        m_view->setColumnWidth(THistoryModel::GroupsColumn,
                               qMin(m_view->columnWidth(THistoryModel::GroupsColumn), 160));
        m_view->setColumnWidth(THistoryModel::NzbColumn,
                               qMin(m_view->columnWidth(THistoryModel::NzbColumn), 160));
    }
    SelectBatch(selected.isEmpty() && !entries.isEmpty() ? entries.last().Batch : selected);
    if (!m_busy)
        m_status->setText(errors.isEmpty()
                              ? (entries.isEmpty()
                                     ? QStringLiteral("Nothing was posted yet.")
                                     : QStringLiteral("%1 batch(es) posted.").arg(entries.size()))
                              : errors.join(u'\n'));
    updateButtons();
}

void THistoryDialog::ShowProgress(const QString& batch, int done, int total, const QString& text)
{
    m_busy = true;
    m_progress->show();
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    const QString line =
        total > 0 ? QStringLiteral("%1 (%2 of %3)").arg(text).arg(done).arg(total) : text;
    m_status->setText(QStringLiteral("%1: %2").arg(m_model->NameOf(batch), line));
    m_model->SetResult(batch,
                       total > 0 ? QStringLiteral("checking %1 of %2").arg(done).arg(total) : text);
    updateButtons();
}

QString THistoryDialog::resultText(const THistoryResult& result)
{
    QString text =
        result.Repair
            ? QStringLiteral("%1 missing, %2 posted again").arg(result.Missing).arg(result.Reposted)
            : QStringLiteral("%1 found, %2 missing")
                  .arg(result.Articles - result.Missing)
                  .arg(result.Missing);
    if (result.Stopped)
        return QStringLiteral("stopped before the end");
    if (result.Error.isEmpty())
        return text;
    // A repair that asked the server has counts worth keeping beside why it stopped.
    return result.Repair && result.Missing > 0
               ? QStringLiteral("%1; stopped: %2").arg(text, result.Error)
               : QStringLiteral("stopped: %1").arg(result.Error);
}

void THistoryDialog::ShowResult(const THistoryResult& result)
{
    m_busy = false;
    m_progress->hide();
    m_model->SetResult(result.Batch, resultText(result));
    m_status->setText(
        QStringLiteral("%1: %2").arg(m_model->NameOf(result.Batch), resultText(result)));
    if (!m_columnsKept)
        m_view->resizeColumnToContents(THistoryModel::ResultColumn);
    updateButtons();
    // Stopped by the user: the row says so, no error box.
    if (result.Error.isEmpty() || result.Stopped)
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quorvel"),
                    QStringLiteral("%1 of %2 failed: %3")
                        .arg(result.Repair ? QStringLiteral("Repair") : QStringLiteral("Check"),
                             m_model->NameOf(result.Batch), result.Error),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* setup = box.addButton(QStringLiteral("Open Setup"), QMessageBox::ActionRole);
    QPushButton* retry = box.addButton(QStringLiteral("Retry"), QMessageBox::ActionRole);
    // A file that changed or moved: the files as they were may be elsewhere now.
    QPushButton* from = result.Repair
                            ? box.addButton(QStringLiteral("Repair from…"), QMessageBox::ActionRole)
                            : nullptr;
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == setup)
        QTimer::singleShot(0, this, &THistoryDialog::SetupWanted);
    else if (from && box.clickedButton() == from)
        QTimer::singleShot(0, this, &THistoryDialog::repairFrom);
    else if (box.clickedButton() == retry)
        QTimer::singleShot(0, this, [this] {
            if (m_lastRepair)
                emit RepairClicked(m_lastBatch, m_lastFolder);
            else
                emit CheckClicked(m_lastBatch);
        });
}

void THistoryDialog::ShowRefusal(const QString& text)
{
    m_status->setText(text);
    QMessageBox::information(this, QStringLiteral("Quorvel"), text);
}

QString THistoryDialog::SelectedBatch() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : m_model->Entry(rows.first().row()).Batch;
}

void THistoryDialog::SelectBatch(const QString& batch)
{
    if (const int row = m_model->RowOf(batch); row >= 0)
        m_view->selectRow(row);
}

void THistoryDialog::updateButtons()
{
    const int row = m_view->selectionModel()->selectedRows().isEmpty()
                        ? -1
                        : m_view->selectionModel()->selectedRows().first().row();
    const bool chosen = row >= 0;
    const bool nzb = chosen && !m_model->Entry(row).Nzb.isEmpty();
    m_check->setEnabled(chosen && !m_busy);
    m_repair->setEnabled(chosen && !m_busy);
    m_repairFrom->setEnabled(chosen && !m_busy);
    m_openFolder->setEnabled(nzb);
    m_copyPath->setEnabled(nzb);
    m_stop->setEnabled(m_busy);
}

void THistoryDialog::openFolder()
{
    const QString batch = SelectedBatch();
    const int row = m_model->RowOf(batch);
    if (row < 0 || m_model->Entry(row).Nzb.isEmpty())
        return;
    const QString folder = QFileInfo(m_model->Entry(row).Nzb).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        m_status->setText(QStringLiteral("No program opened the folder %1").arg(folder));
}

void THistoryDialog::repairFrom()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder the files are in now"), QDir::homePath());
    if (folder.isEmpty())
        return;
    m_lastBatch = SelectedBatch();
    m_lastFolder = folder;
    m_lastRepair = true;
    emit RepairClicked(m_lastBatch, m_lastFolder);
}
