#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TGroupListOperations;
class TNewsrcStore;
class TView;

// Named groups found in the profile's three lists and selected in the group pane, the way
// a user clicks them in the window before choosing a command.
class TGroupSelection
{
public:
    TGroupSelection(TNewsrcStore& store, TGroupListOperations& operations, TView& view);

    struct TPlace
    {
        QString Name;  // as the list spells it
        int List = -1; // 0 subscribed, 1 unsubscribed, 2 new; -1 in none
        int Row = -1;
    };

    // Where each name stands; the exact spelling wins over one differing in case.
    TPlace Locate(const QString& name) const;
    // Shows the list in the pane and selects exactly those rows.
    void Select(int list, const QList<int>& rows);

    static QString ListName(int list);

private:
    TNewsrcStore& m_store;
    TGroupListOperations& m_operations;
    TView& m_view;
};
