#pragma once

#include "upload/BatchProgress.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;
class TQueueModel;

// The queue in the main window: the batch's bar, a row per task with its state, progress,
// speed and time left, and the commands on the queue. While nothing is queued it lists the
// tasks the task file keeps and offers them ("3 uploads were not finished: Resume / Later").
// It only shows and asks; the program's wiring carries the commands out.
class TQueuePanel : public QWidget
{
    Q_OBJECT
public:
    explicit TQueuePanel(QWidget* parent = nullptr);

    TQueueModel* Model() const { return m_model; }
    QTreeView* View() const { return m_view; }
    QProgressBar* BatchBar() const { return m_batchBar; }

    void ShowBatch(const TBatchProgressState& state);
    // The queue emptied: the figures of a batch no longer running go.
    void EndBatch();
    // The kept tasks are offered with this line; empty takes the offer away.
    void OfferKept(const QString& summary);
    QString KeptOffer() const;
    // The buttons follow the rows and the selection.
    void UpdateButtons();

signals:
    void PauseClicked();
    void ResumeClicked();
    void RetryClicked();
    void RemoveClicked(int row);
    void MoveClicked(int row, int to);

private:
    QPushButton* button(const char* name, const QString& text, const QString& hint);
    int selectedRow() const;
    bool waiting(int row) const;

    TQueueModel* m_model;
    QProgressBar* m_batchBar;
    QWidget* m_keptBar;
    QLabel* m_keptLabel;
    QTreeView* m_view;
    QPushButton* m_pause;
    QPushButton* m_resume;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    QPushButton* m_retry;
    int m_lastPercent = -1;
};
