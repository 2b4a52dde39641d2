// The shared view kit: keyed list updates, the selection binder, the change handler, the elided label
// and the spinner.
#include "ui/kit/ChangeHandler.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/KeyedListModel.h"
#include "ui/kit/SelectionBinder.h"
#include "ui/kit/Spinner.h"

#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Row {
    QString key;
    QString text;
    bool operator==(const Row &) const = default;
};

using RowModel = KeyedListModel<Row, QString>;

std::unique_ptr<RowModel> makeModel()
{
    return std::make_unique<RowModel>([](const Row &row) { return row.key; },
        [](const Row &row, int role) { return role == Qt::DisplayRole ? QVariant(row.text) : QVariant(); });
}

QList<Row> rows(const QStringList &keys, const QString &suffix = QString())
{
    QList<Row> result;
    for (const QString &key : keys)
        result.push_back({key, key + suffix});
    return result;
}

QStringList displayed(const QAbstractItemModel &model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

} // namespace

TEST(KeyedListModel, EqualListsDoNothingAndSameKeysUpdateRowsInPlace)
{
    auto model = makeModel();
    model->setItems(rows({"a", "b", "c"}));
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy inserts(model.get(), &QAbstractItemModel::rowsInserted);

    model->setItems(rows({"a", "b", "c"}));
    EXPECT_EQ(resets.count() + changes.count() + inserts.count(), 0);

    QList<Row> edited = rows({"a", "b", "c"});
    edited[1].text = "B!";
    model->setItems(edited);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(changes[0][1].toModelIndex().row(), 1);
    EXPECT_EQ(displayed(*model), QStringList({"a", "B!", "c"}));
}

