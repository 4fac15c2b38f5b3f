#pragma once

#include "base/ServerEntry.h"

#include <QList>
#include <QString>

struct ProfileSettings;

// The servers of a profile as one list, the profile's own server first: finding one by
// name, adding, removing and moving entries, and the order posting and checking use them in.
class TServerList
{
public:
    TServerList() = default;
    explicit TServerList(QList<TServerEntry> entries) : m_entries(std::move(entries)) {}

    // The profile's server (its fields in the settings table) followed by its further ones.
    static TServerList FromProfile(const ProfileSettings& settings);
    // Stores the list into settings: the first entry in the table's fields, the rest as the
    // further servers. An empty list leaves settings unchanged.
    void ToProfile(ProfileSettings& settings) const;

    const QList<TServerEntry>& Entries() const { return m_entries; }
    // The index of the server of that name, regardless of case; -1 when there is none.
    int IndexOf(const QString& name) const;
    const TServerEntry* Find(const QString& name) const;

    // Each returns an error text naming what is wrong, empty on success.
    QString Add(const TServerEntry& entry);
    QString Replace(const QString& name, const TServerEntry& entry);
    QString Remove(const QString& name);
    // Moves the entry one place up (delta -1) or down (+1); the first entry is the profile's
    // server, so moving another to the top makes it that.
    QString Move(const QString& name, int delta);

    // The servers that post, by priority (lower first; the list's order among equals).
    QList<TServerEntry> PostOrder() const;
    // The first server whose role is check only, else the first that checks; nullptr when
    // none does (the check then asks the posting server).
    const TServerEntry* CheckServer() const;

private:
    QString nameProblem(const QString& name, int except) const;

    QList<TServerEntry> m_entries;
};
