#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TNewsrcStore;

// Named groups found in the profile's three lists.
class TGroupSelection
{
public:
    explicit TGroupSelection(TNewsrcStore& store);

    struct TPlace
    {
        QString Name;  // as the list spells it
        int List = -1; // 0 subscribed, 1 unsubscribed, 2 new; -1 in none
        int Row = -1;
    };

    // Where each name stands; the exact spelling wins over one differing in case.
    TPlace Locate(const QString& name) const;
    // The name in that row of a list (0 subscribed, 1 unsubscribed, 2 new).
    QString Name(int list, int row) const;

    static QString ListName(int list);

private:
    TNewsrcStore& m_store;
};
