#pragma once

#include "model/WorkingCopyItem.h"
#include "parsers/IgnoreRules.h"

#include <QList>
#include <QString>

#include <functional>

// The status list after the project's ignore rules: ignored paths hidden, re-included ones shown
// as unversioned, paths normalized, duplicates dropped, sorted. Pure; safe off the UI thread.
QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(
    const QList<WorkingCopyItem> &items, const QString &root, const IgnoreRules &rules);
// How the last status list was sorted: the list, and for each of its places the position its row had
// among the rows the filter kept. A reload that keeps rows of the same paths in the same order is
// sorted alike without a sort key made again, and one that keeps the same rows is that list.
struct StatusOrder {
    QString locale;
    QList<qsizetype> sortedFrom;
    QList<WorkingCopyItem> sorted;
};

// The same with the caller telling whether the item at an index is a folder (asked only where a
// rule's answer depends on it, from several threads at once), and whether the items already come
// sorted by path; `order`, when given, is the order of the last list, used and replaced.
QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(const QList<WorkingCopyItem> &items, const QString &root,
    const IgnoreRules &rules, const std::function<bool(qsizetype item)> &itemIsFolder, bool itemsSorted,
    StatusOrder *order = nullptr);
// The unversioned paths below an ignored folder that its rules re-include, found by walking the folder
// without following links.
QList<WorkingCopyItem> includedUnversionedDescendants(
    const QString &folder, const QString &root, const IgnoreRules &rules);
