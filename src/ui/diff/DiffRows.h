#pragma once

#include "model/Diff.h"

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>

// The colours of one code line by its kind, and the text of its number gutters. The rows themselves are
// painted by DiffCanvas; there is no widget per row.
namespace DiffCodeLineView {

QColor prefixColor(DiffLineKind kind, const QPalette &palette);
QColor rowBackground(DiffLineKind kind, const QPalette &palette);
// Drawn over the row background.
QColor gutterBackground(DiffLineKind kind, const QPalette &palette);
// Plain decimal digits without grouping; empty when there is no number.
QString lineNumber(std::optional<qint64> number);

} // namespace DiffCodeLineView

namespace DiffHunkView {

// The tint of a hunk's header row, blank cells included.
QColor headerBackground(const QPalette &palette);

} // namespace DiffHunkView
