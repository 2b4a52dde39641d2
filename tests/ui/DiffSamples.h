#pragma once

// Sample diffs, palettes and mouse drags shared by the diff view's tests and the pictures of it.
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffLayout.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QString>

namespace DiffSamples {

inline const QString sampleGitDiff = QStringLiteral("warning: something the tool printed first\n"
                                                    "diff --git a/src/app/main.cpp b/src/app/main.cpp\n"
                                                    "index 3b18e51..a9c4f2d 100644\n"
                                                    "--- a/src/app/main.cpp\n"
                                                    "+++ b/src/app/main.cpp\n"
                                                    "@@ -10,7 +10,8 @@ int main(int argc, char **argv)\n"
                                                    " {\n"
                                                    "     QApplication app(argc, argv);\n"
                                                    "-    Window window;\n"
                                                    "+    Window window(nullptr);\n"
                                                    "+    window.resize(1280, 800);\n"
                                                    "     window.show();\n"
                                                    "\n"
                                                    "\treturn app.exec();\r\n"
                                                    " }\n"
                                                    "\\ No newline at end of file\n"
                                                    "@@ -9998,3 +9999,3 @@\n"
                                                    " keep\n"
                                                    "-old tail\n"
                                                    "+new tail\n"
                                                    "diff --git a/docs/removed.txt b/docs/removed.txt\n"
                                                    "deleted file mode 100644\n"
                                                    "--- a/docs/removed.txt\n"
                                                    "+++ /dev/null\n"
                                                    "@@ -1,2 +0,0 @@\n"
                                                    "-first\n"
                                                    "-second\n"
                                                    "diff --git a/img.png b/img.png\n"
                                                    "Binary files a/img.png and b/img.png differ\n");

inline QString wideDiff()
{
    QString text = QStringLiteral("diff --git a/wide.txt b/wide.txt\n@@ -1,40 +1,40 @@ ") + QString(150, u'h') + u'\n';
    for (int i = 0; i < 40; ++i)
        text += (i % 3 == 0          ? u'+'
                        : i % 3 == 1 ? u'-'
                                     : u' ')
            + QStringLiteral("row %1 \tmid\x01 ").arg(i) + QString(i * 10, u'.') + QStringLiteral("|end") + u'\n';
    return text;
}

// svn's property changes after a file's hunk (an svn:mergeinfo record and a property of one line),
// and empty lines after a hunk's counted lines.
inline QString svnPropertiesDiff()
{
    return QStringLiteral("Index: p.txt\n"
                          "===================================================================\n"
                          "--- p.txt\t(revision 4)\n"
                          "+++ p.txt\t(working copy)\n"
                          "@@ -1 +1 @@\n-a\n+b\n\nProperty changes on: p.txt\n")
        + QString(67, u'_')
        + QStringLiteral("\nModified: svn:mergeinfo\n## -0,1 +0,1 ##\n   Reverse-merged /branches/b:r2\n"
                         "   Merged /branches/b:r3-4\nAdded: colour\n## -0,0 +1 ##\n+blue\n"
                         "\\ No newline at end of property\n"
                         "Index: q.txt\n@@ -1 +1 @@\n-c\n+d\n\n@@ -5 +5 @@\n e\n\n");
}

inline QString longPathDiff()
{
    QString path = QStringLiteral("very/deep/folder/structure");
    for (int i = 0; i < 12; ++i)
        path += QStringLiteral("/level%1_with_a_long_name").arg(i);
    path += QStringLiteral("/final_file_name.cpp");
    return QStringLiteral("Index: %1\n"
                          "===================================================================\n"
                          "--- %1\t(revision 12)\n"
                          "+++ %1\t(working copy)\n"
                          "@@ -1,3 +1,3 @@\n"
                          " unchanged\n"
                          "-removed line\n"
                          "+added line\n"
                          " unchanged\n")
        .arg(path);
}

inline QPalette darkPalette()
{
    QPalette palette;
    const QColor text(0xDF, 0xDF, 0xDF);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(0x32, 0x32, 0x32));
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, QColor(0x3F, 0x63, 0x8B));
    }
    return palette;
}

inline QPalette lightPalette()
{
    QPalette palette;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
        palette.setColor(group, QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    }
    return palette;
}

// One line band of the canvas: the row's rectangle in viewport coordinates.
inline QRect viewportRect(const DiffCanvas &canvas, int row)
{
    return canvas.diffLayout().rowRect(row).translated(-canvas.contentOffset());
}

inline void sendMouse(
    QWidget *widget, QEvent::Type type, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

// The viewport point just inside the character at index of a code row.
inline QPoint caretPoint(const DiffCanvas &canvas, int row, qsizetype index)
{
    const DiffLayout &layout = canvas.diffLayout();
    const QString text = layout.text(layout.rows().at(row));
    const qreal x = DiffLayout::codeLeft() + layout.metrics().code.xOf(text, index) + 1;
    const QRect band = viewportRect(canvas, row);
    return QPoint(int(x) - canvas.contentOffset().x(), band.center().y());
}

inline void drag(DiffCanvas &canvas, QPoint from, QPoint to)
{
    sendMouse(canvas.viewport(), QEvent::MouseButtonPress, from);
    sendMouse(canvas.viewport(), QEvent::MouseMove, to);
    sendMouse(canvas.viewport(), QEvent::MouseButtonRelease, to);
}

} // namespace DiffSamples
