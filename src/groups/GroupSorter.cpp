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
    // One collation key per name, then byte comparisons of keys: comparing the names
    // themselves would run the collation algorithm again at every one of the n log n steps.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // The C locale's collator compares plain code points and ignores the case setting.
    const bool fold = collator.locale() == QLocale::c();
    std::vector<std::pair<QCollatorSortKey, size_t>> keys;
    keys.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        keys.emplace_back(collator.sortKey(fold ? list[i].Name.toCaseFolded() : list[i].Name), i);

    // Equal keys keep their order, so repeated clicks give the same rows.
    std::sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
        const int order = descending ? b.first.compare(a.first) : a.first.compare(b.first);
        return order < 0 || (order == 0 && a.second < b.second);
    });
    std::vector<size_t> order;
    order.reserve(keys.size());
    for (const auto& key : keys)
        order.push_back(key.second);
    applyOrder(list, order);
}

void TGroupSorter::SortByCount(TGroupList& list, bool descending)
{
    std::stable_sort(list.begin(), list.end(), [descending](const auto& a, const auto& b) {
        return descending ? b.Count < a.Count : a.Count < b.Count;
    });
}
