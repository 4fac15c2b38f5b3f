#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// One group held in memory: its name, where its record sits in the newsrc file, and how
// many files have been queued to it (the same value as the record's count).
struct TGroupIndex
{
    QString Name;
    qint32 RecordNo = 0;
    qint32 Count = 0;
};

// The groups of one state (subscribed, unsubscribed or new), in display order.
using TGroupList = std::vector<TGroupIndex>;
