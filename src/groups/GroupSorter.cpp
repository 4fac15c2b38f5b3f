#include "groups/GroupSorter.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>

namespace {

void applyOrder(TGroupList& list, const std::vector<size_t>& order)
{
    TGroupList sorted;
    sorted.reserve(list.size());
    for (size_t i : order)
        sorted.push_back(std::move(list[i]));
    list = std::move(sorted);
}

} // namespace

void TGroupSorter::SortByName(TGroupList& list, bool descending)
{
    // Collation keys are built once per name: comparing keys is a byte comparison, where
    // comparing names would run the collation algorithm again at every comparison.
    // The names are case-folded first: the collator ignores case only for real locales,
    // and in the C locale it compares plain code points.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(list.size());
    for (const TGroupIndex& entry : list)
        keys.push_back(collator.sortKey(entry.Name.toCaseFolded()));

    std::vector<size_t> order(list.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return descending ? keys[b].compare(keys[a]) < 0 : keys[a].compare(keys[b]) < 0;
    });
    applyOrder(list, order);
}

void TGroupSorter::SortByCount(TGroupList& list, bool descending)
{
    std::stable_sort(list.begin(), list.end(), [descending](const auto& a, const auto& b) {
        return descending ? b.Count < a.Count : a.Count < b.Count;
    });
}
