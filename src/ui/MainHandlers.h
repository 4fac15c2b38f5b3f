#pragma once

#include <QString>

#include <functional>

// The operations of the program's logic that the main window's commands call. The window
// runs each one when its command is given; one left empty makes the command say that it is
// not available.
struct TMainHandlers
{
    using TCommand = std::function<void()>;

    // Toolbar.
    TCommand PostButtonClick;
    TCommand FileOpenButtonClick;
    TCommand AbortButtonClick;
    TCommand DisconnectButtonClick;
    TCommand ExitButtonClick; // closes the window through the view
    std::function<void(const QString& name)> ProfilesComboBoxChange;

    // File menu.
    TCommand NewProfileClick;
    TCommand DeleteProfileClick;

    // Groups menu and the group pane.
    TCommand GroupsMenuClick; // the menu opens
    TCommand GroupFindClick;
    TCommand FindAgainClick;
    TCommand GroupsSubscribeItemClick;
    TCommand GroupsDownloadItemClick;
    TCommand GroupsNewItemClick;
    TCommand GroupsImportClick;
    TCommand PopupMenu1Popup; // the shortcut menu opens
    TCommand Sort1Click;
    TCommand Subscribed1Click;
    TCommand Unsubscribed1Click;
    TCommand New1Click;
    std::function<void(int column)> GroupListColumnClick;

    // Tasks menu.
    TCommand TaskMenuClick; // the menu opens
    TCommand TasksAutoStartClick;
    TCommand TasksClearClick;
    TCommand TasksReloadClick;
    TCommand TasksViewClick;
    TCommand TasksStartClick;

    // Life cycle.
    TCommand FormCloseQuery; // the window is about to close
    TCommand SetupDone;      // the setup dialog was confirmed and the settings taken
};
