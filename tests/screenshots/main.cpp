// Takes pictures of the real window over real repositories: every tab, the command output sheet, an
// alert, the open menus, the empty states and the diff view, in light and dark. Run it under a display
// (xvfb-run -s "-screen 0 1600x1000x24", QT_QPA_PLATFORM=xcb) to see what a user sees.
#include "Pictures.h"

#include "ui/ScreenshotPalette.h"

#include "state/AppState.h"
#include "support/FakeClients.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>

Pictures::Pictures(QString folder) : m_folder(std::move(folder))
{ }

void Pictures::save(const QImage &image, const QString &fileName)
{
    const QString path = QDir(m_folder).filePath(fileName);
    if (!image.save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        ++m_failures;
    }
}

bool Pictures::expect(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "not so: %s\n", what);
        ++m_failures;
    }
    return ok;
}

bool Pictures::show(QWidget &window)
{
    window.resize(1440, 900);
    window.show();
    return expect(QTest::qWaitForWindowExposed(&window), "the window is shown");
}

QImage overWindow(QWidget &window, QWidget *dialog)
{
    QImage image = window.grab().toImage();
    if (!dialog)
        return image;
    QPainter painter(&image);
    const QPoint offset = dialog->mapToGlobal(QPoint()) - window.mapToGlobal(QPoint());
    // Without a window manager a dialog may open at the screen's corner: centre it like a sheet.
    const bool placed = QRect(QPoint(), window.size()).contains(QRect(offset, dialog->size()));
    const QPoint at = placed ? offset : QPoint((window.width() - dialog->width()) / 2, 60);
    painter.drawPixmap(at, dialog->grab());
    // The window manager's frame, which the virtual display has none of.
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRect(at, dialog->size()).adjusted(-1, -1, 0, 0));
    return image;
}

void useLook(bool dark)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? screenshotDarkPalette() : QApplication::style()->standardPalette());
}

void selectProject(AppState &state, const Project &project)
{
    if (state.selectedProjectID() != project.id) {
        state.setSelectedProjectID(project.id);
        state.projectSelectionChanged();
    }
}

void settle(AppState &state)
{
    // Renders are queued per turn, animations take 220 ms.
    waitUntilIdle(state);
    QTest::qWait(400);
    waitUntilIdle(state);
    QTest::qWait(100);
}

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: korvel-screenshots FOLDER\n");
        return 2;
    }
    const QString folder = QDir(arguments.at(1)).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "could not make %s\n", qPrintable(folder));
        return 1;
    }
    Pictures pictures(folder);
    takeChangesPictures(pictures);
    takeDiffPictures(pictures);
    takeWindowPictures(pictures);
    takeWorkflowPictures(pictures);
    return pictures.failures() == 0 ? 0 : 1;
}
