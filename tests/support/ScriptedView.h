#pragma once

#include "base/View.h"
#include "base/WindowView.h"

class TNewsrcStore;
class TCommandState;
class TProfiles;
class TQuorvelApp;
class TTaskRunner;

#include <QList>
#include <QMap>
#include <QQueue>
#include <QStringList>

// A view for tests: questions are answered from queues filled in advance, and every call
// is recorded as a line ("Warning: ...", "Status: ...") so a test can check what the
// user would have seen, in order. An unanswered question fails loudly.
class TScriptedView : public TView, public TWindowView
{
public:
    // Records what the store and the application announce for the window, as the window
    // would follow it.
    void FollowGroupList(const TNewsrcStore& store);
    void FollowStartup(TQuorvelApp& app);
    void FollowProfiles(const TProfiles& profiles);
    void FollowCommands(const TCommandState& commands);
    void FollowIdleState(const TTaskRunner& runner);

    // Answers, consumed in order.
    QQueue<bool> YesNoAnswers;
    QQueue<std::optional<QString>> InputAnswers;
    QQueue<std::optional<TLoginAnswer>> LoginAnswers;
    QQueue<std::optional<QStringList>> IncludeTextAnswers;
    QQueue<QString> OpenFileAnswers;
    QQueue<std::optional<TFindAnswer>> FindAnswers;

    // What was asked and shown.
    QStringList Calls;
    QStringList Warnings;
    QStringList Questions;
    QStringList StatusTexts;
    QList<int> Progress;
    int SetupOpened = 0;
    bool Closed = false;
    bool Busy = false;
    QMap<TViewAction, bool> Actions;
    QList<bool> AbortStates; // every change of Abort, in order
    int TaskWindowShown = 0;
    TIdleState LastIdle;
    int IdleRefreshes = 0;

    // Controls' contents.
    QString WindowTitle;
    QStringList Profiles;
    int SelectedProfile = -1;
    QString From;
    QString Subject;
    QString Folder;
    QStringList Files;
    struct TaskNode
    {
        QString Caption;
        QStringList Children;
    };
    QList<TaskNode> TaskNodes;
    int GroupCount = 0;
    QString GroupCaption;
    QList<int> GroupSelection;
    int GroupRepaints = 0;
    int GroupVisibleRow = -1;

    void ShowWarning(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                    const QString& initial) override;
    std::optional<TLoginAnswer> AskLogin(const QString& caption, const QString& user,
                                         const QString& password) override;
    std::optional<QStringList> AskIncludeText() override;
    QString AskOpenFile(const QString& caption, const QString& filter) override;
    std::optional<TFindAnswer> AskFindGroup(const QString& text, TFindMode mode) override;
    void OpenSetup() override;

    void SetStatusText(const QString& text) override;
    QString StatusText() const override
    {
        return StatusTexts.isEmpty() ? QString() : StatusTexts.last();
    }
    void SetProgress(int percent) override;
    void SetBusy(bool busy);
    void SetActionEnabled(TViewAction action, bool enabled);
    void ShowSplashStatus(const QString& text);
    void RefreshControls(const TIdleState& state);
    void CloseSplash();

    void SetWindowTitle(const QString& title);
    void ShowProfiles(const QStringList& names, int selected);
    QString FromText() const override { return From; }
    void SetFromText(const QString& text) override { From = text; }
    QString SubjectText() const override { return Subject; }
    void SetSubjectText(const QString& text) override { Subject = text; }
    QString FolderPath() const override { return Folder; }
    void SetFolderPath(const QString& path) override { Folder = path; }

    QStringList SelectedFiles() const override { return Files; }
    void ClearFileSelection() override;

    void TaskViewAdd(const TTaskRow& row) override;
    void TaskViewInsert(int index, const TTaskRow& row) override;
    void TaskViewRemoveFirst() override;
    void TaskViewClear() override;
    void ShowTaskWindow() override { ++TaskWindowShown; }

    void GroupPaneSetCount(int count);
    void GroupPaneSetCaption(const QString& caption);
    QList<int> GroupPaneSelectedRows() const override { return GroupSelection; }
    void GroupPaneSelectRows(const QList<int>& rows, bool clearOthers) override;
    void GroupPaneRepaint() { ++GroupRepaints; }
    void GroupPaneMakeVisible(int row) override { GroupVisibleRow = row; }

    void CloseMainWindow() override;
};
