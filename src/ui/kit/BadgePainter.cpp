#include "ui/kit/BadgePainter.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace BadgePainter {

void paint(QPainter &painter, const QRectF &rect, const QColor &fill, const QColor &background, const QString &letter)
{
    // On whole pixels, so the letter's stems are not spread over two pixels each.
    const QRectF box(std::round(rect.center().x() - size.width() / 2.0),
        std::round(rect.center().y() - size.height() / 2.0), size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, 4, 4);
    const QColor onRow = Theme::standingOut(fill, background);
    QColor shown = onRow;
    QColor ink = Qt::black;
    // A light fill (green, orange) darkened far enough for a white letter turns olive or brown: it takes a
    // black letter. Other fills darken a little for a white one.
    const bool lightFill = Theme::contrastRatio(Theme::composite(fill, background), Qt::black) >= 8;
    if (!lightFill || Theme::contrastRatio(onRow, Qt::black) < Theme::smallTextContrast) {
        shown = Theme::standingOut(onRow, Qt::white, Theme::smallTextContrast);
        ink = Qt::white;
        if (Theme::contrastRatio(shown, background) < 3) {
            // A dark row that leaves no darker fill standing out: a lighter fill under a black letter.
            shown = Theme::standingOut(onRow, Qt::black, Theme::smallTextContrast);
            ink = Qt::black;
        }
    }
    painter.fillPath(shape, shown);
    painter.setPen(ink);
    QFont font = Theme::monospaced(Theme::captionSize, QFont::DemiBold);
    // Antialiased, the thin stem of a "!" or "?" takes no pixel whole and reads faintly on any fill.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, letter);
    painter.restore();
}

} // namespace BadgePainter
