#include "ui/kit/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace {

QString singleLine(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return text;
}

// A line's height with room for glyphs that reach below the descent (an underscore at small sizes).
int lineHeight(const QFontMetrics &metrics)
{
    return qMax(metrics.height(), metrics.ascent() + metrics.boundingRect(QLatin1Char('_')).bottom() + 1);
}

} // namespace

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    update();
}

void ElidedLabel::setColor(QColor (*color)(const QPalette &))
{
    m_color = color;
    update();
}

QString ElidedLabel::elidedText() const
{
    return fontMetrics().elidedText(singleLine(text()), m_mode, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(singleLine(text())) + 1 + margins.left() + margins.right(),
        lineHeight(metrics) + margins.top() + margins.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    // The label may shrink to nothing; the ellipsis takes over.
    const QMargins margins = contentsMargins();
    return {0, lineHeight(fontMetrics()) + margins.top() + margins.bottom()};
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPalette colors = palette();
    if (m_color)
        colors.setColor(foregroundRole(), m_color(palette()));
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, colors,
        isEnabled(), elidedText(), foregroundRole());
}
