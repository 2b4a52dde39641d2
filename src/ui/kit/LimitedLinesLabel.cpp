#include "ui/kit/LimitedLinesLabel.h"

#include "ui/kit/ContextMenu.h"
#include "ui/kit/FocusRing.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

namespace {

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

QStringList paragraphs(const QString &text)
{
    QStringList result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i].unicode()))
            continue;
        result.push_back(text.mid(start, i - start));
        // "\r\n" is one break.
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    result.push_back(text.mid(start));
    return result;
}

QString singleLine(QString text)
{
    for (QChar &c : text) {
        if (isLineBreak(c.unicode()))
            c = u' ';
    }
    return text;
}

QString trimmedEnd(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    return text.left(end);
}

} // namespace

QStringList limitedLines(const QString &text, const QFont &font, int width, int maxLines, Qt::TextElideMode mode)
{
    const QFontMetrics metrics(font);
    width = qMax(width, 1);
    if (maxLines == 1 && mode != Qt::ElideRight)
        return {metrics.elidedText(singleLine(text), mode, width)};

    const QStringList parts = paragraphs(text);
    QStringList lines;
    for (qsizetype p = 0; p < parts.size(); ++p) {
        const QString &paragraph = parts[p];
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QList<std::pair<int, int>> ranges;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ranges.push_back({line.textStart(), line.textLength()});
        }
        layout.endLayout();
        if (ranges.isEmpty())
            ranges.push_back({0, 0});

        for (qsizetype r = 0; r < ranges.size(); ++r) {
            const bool lastAllowed = maxLines > 0 && lines.size() == maxLines - 1;
            const bool moreFollows = r + 1 < ranges.size() || p + 1 < parts.size();
            if (lastAllowed && moreFollows) {
                // The last line takes the rest of its paragraph and always shows that more was cut.
                QString rest = singleLine(paragraph.mid(ranges[r].first));
                if (r + 1 == ranges.size())
                    rest = trimmedEnd(rest) + QChar(0x2026);
                lines.push_back(metrics.elidedText(rest, Qt::ElideRight, width));
                return lines;
            }
            lines.push_back(trimmedEnd(paragraph.mid(ranges[r].first, ranges[r].second)));
        }
    }
    return lines;
}

LimitedLinesLabel::LimitedLinesLabel(int maxLines, QWidget *parent) : QLabel(parent), m_maxLines(maxLines)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    // Only a selectable label takes the focus.
    FocusRing::attach(this, 4);
}

void LimitedLinesLabel::setFullText(const QString &text)
{
    if (text == m_fullText && !QLabel::text().isNull())
        return;
    m_fullText = text;
    relayout();
    updateGeometry();
}

void LimitedLinesLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    relayout();
}

void LimitedLinesLabel::setSelectable(bool selectable)
{
    setTextInteractionFlags(
        selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard : Qt::NoTextInteraction);
    // A selectable text is a stop of Tab like the other texts that can be copied, and its ring keeps
    // clear of the letters.
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    const int clear = selectable ? FocusRing::clearance : 0;
    setContentsMargins(clear, clear, clear, clear);
    relayout();
    updateGeometry();
    if (selectable)
        setCursor(Qt::IBeamCursor);
    else
        unsetCursor();
}

void LimitedLinesLabel::setColor(QColor (*color)(const QPalette &))
{
    m_color = color;
    applyColor();
}

QStringList LimitedLinesLabel::linesAt(int width) const
{
    const QMargins margins = contentsMargins();
    return limitedLines(m_fullText, font(), width - margins.left() - margins.right(), m_maxLines, m_mode);
}

int LimitedLinesLabel::heightForWidth(int width) const
{
    // Measured as the label lays its lines out, which is a little taller than the font's line spacing.
    QTextDocument document;
    document.setDefaultFont(font());
    document.setDocumentMargin(0);
    document.setPlainText(linesAt(width).join(u'\n'));
    const QMargins margins = contentsMargins();
    return qCeil(document.size().height()) + margins.top() + margins.bottom();
}

QSize LimitedLinesLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int natural = 0;
    for (const QString &paragraph : paragraphs(m_fullText))
        natural = qMax(natural, metrics.horizontalAdvance(paragraph));
    const QMargins margins = contentsMargins();
    const int width = natural + 1 + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

QSize LimitedLinesLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {0, QFontMetrics(font()).height() + 1 + margins.top() + margins.bottom()};
}

void LimitedLinesLabel::relayout()
{
    const QString shown = linesAt(width()).join(u'\n');
    if (shown != QLabel::text())
        QLabel::setText(shown);
}

void LimitedLinesLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    relayout();
}

void LimitedLinesLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout();
        updateGeometry();
    } else if (event->type() == QEvent::PaletteChange) {
        applyColor();
    }
}

void LimitedLinesLabel::applyColor()
{
    if (!m_color || m_applyingColor)
        return;
    QPalette colors = palette();
    const QColor color = m_color(colors);
    if (colors.color(QPalette::WindowText) == color && colors.color(QPalette::Text) == color)
        return;
    m_applyingColor = true;
    colors.setColor(QPalette::WindowText, color);
    colors.setColor(QPalette::Text, color);
    setPalette(colors);
    m_applyingColor = false;
}

void LimitedLinesLabel::copySelection() const
{
    if (!hasSelectedText())
        return;
    const QString shown = QLabel::text();
    QString selected = selectedText();
    if (selectionStart() == 0 && selected.size() == shown.size()) {
        selected = m_fullText;
    } else {
        selected.replace(QChar(0x2029), u'\n');
    }
    QApplication::clipboard()->setText(selected);
}

void LimitedLinesLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && hasSelectedText()) {
        copySelection();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LimitedLinesLabel::contextMenuEvent(QContextMenuEvent *event)
{
    if (!(textInteractionFlags() & Qt::TextSelectableByMouse)) {
        QLabel::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("Copy"), this, &LimitedLinesLabel::copySelection);
    copy->setEnabled(hasSelectedText());
    menu.addAction(tr("Select All"), this, [this] { setSelection(0, int(QLabel::text().size())); });
    ContextMenu::exec(menu, event->globalPos(), event->reason());
}
