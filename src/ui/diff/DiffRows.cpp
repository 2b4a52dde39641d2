#include "ui/diff/DiffRows.h"

#include "ui/kit/Theme.h"

namespace DiffCodeLineView {

QColor prefixColor(DiffLineKind kind, const QPalette &palette)
{
    switch (kind) {
    case DiffLineKind::addition:
        return Theme::green(palette);
    case DiffLineKind::deletion:
        return Theme::red(palette);
    case DiffLineKind::context:
    case DiffLineKind::hunk:
    case DiffLineKind::note:
        break;
    }
    return Theme::secondary(palette);
}

QColor rowBackground(DiffLineKind kind, const QPalette &palette)
{
    switch (kind) {
    case DiffLineKind::addition:
        return Theme::withOpacity(Theme::green(palette), 0.16);
    case DiffLineKind::deletion:
        return Theme::withOpacity(Theme::red(palette), 0.14);
    case DiffLineKind::note:
        return Theme::withOpacity(Theme::yellow(palette), 0.12);
    case DiffLineKind::context:
    case DiffLineKind::hunk:
        break;
    }
    return Theme::textBackground(palette);
}

QColor gutterBackground(DiffLineKind kind, const QPalette &palette)
{
    switch (kind) {
    case DiffLineKind::addition:
        return Theme::withOpacity(Theme::green(palette), 0.22);
    case DiffLineKind::deletion:
        return Theme::withOpacity(Theme::red(palette), 0.20);
    case DiffLineKind::note:
        return Theme::withOpacity(Theme::yellow(palette), 0.18);
    case DiffLineKind::context:
    case DiffLineKind::hunk:
        break;
    }
    return Theme::windowBackground(palette);
}

QString lineNumber(std::optional<qint64> number)
{
    return number ? QString::number(*number) : QString();
}

} // namespace DiffCodeLineView

namespace DiffHunkView {

QColor headerBackground(const QPalette &palette)
{
    return Theme::withOpacity(Theme::blue(palette), 0.08);
}

} // namespace DiffHunkView
