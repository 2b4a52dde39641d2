#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace TextUtil {

// The collator of the localized standard order for the current locale.
QCollator standardCollator();

template <typename T, typename KeyFn> void sortByLocalizedKey(QList<T> &items, KeyFn key)
{
    if (items.size() < 2)
        return;
    const QCollator collator = standardCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(items.size());
    for (const T &item : std::as_const(items))
        keys.push_back(collator.sortKey(key(item)));
    std::vector<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(
        order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return keys[a].compare(keys[b]) < 0; });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (qsizetype index : order)
        sorted.push_back(std::move(items[index]));
    items = std::move(sorted);
}

} // namespace TextUtil
