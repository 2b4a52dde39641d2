#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QList>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <numeric>
#include <vector>

namespace TextUtil {

// std::stable_sort of a long order in runs sorted in parallel, then merged pairwise (also in parallel),
// the left run first, so equal elements keep their order.
template <typename Less> void parallelStableSort(std::vector<qsizetype> &order, Less less)
{
    constexpr size_t run = 16384;
    const size_t size = order.size();
    if (size <= run) {
        std::stable_sort(order.begin(), order.end(), less);
        return;
    }
    std::vector<size_t> starts;
    for (size_t start = 0; start < size; start += run)
        starts.push_back(start);
    QtConcurrent::blockingMap(starts, [&](size_t start) {
        std::stable_sort(
            order.begin() + qsizetype(start), order.begin() + qsizetype(std::min(size, start + run)), less);
    });
    for (size_t width = run; width < size; width *= 2) {
        starts.clear();
        for (size_t start = 0; start + width < size; start += 2 * width)
            starts.push_back(start);
        QtConcurrent::blockingMap(starts, [&](size_t start) {
            std::inplace_merge(order.begin() + qsizetype(start), order.begin() + qsizetype(start + width),
                order.begin() + qsizetype(std::min(size, start + 2 * width)), less);
        });
    }
}

// The collator of the localized standard order for the current locale.
QCollator standardCollator();

// A stable sort by `first` (a strict weak order of the items), then by the localized standard order of a
// text taken from each item. The sort keys of a long list are made in parallel, each thread with a
// collator of its own.
template <typename T, typename KeyFn, typename FirstFn>
void sortByLocalizedKey(QList<T> &items, KeyFn key, FirstFn first)
{
    if (items.size() < 2)
        return;
    constexpr qsizetype chunk = 4096;
    const QList<T> &source = items;
    std::vector<std::vector<QCollatorSortKey>> keys(size_t((source.size() + chunk - 1) / chunk));
    const auto makeKeys = [&](size_t part) {
        const QCollator collator = standardCollator();
        const qsizetype begin = qsizetype(part) * chunk;
        const qsizetype end = std::min(source.size(), begin + chunk);
        keys[part].reserve(size_t(end - begin));
        for (qsizetype i = begin; i < end; ++i)
            keys[part].push_back(collator.sortKey(key(source[i])));
    };
    if (keys.size() == 1) {
        makeKeys(0);
    } else {
        std::vector<size_t> parts(keys.size());
        std::iota(parts.begin(), parts.end(), size_t(0));
        QtConcurrent::blockingMap(parts, makeKeys);
    }
    const auto keyOf = [&keys](qsizetype index) -> const QCollatorSortKey & {
        return keys[size_t(index / chunk)][size_t(index % chunk)];
    };
    std::vector<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    parallelStableSort(order, [&](qsizetype a, qsizetype b) {
        if (first(source[a], source[b]))
            return true;
        if (first(source[b], source[a]))
            return false;
        return keyOf(a).compare(keyOf(b)) < 0;
    });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (qsizetype index : order)
        sorted.push_back(std::move(items[index]));
    items = std::move(sorted);
}

// A stable sort by the localized standard order of a text taken from each item.
template <typename T, typename KeyFn> void sortByLocalizedKey(QList<T> &items, KeyFn key)
{
    sortByLocalizedKey(items, key, [](const T &, const T &) { return false; });
}

} // namespace TextUtil
