// The diff view over sample diffs (Git, svn with a long path and with property changes, wide lines
// scrolled sideways, an error text and nothing at all), with a selection where it shows, light and dark.
#include "Pictures.h"
#include "ui/DiffSamples.h"

#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"

#include <QCoreApplication>
#include <QScrollBar>

using namespace DiffSamples;

void takeDiffPictures(Pictures &pictures)
{
    const QList<std::pair<QString, QString>> samples = {
        {QStringLiteral("git"), sampleGitDiff},
        {QStringLiteral("svn-long-path"), longPathDiff()},
        {QStringLiteral("svn-properties"), svnPropertiesDiff()},
        {QStringLiteral("wide"), wideDiff()},
        {QStringLiteral("error"),
            QStringLiteral("\n  svn: E155007: '/tmp/x' is not a working copy\n\n    (details "
                           "indented)\n")},
        {QStringLiteral("empty"), QString()},
    };
    for (const auto &[name, palette] :
        {std::pair{QStringLiteral("light"), lightPalette()}, std::pair{QStringLiteral("dark"), darkPalette()}}) {
        for (const auto &[sample, text] : samples) {
            DiffView view;
            view.setPalette(palette);
            view.resize(1600, 1000);
            view.setContent(text, QStringLiteral("(select a changed file)"));
            view.show();
            QCoreApplication::processEvents();
            DiffCanvas &canvas = *view.canvas();
            if (sample == u"git")
                drag(canvas, caretPoint(canvas, 2, 4), caretPoint(canvas, 7, 10));
            if (sample == u"wide") {
                canvas.horizontalScrollBar()->setValue(150);
                drag(canvas, caretPoint(canvas, 3, 2), caretPoint(canvas, 3, 40));
            }
            QCoreApplication::processEvents();
            pictures.save(view.grab(), QStringLiteral("diff-%1-%2.png").arg(sample, name));
        }
    }
}
