#include "DiffView.h"

#include "DiffCanvas.h"
#include "Theme.h"
#include "parsers/UnifiedDiffParser.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QStackedLayout>

DiffView::DiffView(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedLayout(this)), m_canvas(new DiffCanvas(this)),
      m_plainText(new QPlainTextEdit(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_plainText->setReadOnly(true);
    m_plainText->setFrameShape(QFrame::NoFrame);
    m_plainText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Selectable, but without a blinking caret in a text that cannot be edited.
    m_plainText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_plainText->setFont(Theme::monospaced(Theme::bodySize));
    m_plainText->document()->setDocumentMargin(12);
    m_stack->addWidget(m_plainText);
    m_stack->addWidget(m_canvas);
    m_showsPlaceholder = true;
    applyPlainTextColor();
}

bool DiffView::showsCards() const
{
    return m_stack->currentWidget() == m_canvas;
}

void DiffView::setContent(const QString &diffText, const QString &emptyText)
{
    const bool sameText = m_hasContent && diffText == m_diffText;
    if (sameText && emptyText == m_emptyText)
        return;
    m_diffText = diffText;
    m_emptyText = emptyText;
    m_hasContent = true;
    if (sameText) {
        if (m_showsPlaceholder && !showsCards())
            showPlainText();
        return;
    }

    const ParsedDiff diff = UnifiedDiffParser::parse(diffText);
    if (diff.files.isEmpty()) {
        m_canvas->clear();
        showPlainText();
        m_stack->setCurrentWidget(m_plainText);
        return;
    }
    m_canvas->setDiff(diff);
    m_plainText->clear();
    m_stack->setCurrentWidget(m_canvas);
}

void DiffView::showPlainText()
{
    const QString trimmed = m_diffText.trimmed();
    m_showsPlaceholder = trimmed.isEmpty();
    m_plainText->setPlainText(m_showsPlaceholder ? m_emptyText : trimmed);
    applyPlainTextColor();
}

void DiffView::applyPlainTextColor()
{
    QPalette palette = m_plainText->palette();
    const QPalette inherited = this->palette();
    const QColor background = Theme::textBackground(inherited);
    const QColor text
        = m_showsPlaceholder ? Theme::composite(Theme::secondary(inherited), background) : Theme::primary(inherited);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Base, background);
    }
    m_plainText->setPalette(palette);
}

void DiffView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPlainTextColor();
}
