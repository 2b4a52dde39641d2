#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>

#include <functional>
#include <optional>
#include <utility>

// The part of a keyed model that a selection binder needs.
template <typename Key> class KeyedRows {
public:
    virtual ~KeyedRows() = default;
    virtual std::optional<Key> keyAt(int row) const = 0;
    // -1 when no row has the key.
    virtual int rowOf(const Key &key) const = 0;
};

// A list model over value records with identities. Setting an equal list does nothing; rows whose
// key stays are updated in place (dataChanged), rows that come or go are inserted or removed, so the
// view keeps its selection and scroll position. Only a reordering resets the model.
template <typename T, typename Key> class KeyedListModel : public QAbstractListModel, public KeyedRows<Key> {
public:
    using KeyFunction = std::function<Key(const T &)>;
    using DataFunction = std::function<QVariant(const T &, int role)>;
    // The row of a key, or -1.
    using RowLookup = std::function<qsizetype(const Key &)>;

    KeyedListModel(KeyFunction key, DataFunction data, QObject *parent = nullptr)
        : QAbstractListModel(parent), m_key(std::move(key)), m_data(std::move(data))
    { }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_items.size());
    }

    // The view asks for every row's index as it lays a long list out: made without the base class's
    // round of virtual calls.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override
    {
        if (row < 0 || column != 0 || parent.isValid() || row >= m_items.size())
            return {};
        return createIndex(row, 0);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_items.size())
            return {};
        return m_data(m_items[index.row()], role);
    }

    const QList<T> &items() const { return m_items; }
    const T &at(int row) const { return m_items.at(row); }

    std::optional<Key> keyAt(int row) const override
    {
        if (row < 0 || row >= m_items.size())
            return std::nullopt;
        return m_key(m_items[row]);
    }

    int rowOf(const Key &key) const override
    {
        if (m_rows)
            return int(m_rows->value(key, -1));
        return m_rowLookup ? int(m_rowLookup(key)) : -1;
    }

    // Every row's `roles` may read something besides the row's value that has changed.
    void rolesChanged(const QList<int> &roles)
    {
        if (!m_items.isEmpty())
            emit this->dataChanged(index(0), index(int(m_items.size()) - 1), roles);
    }

    void setItems(QList<T> items)
    {
        if (items == m_items)
            return;
        // An emptied list is reset at once: the keys of what it showed are not worth making.
        if (items.isEmpty()) {
            beginResetModel();
            m_items = std::move(items);
            m_keys.reset();
            m_rows.reset();
            m_rowLookup = nullptr;
            endResetModel();
            return;
        }
        QList<Key> keys;
        keys.reserve(items.size());
        QHash<Key, qsizetype> rows;
        rows.reserve(items.size());
        qsizetype kept = 0;
        const QHash<Key, qsizetype> &shown = shownRows();
        // Read only: the list usually shares its data with the state's, which a write access would copy.
        for (const T &item : std::as_const(items)) {
            Key key = m_key(item);
            if (shown.contains(key))
                ++kept;
            rows.insert(key, int(keys.size()));
            keys.push_back(std::move(key));
        }
        if (keys == shownKeys()) {
            QList<T> old = std::exchange(m_items, std::move(items));
            emitChangedRows(old);
            return;
        }
        // A list that keeps no row of the one shown is new as a whole: one reset is cheaper than a diff.
        if (kept == 0 || rows.size() != keys.size() || !updateInPlace(items, keys, rows)) {
            beginResetModel();
            m_items = std::move(items);
            m_keys = std::move(keys);
            m_rows = std::move(rows);
            m_rowLookup = nullptr;
            endResetModel();
        }
    }

    // The same, given where each key of `items` is (worked out off the UI thread for a long list, its
    // keys all different): a list shown in place of an empty one then costs no key made or hashed here,
    // its keys and rows read only when a later list is compared with it.
    void setItems(QList<T> items, RowLookup rows)
    {
        if (!m_items.isEmpty()) {
            setItems(std::move(items));
            return;
        }
        if (items.isEmpty())
            return;
        beginResetModel();
        m_items = std::move(items);
        m_keys.reset();
        m_rows.reset();
        m_rowLookup = std::move(rows);
        endResetModel();
    }

private:
    // The row of each key shown.
    const QHash<Key, qsizetype> &shownRows()
    {
        if (!m_rows) {
            const QList<Key> &keys = shownKeys();
            QHash<Key, qsizetype> rows;
            rows.reserve(keys.size());
            for (qsizetype row = 0; row < keys.size(); ++row)
                rows.insert(keys[row], row);
            m_rows = std::move(rows);
        }
        return *m_rows;
    }

    // The keys of the rows shown, in their order.
    QList<Key> &shownKeys()
    {
        if (!m_keys) {
            QList<Key> keys;
            keys.reserve(m_items.size());
            for (const T &item : std::as_const(m_items))
                keys.push_back(m_key(item));
            m_keys = std::move(keys);
        }
        return *m_keys;
    }

    // Removes and inserts rows when the kept rows keep their order; false when they do not.
    bool updateInPlace(QList<T> &items, const QList<Key> &keys, const QHash<Key, qsizetype> &newRows)
    {
        QList<Key> keptOld;
        for (const Key &key : shownKeys()) {
            if (newRows.contains(key))
                keptOld.push_back(key);
        }
        QList<Key> keptNew;
        for (const Key &key : keys) {
            if (shownRows().contains(key))
                keptNew.push_back(key);
        }
        if (keptOld != keptNew)
            return false;

        // Removals, back to front in runs.
        for (int row = int(m_keys->size()) - 1; row >= 0;) {
            if (newRows.contains((*m_keys)[row])) {
                --row;
                continue;
            }
            int first = row;
            while (first > 0 && !newRows.contains((*m_keys)[first - 1]))
                --first;
            beginRemoveRows(QModelIndex(), first, row);
            m_items.remove(first, row - first + 1);
            m_keys->remove(first, row - first + 1);
            endRemoveRows();
            row = first - 1;
        }
        // Insertions, front to back in runs; kept rows are updated afterwards.
        QList<T> old = m_items;
        for (int row = 0; row < keys.size();) {
            if (row < m_keys->size() && (*m_keys)[row] == keys[row]) {
                ++row;
                continue;
            }
            int last = row;
            while (last + 1 < keys.size() && !shownRows().contains(keys[last + 1]))
                ++last;
            beginInsertRows(QModelIndex(), row, last);
            for (int i = row; i <= last; ++i) {
                m_items.insert(i, std::as_const(items)[i]);
                m_keys->insert(i, keys[i]);
            }
            endInsertRows();
            row = last + 1;
        }
        m_rows = newRows;
        m_rowLookup = nullptr;
        QList<T> previous = std::exchange(m_items, std::move(items));
        emitChangedRows(previous);
        return true;
    }

    // dataChanged for each run of rows whose value differs from `old` (same keys, same order).
    void emitChangedRows(const QList<T> &old)
    {
        const QList<T> &shown = m_items;
        for (int row = 0; row < shown.size();) {
            if (shown[row] == old[row]) {
                ++row;
                continue;
            }
            int last = row;
            while (last + 1 < shown.size() && !(shown[last + 1] == old[last + 1]))
                ++last;
            emit dataChanged(index(row), index(last));
            row = last + 1;
        }
    }

    KeyFunction m_key;
    DataFunction m_data;
    QList<T> m_items;
    // Made when first needed: a long list shown whole may never need them.
    std::optional<QList<Key>> m_keys;
    // Made when first needed where the rows came as a lookup.
    std::optional<QHash<Key, qsizetype>> m_rows;
    RowLookup m_rowLookup;
};
