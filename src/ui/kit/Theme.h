#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The look shared by all views: the system's named and semantic colours for the light and the dark
// appearance, and the text styles. Sizes are logical pixels, one for each point of the original design.
namespace Theme {

inline constexpr qreal bodySize = 13;
inline constexpr qreal headlineSize = 13;
inline constexpr qreal captionSize = 10;
inline constexpr qreal title2Size = 17;
inline constexpr qreal titleSize = 22;

// Qt 6.4 has no colour-scheme query: a dark window colour means the dark appearance.
bool isDark(const QPalette &palette);

// The standard adaptive colours.
QColor green(const QPalette &palette);
QColor red(const QPalette &palette);
QColor orange(const QPalette &palette);
QColor yellow(const QPalette &palette);
QColor blue(const QPalette &palette);
QColor purple(const QPalette &palette);
QColor gray(const QPalette &palette);

// The semantic colours, taken from the palette so that a system theme carries through.
QColor textBackground(const QPalette &palette);
QColor windowBackground(const QPalette &palette);
QColor separator(const QPalette &palette);
// Foreground styles: primary is the text colour, secondary the same colour faded.
QColor primary(const QPalette &palette);
QColor secondary(const QPalette &palette);

// The placeholder of a text field, standing out from the field as small text must. Qt's own is black at
// half opacity, 4:1 on white, and a desktop's dark palette that names no placeholder colour keeps it.
QColor placeholderText(const QPalette &palette);

// The fill of a selected row in a focused list: the accent, darkened (or lightened) only as far as it
// takes for the highlighted text on it to read at 4.5:1 with room to spare.
QColor selectionFill(const QPalette &palette);

// The colour with its opacity multiplied by the factor.
QColor withOpacity(QColor color, qreal opacity);
// The opaque colour seen when a translucent colour lies over an opaque one.
QColor composite(const QColor &top, const QColor &bottom);
// A faint overlay that shows on the window colour: white in the dark appearance, black in the light one.
QColor tint(const QPalette &palette, qreal opacity);

// What small text is given against its ground: 4.5:1 and room, because antialiasing spreads a thin
// stroke over two pixels, neither of which then takes the text's full colour.
inline constexpr qreal smallTextContrast = 5.2;

// The contrast ratio of two opaque colours as WCAG 2 defines it, from 1 (equal) to 21 (black on white).
qreal contrastRatio(const QColor &a, const QColor &b);
// The colour (composited over `against` when translucent), darkened or lightened only as far as it takes
// to stand out from `against` by at least `ratio`. Marks such as badges and check boxes keep their hue
// on a selected row whose accent is their own colour.
QColor standingOut(const QColor &color, const QColor &against, qreal ratio = 3);

// The system font at a size and weight; the monospaced design of it; the text styles.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospaced(qreal pixelSize, QFont::Weight weight = QFont::Normal);
// Whether every printable ASCII character, the text of nearly every diff line, has one advance in the font.
bool hasEvenAdvances(const QFont &font);
// The first family whose regular and semibold faces pass hasEvenAdvances, or an empty text.
QString firstEvenFamily(const QStringList &families);
inline QFont body()
{
    return font(bodySize);
}
inline QFont headline()
{
    return font(headlineSize, QFont::DemiBold);
}
inline QFont caption()
{
    return font(captionSize);
}
inline QFont title2()
{
    return font(title2Size);
}
inline QFont title()
{
    return font(titleSize);
}

// A bundled symbol image ("doc.text", ...) drawn in one colour at a logical size; cached.
// A name that is not bundled gives a null pixmap.
QPixmap symbol(const QString &name, const QColor &color, QSize size, qreal devicePixelRatio);

} // namespace Theme
