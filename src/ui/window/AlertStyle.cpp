#include "ui/window/AlertStyle.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QtMath>

#include <algorithm>

namespace AlertStyle {

namespace {

// With a character's room to spare: the label's text layout adds up fractional advances that the
// metrics round.
int widestLine(const QLabel &label)
{
    const QFontMetricsF metrics(label.font());
    qreal widest = 0;
    for (const QString &line : label.text().split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return qCeil(widest + metrics.averageCharWidth());
}

} // namespace

void apply(QMessageBox &box)
{
    box.setWindowTitle(QApplication::applicationDisplayName());
    auto *title = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    auto *message = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    if (title) {
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
    }
    // QMessageBox sizes itself to its labels' least widths when it is shown; a wrapping message asks for
    // hardly any, which left a box of 200 pixels that broke paths at every slash.
    QLabel *text = message && !message->text().isEmpty() ? message : title;
    if (!text)
        return;
    int natural = widestLine(*text);
    if (title && text != title)
        natural = std::max(natural, widestLine(*title));
    text->setMinimumWidth(std::clamp(natural, textMinimumWidth, textMaximumWidth));
}

} // namespace AlertStyle
