#include "app/Clock.h"
#include "app/GuardedApplication.h"
#include "app/QuorvelApp.h"
#include "app/SettingsStore.h"
#include "dialup/RasConnection.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "ui/IconTheme.h"
#include "ui/MainForm.h"
#include "ui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace {

// The window's commands that the application object carries so far.
void Wire(TMainForm& form, TQuorvelApp& logic)
{
    TMainHandlers& h = form.Handlers;
    h.ExitButtonClick = [&logic] { logic.ExitButtonClick(); };
    h.FormCloseQuery = [&logic] { logic.FormCloseQuery(); };
    h.ProfilesComboBoxChange = [&logic](const QString& name) {
        logic.ProfilesComboBoxChange(name);
    };
    h.NewProfileClick = [&logic] { logic.NewProfileClick(); };
    h.DeleteProfileClick = [&logic] { logic.DeleteProfileClick(); };
}

// The group pane and what the user does with it.
void WireGroups(TMainForm& form, TGroupListOperations& groups)
{
    TMainHandlers& h = form.Handlers;
    h.GroupFindClick = [&groups] { groups.GroupFindClick(); };
    h.FindAgainClick = [&groups] { groups.FindAgainClick(); };
    h.GroupsSubscribeItemClick = [&groups] { groups.GroupsSubscribeItemClick(); };
    h.GroupsImportClick = [&groups] { groups.GroupsImportClick(); };
    h.GroupListColumnClick = [&groups](int column) { groups.GroupListColumnClick(column); };
    h.PopupMenu1Popup = [&form, &groups] { form.ApplyShortcutMenu(groups.PopupMenu1Popup()); };
    h.Sort1Click = [&groups] { groups.Sort1Click(); };
    h.Subscribed1Click = [&groups] { groups.Subscribed1Click(); };
    h.Unsubscribed1Click = [&groups] { groups.Unsubscribed1Click(); };
    h.New1Click = [&groups] { groups.New1Click(); };
}

} // namespace

int main(int argc, char* argv[])
{
    TGuardedApplication<QApplication> app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Brindlecove Software"));
    UseIconTheme();

    // "--screenshot <folder>" saves pictures of the windows for the documentation and ends.
    QStringList args = QApplication::arguments().mid(1);
    QString screenshotDir;
    if (const qsizetype at = args.indexOf(QStringLiteral("--screenshot")); at >= 0) {
        screenshotDir = args.value(at + 1, QDir::currentPath());
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }

    TSettingsStore store;
    TMainForm form;
    TQuorvelApp logic(form, store, TClock::System());
    form.AttachState(logic.State());
    form.AttachSessionLog(logic.SessionLog());
    Wire(form, logic);
    TNewsrcStore newsrc(logic.State(), logic.Logger(), form);
    TGroupListModel groupRows(newsrc);
    TGroupListOperations groups(newsrc);
    form.SetGroupModel(&groupRows);
    WireGroups(form, groups);
    // With NetworkManager on the bus the setup dialog gets its Dial-up page, listing the
    // connection profiles.
    TRasConnection dialup;
    form.SetDialup(dialup.Available(), [&dialup](const TSetupForm2::TEntriesDone& done) {
        dialup.GetEntries(done);
    });
    app.SetExceptionHandler([&logic](const QString& message) { logic.OnException(message); });

    logic.FormCreate(args);
    newsrc.ReadNewsrc();
    newsrc.ShowGroups();
    form.show();
    logic.FormShow();
    logic.InstallIdleHook();

    if (!screenshotDir.isEmpty()) {
        QTimer::singleShot(800, &form, [&form, screenshotDir] {
            TakeScreenshots(form, screenshotDir);
            form.close();
        });
    }
    const int result = app.exec();
    logic.FormDestroy();
    return result;
}
