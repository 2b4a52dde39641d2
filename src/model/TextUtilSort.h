#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QList>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <numeric>
#include <vector>

namespace TextUtil {

// Runs `work` for each part numbered 0 to `count` - 1: on the pool when there are several, else here.
template <typename Work> void inParallel(size_t count, const Work &work)
{
    if (count == 1) {
        work(size_t(0));
        return;
    }
    std::vector<size_t> parts(count);
    std::iota(parts.begin(), parts.end(), size_t(0));
    QtConcurrent::blockingMap(parts, work);
}

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

// A stable sort by `rank` (a number taken from each item, lowest first), then by the localized standard
// order of a text taken from each item. The ranks and sort keys of a long list are made in parallel, each
// thread with a collator of its own, and the items are put in their places in parallel too.
template <typename T, typename KeyFn, typename RankFn> void sortByLocalizedKey(QList<T> &items, KeyFn key, RankFn rank)
{
    if (items.size() < 2)
        return;
    constexpr qsizetype chunk = 4096;
    const size_t partCount = size_t((items.size() + chunk - 1) / chunk);
    struct Sorted {
        qint64 rank;
        QCollatorSortKey key;
    };
    std::vector<std::vector<Sorted>> keys(partCount);
    const QList<T> &source = items;
    inParallel(partCount, [&](size_t part) {
        const QCollator collator = standardCollator();
        const qsizetype begin = qsizetype(part) * chunk;
        const qsizetype end = std::min(source.size(), begin + chunk);
        keys[part].reserve(size_t(end - begin));
        for (qsizetype i = begin; i < end; ++i)
            keys[part].push_back(Sorted{qint64(rank(source[i])), collator.sortKey(key(source[i]))});
    });
    const auto keyOf
        = [&keys](qsizetype index) -> const Sorted & { return keys[size_t(index / chunk)][size_t(index % chunk)]; };
    std::vector<qsizetype> order(size_t(items.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    parallelStableSort(order, [&](qsizetype a, qsizetype b) {
        const Sorted &keyA = keyOf(a);
        const Sorted &keyB = keyOf(b);
        if (keyA.rank != keyB.rank)
            return keyA.rank < keyB.rank;
        return keyA.key.compare(keyB.key) < 0;
    });
    QList<T> sorted(items.size());
    inParallel(partCount, [&](size_t part) {
        const size_t end = std::min(order.size(), (part + 1) * size_t(chunk));
        for (size_t at = part * size_t(chunk); at < end; ++at)
            sorted[qsizetype(at)] = std::move(items[order[at]]);
        // Freed where made: a long list's keys take as long to free as to sort.
        std::vector<Sorted>().swap(keys[part]);
    });
    items = std::move(sorted);
}

// A stable sort by the localized standard order of a text taken from each item.
template <typename T, typename KeyFn> void sortByLocalizedKey(QList<T> &items, KeyFn key)
{
    sortByLocalizedKey(items, key, [](const T &) { return 0; });
}

} // namespace TextUtil
