#pragma once

#include "base/View.h"

#include <QString>
#include <QStringList>

class TNewsrcStore;
class TWindowView;

// Which of the pane's shortcut menu items can be chosen.
struct TShortcutMenuState
{
    bool SubscribedEnabled = true;
    bool UnsubscribedEnabled = true;
    bool NewEnabled = true;
};

// What the user does with the group pane: choose the list shown, sort it, move groups
// between the lists, search, import a newsrc text file, and hand the selected groups to
// the building of upload tasks. Works on the store and reaches the user through its view.
class TGroupListOperations
{
public:
    explicit TGroupListOperations(TNewsrcStore& store);

    // Both start reversed, so the first header click after start-up sorts ascending.
    bool NameSortDescending = true;
    bool CountSortDescending = true;

    // The search state of the find window, kept between searches.
    QString SearchText;
    int StartIndex = 0;
    TFindMode SearchMode = TFindMode::First;

    void GroupListColumnClick(int column);
    TShortcutMenuState PopupMenu1Popup() const;
    void Subscribed1Click() { showList(0); }
    void Unsubscribed1Click() { showList(1); }
    void New1Click() { showList(2); }
    void Sort1Click();

    // The window's commands, on its group pane's selection and its dialogs.
    void GroupsSubscribeItemClick(const TWindowView& window);
    void GroupFindClick(TWindowView& window);
    void FindGroup(TWindowView& window);
    void FindAgainClick(TWindowView& window);
    void GroupsImportClick(TWindowView& window);

    // What the two commands do, for groups and a file named by the caller: moves those rows
    // of a list (0 subscribed: to unsubscribed; 1 or 2: to subscribed), and reads a newsrc
    // text file into the lists. Each returns false when the newsrc file could not be
    // written or read (the user has been told); a warning alone is no failure.
    bool MoveGroups(int list, const QList<int>& rows);
    bool ImportGroups(const QString& path);

    // Appends the names of those rows of the shown list in row order; 0 (list untouched)
    // without rows, else the list's count afterwards.
    qint32 GetSelectedGroups(const QList<int>& rows, QStringList& list);
    // Adds n to the count of those rows of a list (0 subscribed, 1 unsubscribed, 2 new).
    void UpdateGroupCount(int list, const QList<int>& rows, qint32 n);
    // One more post in each named group, in whichever list it is; others are ignored.
    void CountPost(const QStringList& groups);

    // One line of a newsrc text file: the group name and its state flag (0 subscribed,
    // 1 unsubscribed, 2 new); false for a line that names no group.
    static bool ParseImportLine(const QByteArray& line, QByteArray& name, quint8& flag);

private:
    void showList(int view);
    bool importFile(const QString& path);

    TNewsrcStore& m_store;
};
