#include "ui/ProgramWiring.h"

#include "app/QuorvelApp.h"
#include "dialup/RasConnection.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "tasks/TaskMenu.h"
#include "tasks/TaskRunner.h"
#include "upload/UploadTaskBuilder.h"
#include "ui/MainForm.h"

TProgramWiring::TProgramWiring(TMainForm& form, TQuorvelApp& logic) : m_form(form), m_logic(logic)
{
    form.AttachState(logic.State());
    form.AttachSessionLog(logic.SessionLog());
    form.SetGroupModel(&logic.GroupModel());
    WireApp();
    WireTasks();
    WireGroups();
}

TProgramWiring::~TProgramWiring()
{
    m_form.SetGroupModel(nullptr);
    m_form.Handlers = {};
}

void TProgramWiring::WireApp()
{
    TQuorvelApp& logic = m_logic;
    TMainHandlers& h = m_form.Handlers;
    h.ExitButtonClick = [&logic] { logic.ExitButtonClick(); };
    h.FormCloseQuery = [&logic] { logic.FormCloseQuery(); };
    h.ProfilesComboBoxChange = [&logic](const QString& name) {
        logic.ProfilesComboBoxChange(name);
    };
    h.NewProfileClick = [&logic] { logic.NewProfileClick(); };
    h.DeleteProfileClick = [&logic] { logic.DeleteProfileClick(); };

    // With NetworkManager on the bus the setup dialog gets its Dial-up page, listing the
    // connection profiles.
    TRasConnection& dialup = logic.Ras();
    m_form.SetDialup(dialup.Available(),
                     [&dialup](const TSetupForm2::TEntriesDone& done) { dialup.GetEntries(done); });
}

void TProgramWiring::WireTasks()
{
    TMainHandlers& h = m_form.Handlers;
    TUploadTaskBuilder& uploads = m_logic.UploadTasks();
    h.PostButtonClick = [&uploads] { uploads.PostButtonClick(); };
    h.FileOpenButtonClick = [&uploads] { uploads.DoFileUpload(); };
    TTaskRunner& runner = m_logic.Runner();
    h.AbortButtonClick = [&runner] { runner.AbortButtonClick(); };
    h.DisconnectButtonClick = [&runner] { runner.DisconnectButtonClick(); };
    h.TasksStartClick = [&runner] { runner.TasksStartClick(); };
    h.TasksAutoStartClick = [&runner] { runner.TasksAutoStartClick(); };
    TTaskMenu& tasks = m_logic.TaskMenu();
    h.TaskMenuClick = [&tasks] { tasks.TaskMenuClick(); };
    h.TasksClearClick = [&tasks] { tasks.TasksClearClick(); };
    h.TasksReloadClick = [&tasks] { tasks.TasksReloadClick(); };
    h.TasksViewClick = [&tasks] { tasks.TasksViewClick(); };
}

void TProgramWiring::WireGroups()
{
    TMainHandlers& h = m_form.Handlers;
    TMainForm& form = m_form;
    TGroupListOperations& groups = m_logic.GroupOperations();
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

    TGroupDownload& download = m_logic.GroupDownload();
    h.GroupsMenuClick = [&form, &download] { form.ApplyGroupsMenu(download.GroupsMenuClick()); };
    h.GroupsDownloadItemClick = [&download] { download.GroupsDownloadItemClick(); };
    h.GroupsNewItemClick = [&download] { download.GroupsNewItemClick(); };
}
