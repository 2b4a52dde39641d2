#pragma once

#include "UiFixture.h"

#include "ui/kit/EmptyStateView.h"
#include "ui/kit/Placeholder.h"
#include "ui/workflow/RevisionRowDelegate.h"

#include <QAbstractItemView>
#include <QTest>

// Records for the workflow tab tests.
inline QList<SVNPathChange> pathChanges(int count, const QString &action = QStringLiteral("M"))
{
    QList<SVNPathChange> changes;
    for (int i = 1; i <= count; ++i)
        changes.push_back({action, QStringLiteral("/trunk/src/file%1.c").arg(i), QStringLiteral("file")});
    return changes;
}

inline LogEntry logEntry(qint64 revision, const QString &author, const QString &message,
    const QList<SVNPathChange> &paths, std::optional<QDateTime> date = std::nullopt,
    std::optional<QString> hash = std::nullopt)
{
    LogEntry entry;
    entry.revision = revision;
    entry.commitHash = std::move(hash);
    entry.author = author;
    entry.date = std::move(date);
    entry.message = message;
    entry.paths = paths;
    return entry;
}

inline RevisionRow revisionRow(const QAbstractItemModel &model, int row)
{
    return model.index(row, 0).data(RevisionRow::role).value<RevisionRow>();
}

// Clicks a row of a list the way a user does.
inline void clickRow(QAbstractItemView *view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// Shows a widget as a window of its own and lets it render.
template <typename View> void showView(View &view, const AppState &state, QSize size = QSize(1200, 760))
{
    view.resize(size);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    settle(state);
}
