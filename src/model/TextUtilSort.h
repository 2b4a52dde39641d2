#pragma once

#include <QCollator>
#include <QList>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <utility>
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

// Runs `work(begin, end)` for the ranges of `part` indices that make up 0 to `count` - 1, as inParallel
// runs its parts.
template <typename Work> void inParallelRanges(qsizetype count, qsizetype part, const Work &work)
{
    inParallel(size_t((count + part - 1) / part), [&](size_t at) {
        const qsizetype begin = qsizetype(at) * part;
        work(begin, std::min(count, begin + part));
    });
}

// Writes a zero at the start of each page of `bytes` at `data`, in parallel parts: the first writes to a
// fresh allocation fault its pages in one by one, which on one thread takes longer than filling them.
// For storage not yet holding objects, such as a container's reserved room.
inline void touchPages(void *data, size_t bytes)
{
    constexpr size_t page = 4096;
    constexpr size_t part = 64 * page;
    if (bytes < 4 * part)
        return;
    auto *start = static_cast<volatile char *>(data);
    inParallel((bytes + part - 1) / part, [&](size_t at) {
        for (size_t offset = at * part; offset < std::min(bytes, (at + 1) * part); offset += page)
            start[offset] = 0;
    });
}

// `count` copies of `value`, the long vector's pages faulted in on several threads before it is filled.
template <typename T> std::vector<T> filledVector(size_t count, const T &value = T())
{
    std::vector<T> made;
    made.reserve(count);
    touchPages(made.data(), count * sizeof(T));
    made.assign(count, value);
    return made;
}

// `count` items made as their type makes them, the long list's pages faulted in on several threads first.
template <typename T> QList<T> defaultList(qsizetype count)
{
    QList<T> made;
    made.reserve(count);
    touchPages(made.data(), size_t(count) * sizeof(T));
    made.resize(count);
    return made;
}

// std::stable_sort of a long list in runs sorted in parallel, then merged pairwise, the left run first so
// equal elements keep their order. Each merge is cut into pieces of the same length, each merged on its
// own: the last merges, of the longest runs, are as parallel as the first.
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
    const std::unique_ptr<E[]> buffer(new E[size]);
    E *from = list.data();
    E *to = buffer.get();
    // Where a piece goes: the runs it merges, and its first place.
    struct Piece {
        size_t start, middle, end, at;
    };
    std::vector<Piece> pieces;
    for (size_t width = run; width < size; width *= 2) {
        pieces.clear();
        for (size_t start = 0; start < size; start += 2 * width) {
            const size_t middle = std::min(size, start + width);
            const size_t end = std::min(size, start + 2 * width);
            for (size_t at = start; at < end; at += run)
                pieces.push_back({start, middle, end, at});
        }
        QtConcurrent::blockingMap(pieces, [&](Piece &piece) {
            const E *const left = from + piece.start;
            const E *const right = from + piece.middle;
            const size_t leftSize = piece.middle - piece.start;
            const size_t rightSize = piece.end - piece.middle;
            const auto leftTaken = [&](size_t k) {
                // The most of the left run the first k merged can hold: a left element goes before every
                // right one not less than it.
                size_t low = k > rightSize ? k - rightSize : 0;
                size_t high = std::min(k, leftSize);
                while (low < high) {
                    const size_t mid = (low + high + 1) / 2;
                    if (less(right[k - mid], left[mid - 1]))
                        high = mid - 1;
                    else
                        low = mid;
                }
                return low;
            };
            const size_t first = piece.at - piece.start;
            const size_t last = std::min(piece.end, piece.at + run) - piece.start;
            const size_t leftFirst = leftTaken(first);
            const size_t leftLast = leftTaken(last);
            std::merge(left + leftFirst, left + leftLast, right + (first - leftFirst), right + (last - leftLast),
                to + piece.at, less);
        });
        std::swap(from, to);
    }
    if (from != list.data()) {
        QtConcurrent::blockingMap(starts,
            [&](size_t start) { std::copy(from + start, from + std::min(size, start + run), list.data() + start); });
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

    // Room for the keys of `count` texts of a usual length.
    void reserve(size_t count);
    // Appends the key of `text`: bytes ended by a zero, the only zero in them.
    void add(QStringView text);
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
    std::vector<Sorted> sorted = filledVector<Sorted>(size_t(items.size()));
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
    // The lists' own data taken here, before the threads start: a list sharing its data with another is
    // detached once, not by each thread's first write.
    T *const from = items.data();
    QList<T> placed = defaultList<T>(items.size());
    T *const to = placed.data();
    inParallel(partCount, [&](size_t part) {
        const size_t end = std::min(sorted.size(), (part + 1) * size_t(chunk));
        for (size_t at = part * size_t(chunk); at < end; ++at)
            to[at] = std::move(from[sorted[at].index]);
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
        made->reserve(size_t(end - begin));
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
