#pragma once

#include "base/View.h"
#include "cli/ProgressDisplay.h"

#include <QObject>
#include <QStringList>

class TTerminal;

// The view for a terminal or a script. Status texts and article progress show on a terminal
// only, a few times a second at most (TProgressDisplay), warnings everywhere as
// "quorvel-cli: warning: ..." lines. Questions are answered by --yes, by the person at the
// terminal, or refused when there is nobody to ask: the program never waits for input
// that cannot come. The From and Subject texts and the folder are plain values here, set by
// the core from the profile; the task view is a list the run watches to know when it ends.
class TTerminalView : public QObject, public TView
{
    Q_OBJECT
public:
    TTerminalView(const TTerminal& terminal, bool assumeYes, QObject* parent = nullptr);

    // Whether a person can answer questions at the terminal.
    bool CanAsk() const;

    // What happened that a script must learn from the exit status (a warning alone is not).
    bool QuestionRefused() const { return m_refused; }
    // The task list was emptied while tasks remained: the run was cut short.
    bool BatchCut() const { return m_batchCut; }
    int TaskCount() const { return int(m_tasks.size()); }
    struct TTaskNode
    {
        QString Caption;
        QStringList Children;
    };
    const QList<TTaskNode>& Tasks() const { return m_tasks; }

    // Prints a line of its own on standard error, after any progress bar.
    void Note(const QString& text);
    // Where the batch of uploads stands: one line redrawn in place, on a terminal only.
    void ShowBatch(const TBatchProgressState& state) { m_progress.SetBatch(state); }
    // Whether progress is drawn (standard error is a terminal).
    bool ShowsProgress() const;

    void ShowWarning(const QString& text) override;
    void ShowError(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                    const QString& initial) override;
    std::optional<TLoginAnswer> AskLogin(const QString& caption, const QString& user,
                                         const QString& password) override;
    std::optional<QStringList> AskIncludeText() override;
    void OpenSetup() override;

    void SetStatusText(const QString& text) override;
    QString StatusText() const override { return m_lastStatus; }
    void SetProgress(int percent) override;

    QString FromText() const override { return m_from; }
    void SetFromText(const QString& text) override { m_from = text; }
    QString SubjectText() const override { return m_subject; }
    void SetSubjectText(const QString& text) override { m_subject = text; }
    QString FolderPath() const override { return m_folder; }
    void SetFolderPath(const QString& path) override { m_folder = path; }

    void TaskViewAdd(const TTaskRow& row) override;
    void TaskViewInsert(int index, const TTaskRow& row) override;
    void TaskViewRemoveFirst() override;
    void TaskViewClear() override;

    void CloseMainWindow() override;

signals:
    // The last queued task has gone, whether it ended well or the list was cleared.
    void QueueEmptied();
    // The core wants the program to end (after an unexpected error).
    void CloseRequested();
    // A question had to be refused because nobody can answer it.
    void Refused();

private:
    std::optional<QString> ask(const QString& prompt, bool echo);
    void refuse(const QString& what);

    const TTerminal& m_terminal;
    TProgressDisplay m_progress;
    bool m_assumeYes = false;
    bool m_refused = false;
    bool m_batchCut = false;
    QString m_lastStatus;

    QString m_from;
    QString m_subject;
    QString m_folder;
    QList<TTaskNode> m_tasks;
};