TEST(KeyedListModel, RowsComeAndGoWithoutAResetUnlessTheOrderChanges)
{
    // Filled as a short list is, or as a long one is, with its rows worked out elsewhere.
    for (const bool givenRows : {false, true}) {
        SCOPED_TRACE(givenRows);
        auto model = makeModel();
        if (givenRows)
            model->setItems(rows({"a", "b", "c", "d"}), [](const QString &key) {
                return QStringList{"a", "b", "c", "d"}.indexOf(key);
            });
        else
            model->setItems(rows({"a", "b", "c", "d"}));
        EXPECT_EQ(model->keyAt(2), QString("c"));
        EXPECT_EQ(model->rowOf("d"), 3);
        EXPECT_EQ(model->rowOf("e"), -1);
        // Indexes only for the rows there are, in the one column, at the top.
        EXPECT_EQ(model->index(3).data().toString(), "d");
        for (const auto &[row, column] : {std::pair{4, 0}, {-1, 0}, {0, 1}})
            EXPECT_FALSE(model->index(row, column).isValid()) << row << " " << column;
        EXPECT_FALSE(model->index(0, 0, model->index(1)).isValid());
        QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy removes(model.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserts(model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy changes(model.get(), &QAbstractItemModel::dataChanged);

        model->setItems(rows({"x", "a", "c", "y", "z", "d"}, "2"));
        EXPECT_EQ(resets.count(), 0);
        EXPECT_EQ(removes.count(), 1);
        EXPECT_EQ(inserts.count(), 2);
        EXPECT_EQ(displayed(*model), QStringList({"x2", "a2", "c2", "y2", "z2", "d2"}));
        EXPECT_EQ(model->rowOf("z"), 4);
        EXPECT_EQ(model->rowOf("b"), -1);
        EXPECT_EQ(model->keyAt(5), QString("d"));
        EXPECT_FALSE(model->keyAt(6));
        // Kept rows with new values report their change.
        EXPECT_GE(changes.count(), 1);

        model->setItems(rows({"d", "a"}));
        EXPECT_EQ(resets.count(), 1);
        EXPECT_EQ(displayed(*model), QStringList({"d", "a"}));
        EXPECT_EQ(model->rowOf("a"), 1);

        model->setItems({});
        EXPECT_EQ(model->rowCount(), 0);
    }
}

// The model holds the list it is given, never a copy of it: a long list it shares with the state costs no
// copy of its rows, whether it comes new, updated in place or with rows inserted.
TEST(KeyedListModel, HoldsTheListItIsGivenWithoutACopy)
{
    auto model = makeModel();
    for (const QList<Row> &list : {rows({"a", "b", "c"}), rows({"a", "b", "c"}, "!"), rows({"a", "x", "b", "c"})}) {
        model->setItems(list);
        EXPECT_EQ(model->items().constData(), list.constData()) << displayed(*model).join(u',').toStdString();
    }
    EXPECT_EQ(model->rowOf("b"), 2);

    // An emptied list is one reset.
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy removes(model.get(), &QAbstractItemModel::rowsRemoved);
    model->setItems({});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(removes.count(), 0);
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(model->rowOf("a"), -1);
}

struct BinderFixture : ::testing::Test {
    std::unique_ptr<RowModel> model = makeModel();
    QListView view;
    QList<std::optional<QString>> writes;
    std::unique_ptr<SelectionBinder<QString>> binder;

    void SetUp() override
    {
        QStringList keys;
        for (int i = 0; i < 200; ++i)
            keys << QString::number(i);
        model->setItems(rows(keys));
        binder = std::make_unique<SelectionBinder<QString>>(
            &view, model.get(), model.get(), [this](std::optional<QString> key) { writes << key; });
        view.resize(200, 150);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    std::optional<QString> selectedKey() const
    {
        const QModelIndexList selected = view.selectionModel()->selectedIndexes();
        return selected.isEmpty() ? std::nullopt : model->keyAt(selected.first().row());
    }
};

TEST_F(BinderFixture, StateIsShownWithoutWriteBackAndUserClicksWrite)
{
    binder->show(QString("3"));
    EXPECT_EQ(selectedKey(), QString("3"));
    binder->show(std::nullopt);
    EXPECT_FALSE(selectedKey());
    EXPECT_TRUE(writes.isEmpty());

    const QRect rect = view.visualRect(model->index(2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(writes.size(), 1);
    EXPECT_EQ(writes[0], QString("2"));
    // Clicking the row again changes nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(writes.size(), 1);
}

TEST_F(BinderFixture, ModelUpdatesKeepTheSelectionAndScrollWithoutWriting)
{
    binder->show(QString("150"));

    // Removing the selected row is no user choice.
    QList<Row> without = model->items();
    without.removeAt(150);
    model->setItems(without);
    EXPECT_TRUE(writes.isEmpty());

    // A reordering resets the model: the selection and the scroll position come back.
    binder->show(QString("120"));
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 7);
    const int scroll = view.verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);
    QList<Row> swapped = model->items();
    std::swap(swapped[0], swapped[1]);
    model->setItems(swapped);
    EXPECT_TRUE(writes.isEmpty());
    EXPECT_EQ(selectedKey(), QString("120"));
    EXPECT_EQ(view.verticalScrollBar()->value(), scroll);
}

TEST(ChangeHandler, FiresOncePerRealChangeOnlyWhileShown)
{
    int calls = 0;
    ChangeHandler<int> handler([&calls] { ++calls; });
    handler.observe(1, true); // the value that stands when first shown
    handler.observe(1, true);
    EXPECT_EQ(calls, 0);
    handler.observe(2, true);
    EXPECT_EQ(calls, 1);
    handler.observe(3, false); // changes while hidden call nothing
    handler.observe(4, false);
    handler.observe(4, true); // shown again: a first value once more
    EXPECT_EQ(calls, 1);
    handler.observe(5, true);
    EXPECT_EQ(calls, 2);
}

TEST(ChangeHandler, AnActionThatChangesTheValueAgainIsNotRepeated)
{
    int value = 1;
    int calls = 0;
    ChangeHandler<int> *self = nullptr;
    ChangeHandler<int> handler([&] {
        ++calls;
        self->observe(value, true); // a render from inside the action
    });
    self = &handler;
    handler.observe(value, true);
    value = 2;
    handler.observe(value, true);
    EXPECT_EQ(calls, 1);
}

TEST(ElidedLabel, CutsInTheMiddleOrAtTheEndOnOneLine)
{
    ElidedLabel middle;
    middle.setElideMode(Qt::ElideMiddle);
    middle.setText("/Users/someone/Projects/a-very-long-folder-name/and-more/the-end");
    middle.resize(middle.fontMetrics().horizontalAdvance("/Users/someone…the-end") + 10, 20);
    const QString shown = middle.elidedText();
    EXPECT_TRUE(shown.startsWith("/Users")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("the-end")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));

    ElidedLabel tail;
    tail.setText("first line\nsecond line");
    tail.resize(1000, 20);
    EXPECT_EQ(tail.elidedText(), "first line second line");
    EXPECT_EQ(tail.sizeHint().height(), tail.minimumSizeHint().height());
    EXPECT_LT(tail.sizeHint().height(), tail.fontMetrics().height() * 2);
    tail.resize(tail.fontMetrics().horizontalAdvance("first li…"), 20);
    EXPECT_TRUE(tail.elidedText().startsWith("first"));
    EXPECT_TRUE(tail.elidedText().endsWith(QChar(0x2026)));
}

TEST(Spinner, TurnsOnlyWhileShown)
{
    QWidget window;
    auto *spinner = new Spinner(&window);
    EXPECT_FALSE(spinner->isSpinning());
    window.show();
    EXPECT_TRUE(spinner->isSpinning());
    spinner->hide();
    EXPECT_FALSE(spinner->isSpinning());
}
