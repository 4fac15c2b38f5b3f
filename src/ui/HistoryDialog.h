#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class THistoryModel;
struct THistoryEntry;
struct THistoryResult;

// "History": every batch posted, with Check again (is every article still on the server?),
// Repair (post the missing ones again), and the NZB file's folder and path. It shows and asks;
// the program's wiring carries the checks and repairs out and reports back here. Lives from
// start-up to the end; closing only hides it.
class THistoryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit THistoryDialog(QWidget* parent = nullptr);

    THistoryModel* Model() const { return m_model; }
    QTableView* View() const { return m_view; }
    QProgressBar* ProgressBar() const { return m_progress; }

    void ShowEntries(const QList<THistoryEntry>& entries, const QStringList& errors);
    // The columns were sized by the user in an earlier run: the entries shown leave them so.
    void KeepColumns(bool kept) { m_columnsKept = kept; }
    void ShowProgress(const QString& batch, int done, int total, const QString& text);
    // The row's result; a failure also in the error box, with Open Setup and Retry.
    void ShowResult(const THistoryResult& result);
    // A check or repair could not begin.
    void ShowRefusal(const QString& text);
    // The batch of the selected row; empty when none is selected.
    QString SelectedBatch() const;
    void SelectBatch(const QString& batch);

signals:
    void RefreshClicked();
    void CheckClicked(const QString& batch);
    // folder: where the files are now; empty: where they were posted from.
    void RepairClicked(const QString& batch, const QString& folder);
    void StopClicked();
    void SetupWanted();

private:
    QPushButton* button(const char* name, const QString& text, const QString& hint);
    void updateButtons();
    void openFolder();
    void repairFrom();
    static QString resultText(const THistoryResult& result);

    THistoryModel* m_model;
    QTableView* m_view;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_check;
    QPushButton* m_repair;
    QPushButton* m_repairFrom;
    QPushButton* m_openFolder;
    QPushButton* m_copyPath;
    QPushButton* m_stop;
    bool m_busy = false;
    // The columns are left as they are: sized once, or by the user in an earlier run.
    bool m_columnsKept = false;
    // What the last action was, for Retry.
    QString m_lastBatch;
    QString m_lastFolder;
    bool m_lastRepair = false;
};
