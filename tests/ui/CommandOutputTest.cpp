// The command output sheet's text and layout.
#include "ui/kit/ElidedLabel.h"
#include "ui/kit/Theme.h"
#include "ui/window/CommandOutputView.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

CommandOutput outputOf(qint32 status, const QString &stdout, const QString &stderr)
{
    return CommandOutput{QUuid::createUuid(), "Update", "svn update", status, stdout, stderr};
}

} // namespace

TEST(RenderedOutput, SectionsByEmptinessJoinedByABlankLine)
{
    EXPECT_EQ(renderedOutput(outputOf(0, "", "")), "exit status: 0");
    EXPECT_EQ(renderedOutput(outputOf(-1, "", "")), "exit status: -1");
    EXPECT_EQ(renderedOutput(outputOf(1, "", "svn: E155007\n")), "exit status: 1\n\nstderr:\nsvn: E155007\n");
    // Standard output stays as captured, so its own newline adds a blank line before "stderr:".
    EXPECT_EQ(renderedOutput(outputOf(0, "A  a.txt\n", "warning")), "exit status: 0\n\nA  a.txt\n\n\nstderr:\nwarning");
    // White space alone still makes its section.
    EXPECT_EQ(renderedOutput(outputOf(0, "\n", " ")), "exit status: 0\n\n\n\n\nstderr:\n ");
}

TEST(CommandOutputView, HeaderTextsDoneButtonAndAScrollingMonospacedOutput)
{
    int dismissed = 0;
    CommandOutput output = outputOf(0, QString(400, QChar('x')) + "\n", "");
    output.title = "A title long enough that it has to wrap onto a second line in the header of the sheet, "
                   "because it is never cut to one line like the command line below it";
    output.commandLine = "svn commit -m 'first line\nsecond line' " + QString(300, QChar('p'));
    CommandOutputView view(output, [&dismissed] { ++dismissed; });
    view.resize(720, 460);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.minimumSize(), QSize(720, 460));

    auto *title = view.findChild<QLabel *>("title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), output.title);
    EXPECT_TRUE(title->wordWrap());
    EXPECT_GT(title->height(), title->fontMetrics().height() * 3 / 2);
    auto *commandLine = view.findChild<ElidedLabel *>("commandLine");
    ASSERT_TRUE(commandLine);
    EXPECT_FALSE(commandLine->elidedText().contains(u'\n'));
    EXPECT_TRUE(commandLine->elidedText().endsWith(QChar(0x2026)));

    QPlainTextEdit *area = view.outputArea();
    EXPECT_EQ(area->toPlainText(), renderedOutput(output));
    EXPECT_TRUE(area->isReadOnly());
    EXPECT_EQ(area->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(QFontInfo(area->font()).family(), QFontInfo(Theme::monospaced(Theme::bodySize)).family());
    EXPECT_EQ(area->document()->documentMargin(), 12);
    EXPECT_TRUE(area->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    // Shift with the wheel runs along the long line.
    const QPointF middle(area->viewport()->width() / 2.0, area->viewport()->height() / 2.0);
    QWheelEvent turn(middle, area->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area->viewport(), &turn);
    EXPECT_GT(area->horizontalScrollBar()->value(), 0);

    EXPECT_EQ(view.doneButton()->text(), "Done");
    EXPECT_TRUE(view.doneButton()->isDefault());
    QTest::mouseClick(view.doneButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed, 1);
}
