#pragma once

#include "groups/GroupIndex.h"

// Orders a group list by name (case-insensitive, in the user's locale collation) or by
// count. Descending reverses the comparison; entries with equal keys keep their order.
class TGroupSorter
{
public:
    static void SortByName(TGroupList& list, bool descending);
    static void SortByCount(TGroupList& list, bool descending);
};
