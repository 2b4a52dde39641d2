#include "ui/changes/CommitPanelView.h"

#include "model/TextUtil.h"
#include "state/AppState.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/PlainTextEditor.h"
#include "ui/kit/RenderScheduler.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <QVBoxLayout>

bool commitButtonEnabled(const QSet<QString> &selectedCommitPaths, const QString &commitMessage)
{
    return !selectedCommitPaths.isEmpty() && !TextUtil::trimmed(commitMessage).isEmpty();
}

namespace {

constexpr int fieldPadding = 6;
constexpr int editorMinimumHeight = 76;
constexpr int editorMaximumHeight = 96;

// The editor's frame: a rounded field in the text background colour with a hairline border, ringed
// while the editor has the focus. It asks for no more than the editor's largest height, so the tab's
// split takes the rest.
class CommitMessageField : public QWidget {
public:
    explicit CommitMessageField(QPlainTextEdit *editor) : m_editor(editor)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(fieldPadding, fieldPadding, fieldPadding, fieldPadding);
        layout->addWidget(editor);
        editor->installEventFilter(this);
    }

    QSize sizeHint() const override { return {QWidget::sizeHint().width(), editorMaximumHeight + 2 * fieldPadding}; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            update();
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        const QColor background = Theme::textBackground(palette());
        painter.fillPath(shape, background);
        if (m_editor->hasFocus()) {
            FocusRing::paint(painter, QRectF(rect()), 6, palette(), background);
            return;
        }
        painter.setPen(QPen(Theme::separator(palette()), 1));
        painter.drawPath(shape);
    }

private:
    QPlainTextEdit *m_editor;
};

// The editor's text as typed, with no-break spaces kept (QPlainTextEdit::toPlainText would turn them
// into spaces). Every line break the editor makes is "\n": Return gives a paragraph separator and
// Shift+Return a line separator, and svn and git would store either as it is, on one line.
QString editorText(const QPlainTextEdit *editor)
{
    QString text = editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

} // namespace

CommitPanelView::CommitPanelView(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    new RenderScheduler(state, this, [this] { render(); });

    m_editor = new PlainTextEditor;
    m_editor->setObjectName(QStringLiteral("commitMessage"));
    m_editor->setFont(Theme::body());
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setMinimumHeight(editorMinimumHeight);
    m_editor->setMaximumHeight(editorMaximumHeight);
    m_editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Tab moves on to the Commit button, as in a form: a keyboard user must be able to leave the editor.
    m_editor->setTabChangesFocus(true);
    // The field behind the editor shows through.
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_editor->setPalette(palette);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &CommitPanelView::editorTextChanged);
    m_field = new CommitMessageField(m_editor);

    m_count = new ElidedLabel;
    m_count->setFont(Theme::caption());
    m_count->setColor(&Theme::secondary);
    m_commit = new QPushButton(symbolIcon(QStringLiteral("checkmark.circle")), tr("Commit"));
    m_commit->setObjectName(QStringLiteral("commitButton"));
    m_commit->setIconSize(QSize(15, 15));
    m_commit->setAutoDefault(false);
    FocusRing::attachToButton(m_commit);
    connect(m_commit, &QPushButton::clicked, this, [this] { m_state.commitSelected(); });

    auto *row = new QHBoxLayout;
    row->addWidget(m_count, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_commit, 0, Qt::AlignVCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(m_field);
    layout->addLayout(row);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    render();
}

void CommitPanelView::editorTextChanged()
{
    if (m_settingText)
        return;
    m_shownMessage = editorText(m_editor);
    m_state.setCommitMessage(m_shownMessage);
}

void CommitPanelView::render()
{
    const QSet<QString> &paths = m_state.selectedCommitPaths();
    const QString &message = m_state.commitMessage();
    m_count->setText(tr("%1 Selected").arg(QString::number(paths.size())));
    m_commit->setEnabled(commitButtonEnabled(paths, message));
    if (message != m_shownMessage) {
        m_shownMessage = message;
        const QScopedValueRollback guard(m_settingText, true);
        m_editor->setPlainText(message);
    }
}
