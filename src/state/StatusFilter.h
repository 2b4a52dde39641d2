#pragma once

#include "model/WorkingCopyItem.h"
#include "parsers/IgnoreRules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The status list after the project's ignore rules: ignored paths hidden, re-included ones shown
// as unversioned, paths normalized, duplicates dropped, sorted. Pure; safe off the UI thread.
QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(
    const QList<WorkingCopyItem> &items, const QString &root, const IgnoreRules &rules);
// How the last sorted status list was put in order: the paths kept, in the order the filter kept them,
// and for each place of the sorted list the position it came from. A reload that keeps the same paths
// in the same order is sorted alike, without a sort key made again.
struct StatusOrder {
    QString locale;
    QStringList keptPaths;
    QList<qsizetype> sortedFrom;
};

// The same with the caller telling whether the item at an index is a folder (asked only where a
// rule's answer depends on it), and whether the items already come sorted by path; `order`, when
// given, is the order of the last list, used and replaced.
QList<WorkingCopyItem> statusItemsByApplyingIgnoreRules(const QList<WorkingCopyItem> &items, const QString &root,
    const IgnoreRules &rules, const std::function<bool(qsizetype item)> &itemIsFolder, bool itemsSorted,
    StatusOrder *order = nullptr);
// The unversioned paths below an ignored folder that its rules re-include, found by walking the folder
// without following links.
QList<WorkingCopyItem> includedUnversionedDescendants(
    const QString &folder, const QString &root, const IgnoreRules &rules);
