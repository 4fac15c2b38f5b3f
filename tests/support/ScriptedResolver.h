#pragma once

#include "net/HostResolver.h"

#include <QHash>
#include <QSet>

// A host lookup for tests: known names complete with their addresses (comma-separated, in the
// order given) on the next turn of the event loop, names marked as stalling never complete, any
// other name fails with the given code (11001 "Host not found" unless told otherwise).
class TScriptedResolver : public THostResolver
{
    Q_OBJECT

public:
    using THostResolver::THostResolver;

    QHash<QString, QString> Addresses;
    QSet<QString> Stalling;
    int FailureCode = 11001;
    QStringList Asked;

    int Start(const QString& name) override;

private:
    int m_next = 1000;
};
