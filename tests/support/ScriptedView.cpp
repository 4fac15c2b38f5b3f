#include "ScriptedView.h"

#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskRunner.h"

#include <QTest>
#include <algorithm>

namespace {

template <typename T> T takeAnswer(QQueue<T>& queue, const QString& what)
{
    if (queue.isEmpty()) {
        // A question the test did not expect: fail the test rather than guess.
        QTest::qFail(qPrintable(QStringLiteral("Unexpected question: ") + what), __FILE__,
                     __LINE__);
        return T{};
    }
    return queue.dequeue();
}

} // namespace

void TScriptedView::ShowWarning(const QString& text)
{
    Warnings << text;
    Calls << QStringLiteral("Warning: ") + text;
}

bool TScriptedView::AskYesNo(const QString& text)
{
    Questions << text;
    Calls << QStringLiteral("Question: ") + text;
    return takeAnswer(YesNoAnswers, text);
}

std::optional<QString> TScriptedView::InputBox(const QString& caption, const QString& prompt,
                                               const QString& initial)
{
    Calls << QStringLiteral("Input: %1|%2|%3").arg(caption, prompt, initial);
    return takeAnswer(InputAnswers, caption);
}

std::optional<TLoginAnswer> TScriptedView::AskLogin(const QString& caption, const QString& user,
                                                    const QString& password)
{
    Calls << QStringLiteral("Login: %1|%2|%3").arg(caption, user, password);
    return takeAnswer(LoginAnswers, caption);
}

std::optional<QStringList> TScriptedView::AskIncludeText()
{
    Calls << QStringLiteral("IncludeText");
    return takeAnswer(IncludeTextAnswers, QStringLiteral("include text"));
}

QString TScriptedView::AskOpenFile(const QString& caption, const QString& filter)
{
    Calls << QStringLiteral("OpenFile: %1|%2").arg(caption, filter);
    return takeAnswer(OpenFileAnswers, caption);
}

std::optional<TFindAnswer> TScriptedView::AskFindGroup(const QString& text, TFindMode mode)
{
    const QString modeText =
        mode == TFindMode::All ? QStringLiteral("All") : QStringLiteral("First");
    Calls << QStringLiteral("Find: %1|%2").arg(text, modeText);
    return takeAnswer(FindAnswers, QStringLiteral("find group"));
}

void TScriptedView::OpenSetup()
{
    ++SetupOpened;
    Calls << QStringLiteral("Setup");
}

void TScriptedView::SetStatusText(const QString& text)
{
    StatusTexts << text;
    Calls << QStringLiteral("Status: ") + text;
}

void TScriptedView::SetProgress(int percent)
{
    Progress << percent;
}

void TScriptedView::SetBusy(bool busy)
{
    Busy = busy;
}

void TScriptedView::SetActionEnabled(TViewAction action, bool enabled)
{
    Actions[action] = enabled;
    if (action == TViewAction::Abort)
        AbortStates << enabled;
}

void TScriptedView::ShowSplashStatus(const QString& text)
{
    Calls << QStringLiteral("Splash: ") + text;
}

void TScriptedView::RefreshControls(const TIdleState& state)
{
    LastIdle = state;
    ++IdleRefreshes;
}

void TScriptedView::CloseSplash()
{
    Calls << QStringLiteral("SplashClosed");
}

void TScriptedView::SetWindowTitle(const QString& title)
{
    WindowTitle = title;
}

void TScriptedView::ShowProfiles(const QStringList& names, int selected)
{
    Profiles = names;
    SelectedProfile = selected;
}

void TScriptedView::ClearFileSelection()
{
    Files.clear();
}

void TScriptedView::TaskViewAdd(const TTaskRow& row)
{
    TaskNodes.append({row.Caption, row.Children});
}

void TScriptedView::TaskViewInsert(int index, const TTaskRow& row)
{
    TaskNodes.insert(index, {row.Caption, row.Children});
}

void TScriptedView::TaskViewRemoveFirst()
{
    if (!TaskNodes.isEmpty())
        TaskNodes.removeFirst();
}

void TScriptedView::TaskViewClear()
{
    TaskNodes.clear();
}

void TScriptedView::GroupPaneSetCount(int count)
{
    GroupCount = count;
    GroupSelection.clear();
}

void TScriptedView::GroupPaneSetCaption(const QString& caption)
{
    GroupCaption = caption;
}

void TScriptedView::GroupPaneSelectRows(const QList<int>& rows, bool clearOthers)
{
    if (clearOthers)
        GroupSelection.clear();
    for (int r : rows)
        if (!GroupSelection.contains(r))
            GroupSelection << r;
    std::sort(GroupSelection.begin(), GroupSelection.end());
}

void TScriptedView::CloseMainWindow()
{
    Closed = true;
    Calls << QStringLiteral("Close");
}

void TScriptedView::FollowGroupList(const TNewsrcStore& store)
{
    QObject::connect(&store, &TNewsrcStore::ShownSelectionCleared, &store,
                     [this] { GroupPaneSelectRows({}, true); });
    QObject::connect(&store, &TNewsrcStore::ShownCountChanged, &store,
                     [this](int count) { GroupPaneSetCount(count); });
    QObject::connect(&store, &TNewsrcStore::ShownCaptionChanged, &store,
                     [this](const QString& caption) { GroupPaneSetCaption(caption); });
    QObject::connect(&store, &TNewsrcStore::ShownRowsChanged, &store,
                     [this] { GroupPaneRepaint(); });
}

void TScriptedView::FollowStartup(TQuorvelApp& app)
{
    QObject::connect(&app, &TQuorvelApp::StartupStep, &app,
                     [this](const QString& text) { ShowSplashStatus(text); });
    QObject::connect(&app, &TQuorvelApp::StartupDone, &app, [this] { CloseSplash(); });
    QObject::connect(&app, &TQuorvelApp::CaptionChanged, &app,
                     [this](const QString& caption) { SetWindowTitle(caption); });
    FollowCommands(app.State().Commands);
    FollowGroupList(app.Newsrc());
    FollowProfiles(app.Profiles());
    FollowIdleState(app.Runner());
}

void TScriptedView::FollowCommands(const TCommandState& commands)
{
    QObject::connect(&commands, &TCommandState::BusyChanged, &commands,
                     [this](bool busy) { SetBusy(busy); });
    QObject::connect(
        &commands, &TCommandState::ActionEnabledChanged, &commands,
        [this](TViewAction action, bool enabled) { SetActionEnabled(action, enabled); });
}

void TScriptedView::FollowProfiles(const TProfiles& profiles)
{
    QObject::connect(
        &profiles, &TProfiles::NamesShown, &profiles,
        [this](const QStringList& names, int selected) { ShowProfiles(names, selected); });
}

void TScriptedView::FollowIdleState(const TTaskRunner& runner)
{
    QObject::connect(&runner, &TTaskRunner::IdleStateChanged, &runner,
                     [this](const TIdleState& state) { RefreshControls(state); });
}
