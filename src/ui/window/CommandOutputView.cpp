#include "ui/window/CommandOutputView.h"

#include "ui/kit/Divider.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/ShiftWheel.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString renderedOutput(const CommandOutput &output)
{
    QStringList sections{QStringLiteral("exit status: ") + QString::number(output.status)};
    if (!output.stdout.isEmpty())
        sections << output.stdout;
    if (!output.stderr.isEmpty())
        sections << QStringLiteral("stderr:\n") + output.stderr;
    return sections.join(QStringLiteral("\n\n"));
}

CommandOutputView::CommandOutputView(const CommandOutput &output, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(720, 460);

    auto *title = new QLabel(output.title);
    title->setObjectName(QStringLiteral("title"));
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);
    title->setFont(Theme::headline());
    title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    auto *commandLine = new ElidedLabel(output.commandLine);
    commandLine->setObjectName(QStringLiteral("commandLine"));
    commandLine->setFont(Theme::caption());
    commandLine->setColor(&Theme::secondary);
    // Cut to the sheet's width, never widening it: a command line can be thousands of characters long.
    commandLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(title);
    titles->addWidget(commandLine);

    m_doneButton = new QPushButton(tr("Done"));
    m_doneButton->setObjectName(QStringLiteral("doneButton"));
    m_doneButton->setDefault(true);
    m_doneButton->setAutoDefault(true);
    FocusRing::attachToButton(m_doneButton);
    connect(m_doneButton, &QPushButton::clicked, this, [dismiss = std::move(dismiss)] {
        if (dismiss)
            dismiss();
    });

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 12, 12);
    header->addLayout(titles, 1);
    header->addWidget(m_doneButton, 0, Qt::AlignVCenter);

    m_outputArea = new QPlainTextEdit;
    m_outputArea->setReadOnly(true);
    m_outputArea->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_outputArea->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_outputArea->setFrameShape(QFrame::NoFrame);
    m_outputArea->setFont(Theme::monospaced(Theme::bodySize));
    m_outputArea->document()->setDocumentMargin(12);
    m_outputArea->setBackgroundRole(QPalette::Base);
    m_outputArea->setPlainText(renderedOutput(output));
    FocusRing::attach(m_outputArea);
    scrollSidewaysWithShift(m_outputArea);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(new Divider);
    layout->addWidget(m_outputArea, 1);
}

CommandOutputSheet::CommandOutputSheet(const CommandOutput &output, QWidget *parent)
    : QDialog(parent), m_outputID(output.id)
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(output.title);
    m_view = new CommandOutputView(output, [this] { accept(); });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

void CommandOutputSheet::keyPressEvent(QKeyEvent *event)
{
    // Return closes the sheet from anywhere in it, the output text included (which passes it on, while
    // QDialog only finds a default button it was told of after the button was in the dialog).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & ~Qt::KeypadModifier)) {
        m_view->doneButton()->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
