#pragma once

#include "ui/kit/KeyedListModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

#include <functional>
#include <optional>

// Keeps a list view's single selection and one state property in step. The state's value is shown
// in the view under a guard and never written back; the state's setter is called only when the user
// changes the selection. Model updates (rows coming and going, a reset) count as neither: after them
// the state's value is shown again, and a reset keeps the scroll position.
template <typename Key> class SelectionBinder : public QObject {
public:
    using Writer = std::function<void(std::optional<Key>)>;

    SelectionBinder(QAbstractItemView *view, QAbstractItemModel *model, const KeyedRows<Key> *rows, Writer write)
        : QObject(view), m_view(view), m_rows(rows), m_write(std::move(write))
    {
        // "About to" handlers run before the selection model's own, so the selection changes a model
        // update makes are never taken for the user's; the after-handlers run after the view's.
        const auto begin = [this] { ++m_modelChanging; };
        const auto end = [this] {
            --m_modelChanging;
            show(m_shown);
        };
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin);
        connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, begin);
        connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, begin);
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            ++m_modelChanging;
            m_scroll = {m_view->horizontalScrollBar()->value(), m_view->verticalScrollBar()->value()};
        });
        view->setModel(model);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { onSelectionChanged(); });
        connect(model, &QAbstractItemModel::rowsRemoved, this, end);
        connect(model, &QAbstractItemModel::rowsInserted, this, end);
        connect(model, &QAbstractItemModel::layoutChanged, this, end);
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            --m_modelChanging;
            show(m_shown);
            m_view->horizontalScrollBar()->setValue(m_scroll.first);
            m_view->verticalScrollBar()->setValue(m_scroll.second);
        });
    }

    // Shows the state's value; no write-back.
    void show(const std::optional<Key> &key)
    {
        m_shown = key;
        QItemSelectionModel *selection = m_view->selectionModel();
        const int row = key ? m_rows->rowOf(*key) : -1;
        const QModelIndex index = row >= 0 ? m_view->model()->index(row, 0) : QModelIndex();
        if (index.isValid() && selection->isSelected(index) && selection->selectedIndexes().size() == 1)
            return;
        if (!index.isValid() && !selection->hasSelection())
            return;
        ++m_guard;
        if (index.isValid()) {
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        } else {
            selection->clearSelection();
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
        --m_guard;
    }

private:
    void onSelectionChanged()
    {
        if (m_guard || m_modelChanging)
            return;
        const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
        const std::optional<Key> key = selected.isEmpty() ? std::nullopt : m_rows->keyAt(selected.first().row());
        if (key == m_shown)
            return;
        m_shown = key;
        m_write(key);
    }

    QPointer<QAbstractItemView> m_view;
    const KeyedRows<Key> *m_rows;
    Writer m_write;
    std::optional<Key> m_shown;
    int m_guard = 0;
    int m_modelChanging = 0;
    std::pair<int, int> m_scroll{0, 0};
};
