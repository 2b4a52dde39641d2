#pragma once

#include <QCollator>
#include <QList>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <numeric>
#include <vector>

struct UCollator;

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

// Writes a zero at the start of each page of `bytes` at `data`, in parallel parts: the first writes to a
// fresh allocation fault its pages in one by one, which on one thread takes longer than filling them.
// For storage not yet holding objects, such as a container's reserved room.
inline void touchPages(void *data, size_t bytes)
{
    constexpr size_t page = 4096;
    constexpr size_t part = 256 * page;
    if (bytes < 2 * part)
        return;
    auto *start = static_cast<volatile char *>(data);
    inParallel((bytes + part - 1) / part, [&](size_t at) {
        for (size_t offset = at * part; offset < std::min(bytes, (at + 1) * part); offset += page)
            start[offset] = 0;
    });
}

// std::stable_sort of a long list in runs sorted in parallel, then merged pairwise (also in parallel),
// the left run first, so equal elements keep their order.
template <typename E, typename Less> void parallelStableSort(std::vector<E> &list, Less less)
{
    constexpr size_t run = 16384;
    const size_t size = list.size();
    if (size <= run) {
        std::stable_sort(list.begin(), list.end(), less);
        return;
    }
    std::vector<size_t> starts;
    for (size_t start = 0; start < size; start += run)
        starts.push_back(start);
    QtConcurrent::blockingMap(starts, [&](size_t start) {
        std::stable_sort(list.begin() + qsizetype(start), list.begin() + qsizetype(std::min(size, start + run)), less);
    });
    for (size_t width = run; width < size; width *= 2) {
        starts.clear();
        for (size_t start = 0; start + width < size; start += 2 * width)
            starts.push_back(start);
        QtConcurrent::blockingMap(starts, [&](size_t start) {
            std::inplace_merge(list.begin() + qsizetype(start), list.begin() + qsizetype(start + width),
                list.begin() + qsizetype(std::min(size, start + 2 * width)), less);
        });
    }
}

// The collator of the localized standard order for the current locale.
QCollator standardCollator();

// The sort keys of the localized standard order, ordering texts as `standardCollator()` does, made
// by ICU one after another into one buffer: a long list's keys cost no allocation each. For one thread.
class StandardSortKeys {
public:
    StandardSortKeys();
    ~StandardSortKeys();
    StandardSortKeys(const StandardSortKeys &) = delete;
    StandardSortKeys &operator=(const StandardSortKeys &) = delete;

    void reserve(size_t count, size_t bytes);
    // Appends the key of `text`: bytes ended by a zero, the only zero in them.
    void add(QStringView text);
    size_t size() const { return m_offsets.size(); }
    // Valid until the next `add`.
    const char *key(size_t index) const { return m_bytes.data() + m_offsets[index]; }

    // A key's first eight bytes as a number, zeros after its end: most keys differ in them.
    static quint64 prefix(const char *key)
    {
        quint64 value = 0;
        for (int i = 0; i < 8; ++i) {
            value = value << 8 | uchar(*key);
            if (*key)
                ++key;
        }
        return value;
    }
    // Compares two keys given with their prefixes, as the keys' bytes compare.
    static int compare(quint64 prefixA, const char *a, quint64 prefixB, const char *b)
    {
        if (prefixA != prefixB)
            return prefixA < prefixB ? -1 : 1;
        // Equal prefixes: a key that ended within them (its eighth byte zero) ended in both.
        if ((prefixA & 0xff) == 0)
            return 0;
        return std::strcmp(a + 8, b + 8);
    }

private:
    UCollator *m_collator = nullptr;
    std::vector<size_t> m_offsets;
    std::string m_bytes;
};

// A stable sort by `rank(i)` (a number for the item at i, lowest first), then by `keyOf(i)`, its key from
// StandardSortKeys. The items are put in their places in parallel.
template <typename T, typename KeyOfFn, typename RankFn> void sortByKeys(QList<T> &items, KeyOfFn keyOf, RankFn rank)
{
    if (items.size() < 2)
        return;
    constexpr qsizetype chunk = 4096;
    const size_t partCount = size_t((items.size() + chunk - 1) / chunk);
    struct Sorted {
        qint64 rank;
        quint64 prefix;
        const char *key;
        qsizetype index;
    };
    std::vector<Sorted> sorted(size_t(items.size()));
    inParallel(partCount, [&](size_t part) {
        const qsizetype end = std::min(items.size(), qsizetype(part + 1) * chunk);
        for (qsizetype i = qsizetype(part) * chunk; i < end; ++i) {
            const char *key = keyOf(i);
            sorted[size_t(i)] = Sorted{qint64(rank(i)), StandardSortKeys::prefix(key), key, i};
        }
    });
    parallelStableSort(sorted, [](const Sorted &a, const Sorted &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return StandardSortKeys::compare(a.prefix, a.key, b.prefix, b.key) < 0;
    });
    QList<T> placed(items.size());
    inParallel(partCount, [&](size_t part) {
        const size_t end = std::min(sorted.size(), (part + 1) * size_t(chunk));
        for (size_t at = part * size_t(chunk); at < end; ++at)
            placed[qsizetype(at)] = std::move(items[sorted[at].index]);
    });
    items = std::move(placed);
}

// A stable sort by `rank` (a number taken from each item, lowest first), then by the localized standard
// order of a text taken from each item. The sort keys of a long list are made in parallel, each thread
// with keys of its own.
template <typename T, typename KeyFn, typename RankFn> void sortByLocalizedKey(QList<T> &items, KeyFn key, RankFn rank)
{
    if (items.size() < 2)
        return;
    constexpr qsizetype chunk = 4096;
    const size_t partCount = size_t((items.size() + chunk - 1) / chunk);
    std::vector<std::unique_ptr<StandardSortKeys>> keys(partCount);
    inParallel(partCount, [&](size_t part) {
        auto made = std::make_unique<StandardSortKeys>();
        const qsizetype begin = qsizetype(part) * chunk;
        const qsizetype end = std::min(items.size(), begin + chunk);
        made->reserve(size_t(end - begin), size_t(end - begin) * 32);
        for (qsizetype i = begin; i < end; ++i)
            made->add(key(std::as_const(items)[i]));
        keys[part] = std::move(made);
    });
    // Both read before any item moves.
    sortByKeys(
        items, [&](qsizetype i) { return keys[size_t(i / chunk)]->key(size_t(i % chunk)); },
        [&](qsizetype i) { return rank(std::as_const(items)[i]); });
}

// A stable sort by the localized standard order of a text taken from each item.
template <typename T, typename KeyFn> void sortByLocalizedKey(QList<T> &items, KeyFn key)
{
    sortByLocalizedKey(items, key, [](const T &) { return 0; });
}

} // namespace TextUtil
