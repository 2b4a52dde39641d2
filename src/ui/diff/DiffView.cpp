#include "ui/diff/DiffView.h"

#include "ui/diff/DiffCanvas.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/Theme.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Bytes of a diff that are read and laid out at once; a longer text goes to a worker.
constexpr qsizetype largestLayoutOnTheSpot = 256 * 1024;

} // namespace

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
    FocusRing::attach(m_plainText);
    m_stack->addWidget(m_plainText);
    m_stack->addWidget(m_canvas);
    m_showsPlaceholder = true;
    applyPlainTextColor();
}

bool DiffView::showsCards() const
{
    return m_stack->currentWidget() == m_canvas;
}

void DiffView::setContent(const QByteArray &diffText, const QString &emptyText)
{
    const bool sameText = m_hasContent && (diffText.isSharedWith(m_diffText) || diffText == m_diffText);
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

    const quint64 serial = ++m_textSerial;
    if (diffText.size() <= largestLayoutOnTheSpot) {
        showLayout(DiffLayout(diffText, m_canvas->metrics()));
        return;
    }
    // A large diff is read and laid out on a worker; the view shows what it showed until then.
    auto *watcher = new QFutureWatcher<DiffLayout>(this);
    connect(watcher, &QFutureWatcher<DiffLayout>::finished, this, [this, watcher, serial] {
        watcher->deleteLater();
        if (serial == m_textSerial)
            showLayout(watcher->future().takeResult());
    });
    watcher->setFuture(
        QtConcurrent::run([text = diffText, metrics = m_canvas->metrics()] { return DiffLayout(text, metrics); }));
}

void DiffView::showLayout(DiffLayout layout)
{
    if (layout.isEmpty()) {
        m_canvas->clear();
        showPlainText();
        m_stack->setCurrentWidget(m_plainText);
        return;
    }
    m_canvas->setLayout(std::move(layout));
    m_plainText->clear();
    m_stack->setCurrentWidget(m_canvas);
}

void DiffView::showPlainText()
{
    const QString trimmed = QString::fromUtf8(m_diffText).trimmed();
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
