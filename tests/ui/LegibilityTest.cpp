// What the real window paints over real repositories, measured in pixels in the light and the dark
// palette: the sidebar's selection and tiles, the status and action badges and their letters, one
// selection look for every list, the commit check boxes, the texts on selected rows and in the header,
// the diff's markers and line numbers, the open menus and the forms' placeholders.
#include "Contrast.h"
#include "ModalAnswers.h"
#include "RealWindow.h"
#include "ScreenshotPalette.h"
#include "WorkflowRepositories.h"

#include "ui/changes/ChangeRowDelegate.h"
#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/diff/DiffCanvas.h"
#include "ui/diff/DiffView.h"
#include "ui/kit/ActionBadge.h"
#include "ui/kit/ElidedLabel.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/ProjectHeaderView.h"
#include "ui/window/QtDialogs.h"
#include "ui/window/SidebarProjectRow.h"
#include "ui/window/SidebarToggleButton.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>

#include <cmath>
#include <iostream>
#include <optional>

using TestSupport::writeFile;

namespace {

int luma(QColor color)
{
    return qGray(color.rgb());
}

std::string name(QColor color)
{
    return color.name().toStdString();
}

// The largest contrast of any pixel of the area against a colour.
double strongestContrast(const QImage &image, QRect area, QColor against)
{
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrast(image.pixelColor(x, y), against));
    }
    return best;
}

// A run of text painted on a plain fill: neighbouring glyphs on one line, with the strongest contrast
// any of its pixels has against the fill (the colour the text was drawn in, where a stroke covers a
// whole pixel).
struct TextRun {
    QRect bounds;
    double contrast = 1;
};

// The texts in an area on a plain fill. Ink is what stands out from the fill at all; a connected
// blot of ink 12 pixels or more both ways is a mark (badge, check box, symbol), not a glyph, and one
// less than 4 pixels high is a fleck.
QList<TextRun> textRuns(const QImage &image, QRect area, QColor fill)
{
    area &= image.rect();
    const auto at = [&](QPoint point) { return (point.y() - area.top()) * area.width() + point.x() - area.left(); };
    QList<double> contrasts(qsizetype(area.width()) * area.height(), 1);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            contrasts[at({x, y})] = contrast(image.pixelColor(x, y), fill);
    }
    QList<bool> seen(contrasts.size(), false);
    QList<TextRun> glyphs;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (seen[at({x, y})] || contrasts[at({x, y})] < 1.2)
                continue;
            TextRun glyph{QRect(x, y, 1, 1), 1};
            QList<QPoint> stack{{x, y}};
            seen[at({x, y})] = true;
            while (!stack.isEmpty()) {
                const QPoint point = stack.takeLast();
                glyph.bounds |= QRect(point, QSize(1, 1));
                glyph.contrast = std::max(glyph.contrast, contrasts[at(point)]);
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint next = point + QPoint(dx, dy);
                        if (area.contains(next) && !seen[at(next)] && contrasts[at(next)] >= 1.2) {
                            seen[at(next)] = true;
                            stack.append(next);
                        }
                    }
                }
            }
            if (glyph.bounds.width() < 12 || glyph.bounds.height() < 12)
                glyphs.append(glyph);
        }
    }
    std::sort(glyphs.begin(), glyphs.end(), [](const TextRun &a, const TextRun &b) { return a.bounds.x() < b.bounds.x(); });
    QList<TextRun> runs;
    for (const TextRun &glyph : std::as_const(glyphs)) {
        auto joined = std::find_if(runs.begin(), runs.end(), [&](const TextRun &run) {
            const bool sameLine = glyph.bounds.top() <= run.bounds.bottom() && run.bounds.top() <= glyph.bounds.bottom();
            return sameLine && glyph.bounds.left() - run.bounds.right() <= 6;
        });
        if (joined == runs.end()) {
            runs.append(glyph);
        } else {
            joined->bounds |= glyph.bounds;
            joined->contrast = std::max(joined->contrast, glyph.contrast);
        }
    }
    // Flecks along the edge of a rounded fill or a badge's box are not text.
    runs.removeIf([](const TextRun &run) { return run.bounds.height() < 4; });
    return runs;
}

// The weakest text of an area, for the failure message: "none" when there is no text.
std::string weakest(const QList<TextRun> &runs, double *least)
{
    *least = 21;
    std::string where = "none";
    for (const TextRun &run : runs) {
        if (run.contrast < *least) {
            *least = run.contrast;
            where = QStringLiteral("%1:1 at %2,%3 %4x%5")
                        .arg(run.contrast, 0, 'f', 2)
                        .arg(run.bounds.x())
                        .arg(run.bounds.y())
                        .arg(run.bounds.width())
                        .arg(run.bounds.height())
                        .toStdString();
        }
    }
    return where;
}

struct Appearance {
    const char *name;
    QPalette palette;
};

QList<Appearance> appearances()
{
    return {{"light", QApplication::style()->standardPalette()}, {"dark", screenshotDarkPalette()}};
}

QList<Appearance> appearancesAndDesktop()
{
    return appearances() << Appearance{"dark desktop", desktopDarkPalette()};
}

// The application palette for the life of one window.
struct PaletteScope {
    explicit PaletteScope(const QPalette &palette) : saved(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~PaletteScope() { QApplication::setPalette(saved); }
    QPalette saved;
};

struct Legibility : ::testing::Test {
    WorkflowRepositories repositories;
    Project svnProject;

    void SetUp() override
    {
        // Local changes for the Changes list: modified (blue), added (green), unversioned (gray).
        writeFile(repositories.svn.workingCopy + "/src/main.c", "int main(void)\n{\n    return 2;\n}\n");
        writeFile(repositories.svn.workingCopy + "/src/added.c", "int added;\n");
        repositories.svn.svn({"add", repositories.svn.workingCopy + "/src/added.c"});
        writeFile(repositories.svn.workingCopy + "/notes.txt", "todo\n");
        svnProject = {QUuid::createUuid(), "orbit-service", repositories.svn.workingCopy, RepositoryKind::svn};
    }

    QString settingsFile(const char *appearance) const
    {
        return repositories.sandbox.filePath(QStringLiteral("settings-%1.ini").arg(appearance));
    }
};

void activate(RealWindow &real)
{
    real.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&real.window()));
}

void focusList(QListView *list)
{
    list->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->hasFocus());
}

QImage viewportImage(QListView *list)
{
    return list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A change row as one look of the list paints it, with its check box and status badge.
struct PaintedRow {
    const QImage &image;
    QModelIndex index;
    QRect rect;
    QRect box;
    QRect badge;
    bool focused;
    bool selected;
};

// Every row of the Changes list in every look: the list focused and not, with each row selected in turn.
template <typename Visit> void everyPaintedRow(RealWindow &real, QListView *list, Visit visit)
{
    auto *delegate = qobject_cast<ChangeRowDelegate *>(list->itemDelegate());
    ASSERT_TRUE(delegate);
    for (const bool focused : {true, false}) {
        if (focused)
            focusList(list);
        else
            real.window().contentView()->setFocus(Qt::OtherFocusReason);
        for (int chosen = 0; chosen < list->model()->rowCount(); ++chosen) {
            list->setCurrentIndex(list->model()->index(chosen, 0));
            real.settle();
            ASSERT_EQ(list->hasFocus(), focused);
            const QImage image = viewportImage(list);
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QModelIndex index = list->model()->index(row, 0);
                const QRect rect = list->visualRect(index);
                const QRect box = delegate->checkRect(rect, list);
                const QRect badge(box.right() + 1 + ChangeRowDelegate::spacing, rect.center().y() - 10, 22, 20);
                visit(PaintedRow{image, index, rect, box, badge, focused, row == chosen});
            }
        }
    }
}

// The selection's colour of a row: in the middle of its top edge, above every text and mark.
QColor rowFill(const QImage &image, const QListView *list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    return image.pixelColor(rect.center().x(), rect.top() + 1);
}

// The fill of a badge standing at the row's leading padding: the commonest colour of that column other
// than the row's own, if it covers a badge's height.
std::optional<QColor> leadingBadgeFill(const QImage &image, const QListView *list, int row, QColor rowColor)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QMap<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const QRgb pixel = image.pixel(rect.left() + 13, y);
        if (pixel != rowColor.rgb())
            ++counts[pixel];
    }
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    if (most == counts.cend() || *most < 12)
        return std::nullopt;
    return QColor::fromRgb(most.key());
}

int selectedRow(const QListView *list)
{
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

} // namespace

TEST_F(Legibility, TheSidebarSelectionAndTheShowSidebarTileShowInBothPalettes)
{
    struct Seen {
        int selectionStep = 0;
        int tileStep = 0;
    };
    QMap<QString, Seen> seen;
    const Project other{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {other, svnProject});
        real.selectProject(svnProject.id);
        const QList<SidebarProjectRow *> rows = real.window().findChildren<SidebarProjectRow *>();
        ASSERT_EQ(rows.size(), 2);
        const QImage image = real.window().grab().toImage();
        const auto fill = [&](SidebarProjectRow *row) {
            return image.pixelColor(row->mapTo(&real.window(), QPoint(row->width() - 5, row->height() / 2)));
        };
        SidebarProjectRow *selected = rows[0]->isSelected() ? rows[0] : rows[1];
        SidebarProjectRow *unselected = rows[0]->isSelected() ? rows[1] : rows[0];
        ASSERT_TRUE(selected->isSelected());
        ASSERT_FALSE(unselected->isSelected());
        seen[appearance.name].selectionStep = std::abs(luma(fill(selected)) - luma(fill(unselected)));

        // The floating show-sidebar tile: its rim against the header around it, the symbol left out.
        real.window().contentView()->setSidebarVisible(false);
        QTest::qWait(400);
        SidebarToggleButton *tile = nullptr;
        for (auto *button : real.window().findChildren<SidebarToggleButton *>()) {
            if (button->isVisible() && button->toolTip() == "Show Sidebar")
                tile = button;
        }
        ASSERT_TRUE(tile);
        const QImage shown = real.window().grab().toImage();
        const QPoint origin = tile->mapTo(&real.window(), QPoint());
        const int around = luma(shown.pixelColor(origin + QPoint(-3, tile->height() / 2)));
        int step = 0;
        for (int y = 0; y < tile->height(); ++y) {
            for (int x = 0; x < tile->width(); ++x) {
                const bool rim = x < 4 || x >= tile->width() - 4 || y < 3 || y >= tile->height() - 3;
                if (rim)
                    step = std::max(step, std::abs(luma(shown.pixelColor(origin + QPoint(x, y))) - around));
            }
        }
        seen[appearance.name].tileStep = step;
    }
    // The light palette shows them about as clearly as the dark one, where they always showed.
    EXPECT_GE(seen["dark"].selectionStep, 12);
    EXPECT_GE(seen["light"].selectionStep, 12);
    EXPECT_GE(seen["light"].selectionStep * 10, seen["dark"].selectionStep * 8);
    EXPECT_GE(seen["dark"].tileStep, 12);
    EXPECT_GE(seen["light"].tileStep, 12);
    EXPECT_GE(seen["light"].tileStep * 10, seen["dark"].tileStep * 5);
}

TEST_F(Legibility, BadgesAndCheckBoxesKeepThreeToOneOnEveryChangeRow)
{
    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {svnProject});
        real.selectProject(svnProject.id);
        activate(real);
        auto *list = real.find<QListView>("changeList");
        ASSERT_TRUE(list);
        ASSERT_GE(list->model()->rowCount(), 3);
        // One box unticked, the others ticked.
        real.state().setCommitSelection(real.state().changes().first(), false);
        real.settle();
        everyPaintedRow(real, list, [&](const PaintedRow &row) {
            const QColor background = row.image.pixelColor(row.rect.right() - 12, row.rect.center().y());
            const QColor badgeFill = row.image.pixelColor(row.badge.left() + 3, row.badge.center().y());
            const std::string where = std::string(appearance.name) + (row.focused ? " focused" : " unfocused")
                + (row.selected ? " selected row " : " row ") + row.index.data().toString().toStdString() + " on "
                + name(background);
            EXPECT_GE(contrast(badgeFill, background), 3.0) << where << ": badge " << name(badgeFill);
            const bool ticked = row.index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            EXPECT_GE(strongestContrast(row.image, row.box, background), 3.0)
                << where << (ticked ? ": ticked box" : ": unticked box");
        });
    }
}

TEST_F(Legibility, EveryListSelectsInTheAccentOnlyWhileFocusedAndMutedOtherwise)
{
    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {svnProject});
        real.selectProject(svnProject.id);
        activate(real);
        const QColor accent = appearance.palette.color(QPalette::Active, QPalette::Highlight);
        const QColor base = appearance.palette.color(QPalette::Base);
        QList<QColor> muted;

        // Focuses one list (or none) and looks at the selected rows of the lists shown.
        const auto check = [&](QListView *focusedList, const QList<QListView *> &lists) {
            if (focusedList)
                focusList(focusedList);
            else
                real.window().contentView()->setFocus(Qt::OtherFocusReason);
            real.settle();
            for (QListView *list : lists) {
                const int row = selectedRow(list);
                ASSERT_GE(row, 0) << list->objectName().toStdString();
                const QImage image = viewportImage(list);
                const QColor fill = rowFill(image, list, row);
                const std::string where
                    = std::string(appearance.name) + " " + list->objectName().toStdString() + " " + name(fill);
                if (list == focusedList) {
                    // The accent, darkened no further than its white text needs.
                    EXPECT_NEAR(fill.hslHueF(), accent.hslHueF(), 0.02) << where;
                    EXPECT_GE(fill.hslSaturationF(), accent.hslSaturationF() * 0.9) << where;
                    EXPECT_LE(fill.lightness(), accent.lightness()) << where;
                    EXPECT_GE(contrast(fill, Qt::white), 4.5) << where;
                    EXPECT_LT(contrast(fill, Qt::white), 5.5) << where;
                    EXPECT_GE(contrast(fill, base), 3.0) << where;
                } else {
                    // Muted: grey, one visible step from the other rows, never the accent.
                    EXPECT_LT(fill.hsvSaturationF(), 0.1) << where;
                    EXPECT_GE(std::abs(luma(fill) - luma(base)), 8) << where;
                    muted.append(fill);
                }
                // The History rows carry action badges at their leading edge, as the Changes rows do.
                if (list->objectName().startsWith("history")) {
                    const std::optional<QColor> badge = leadingBadgeFill(image, list, row, fill);
                    ASSERT_TRUE(badge.has_value()) << where << ": no badge to be seen";
                    EXPECT_GE(contrast(*badge, fill), 3.0) << where << ": badge " << name(*badge);
                }
            }
        };

        auto *changes = real.find<QListView>("changeList");
        ASSERT_TRUE(changes);
        changes->setCurrentIndex(changes->model()->index(1, 0));
        real.settle();
        check(changes, {changes});
        check(nullptr, {changes});

        real.state().setSelectedTab(WorkflowTab::history);
        real.settle();
        auto *files = real.find<QListView>("historyFileList");
        auto *revisions = real.find<QListView>("historyRevisionList");
        ASSERT_TRUE(files && revisions);
        ASSERT_GE(selectedRow(revisions), 0);
        // Two selections on one tab: only the focused list's is saturated.
        check(files, {files, revisions});
        check(revisions, {files, revisions});

        for (const auto &[tab, objectName] :
            {std::pair{WorkflowTab::incoming, "incomingList"}, std::pair{WorkflowTab::archives, "archiveList"}}) {
            real.state().setSelectedTab(tab);
            real.settle();
            auto *list = real.find<QListView>(objectName);
            ASSERT_TRUE(list) << objectName;
            if (selectedRow(list) < 0)
                list->setCurrentIndex(list->model()->index(0, 0));
            check(list, {list});
            check(nullptr, {list});
        }
        ASSERT_FALSE(muted.isEmpty());
        for (const QColor &fill : std::as_const(muted))
            EXPECT_EQ(fill, muted.first()) << appearance.name << ": one muted look for every list";
    }
}

TEST_F(Legibility, EveryTextOnASelectedRowReadsAtFourAndAHalfToOneFocusedOrNot)
{
    const Project other{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};
    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {other, svnProject});
        real.selectProject(svnProject.id);
        activate(real);

        // Every text of a row in an image, against the row's fill at a blank point.
        const auto expectLegible = [&](const QImage &image, QRect row, QColor fill, const std::string &where) {
            const QList<TextRun> runs = textRuns(image, row, fill);
            double least = 0;
            const std::string weakestRun = weakest(runs, &least);
            EXPECT_FALSE(runs.isEmpty()) << where << ": no text to be seen";
            EXPECT_GE(least, 4.5) << where << " on " << name(fill) << ": weakest text " << weakestRun;
        };
        const auto checkList = [&](QListView *list, int row) {
            ASSERT_TRUE(list);
            ASSERT_GT(list->model()->rowCount(), row) << list->objectName().toStdString();
            list->setCurrentIndex(list->model()->index(row, 0));
            for (const bool focused : {true, false}) {
                if (focused)
                    focusList(list);
                else
                    real.window().contentView()->setFocus(Qt::OtherFocusReason);
                real.settle();
                const QImage image = viewportImage(list);
                const int selected = selectedRow(list);
                ASSERT_GE(selected, 0) << list->objectName().toStdString();
                // Inside the rounded fill, which leaves 5 pixels of the list at each end.
                const QRect rect = list->visualRect(list->model()->index(selected, 0)).adjusted(7, 1, -7, -1);
                expectLegible(image, rect, rowFill(image, list, selected),
                    std::string(appearance.name) + (focused ? " focused " : " unfocused ")
                        + list->objectName().toStdString());
            }
        };

        checkList(real.find<QListView>("changeList"), 0);
        real.state().setSelectedTab(WorkflowTab::history);
        real.settle();
        checkList(real.find<QListView>("historyFileList"), 0);
        checkList(real.find<QListView>("historyRevisionList"), 0);
        for (const auto &[tab, objectName] :
            {std::pair{WorkflowTab::incoming, "incomingList"}, std::pair{WorkflowTab::archives, "archiveList"}}) {
            real.state().setSelectedTab(tab);
            real.settle();
            checkList(real.find<QListView>(objectName), 0);
        }

        // The sidebar's selected project: its name, badge and path over the panel's glass.
        const QImage window = real.window().grab().toImage();
        for (SidebarProjectRow *row : real.window().findChildren<SidebarProjectRow *>()) {
            if (!row->isSelected())
                continue;
            const QRect rect(row->mapTo(&real.window(), QPoint()), row->size());
            const QColor fill = window.pixelColor(rect.right() - 5, rect.center().y());
            expectLegible(window, rect.adjusted(4, 2, -4, -2), fill, std::string(appearance.name) + " sidebar row");
        }
    }
}

TEST_F(Legibility, TheBusyMessageReadsAtFourAndAHalfToOne)
{
    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {svnProject});
        real.selectProject(svnProject.id);
        real.state().setBusyMessage(QStringLiteral("Loading status"));
        QCoreApplication::processEvents();
        ElidedLabel *busy = real.window().contentView()->detailView()->header()->busyLabel();
        ASSERT_TRUE(busy->isVisible());
        const QImage window = real.window().grab().toImage();
        const QRect rect(busy->mapTo(&real.window(), QPoint()), busy->size());
        const QColor fill = window.pixelColor(rect.topLeft() - QPoint(0, 2));
        const QList<TextRun> runs = textRuns(window, rect, fill);
        double least = 0;
        const std::string weakestRun = weakest(runs, &least);
        EXPECT_FALSE(runs.isEmpty()) << appearance.name;
        EXPECT_GE(least, 4.5) << appearance.name << " on " << name(fill) << ": weakest text " << weakestRun;
        real.state().setBusyMessage(std::nullopt);
    }
}

TEST_F(Legibility, EveryLetterOnAColourReadsAtFourAndAHalfToOneInBothPalettes)
{
    // Every badge letter of the Changes list: modified, added, unversioned, conflicted, deleted, missing.
    repositories.svn.updateIntoConflicts({"src/util.c"}, {});
    writeFile(repositories.svn.workingCopy + "/README.md", "# Orbit\n\nA tiny service.\n\nBuild with cmake.\n");
    repositories.svn.svn({"rm", "-q", repositories.svn.workingCopy + "/docs/guide.md"});
    ASSERT_TRUE(QFile::remove(repositories.svn.workingCopy + "/src/net.c"));
    const Project other{QUuid::createUuid(), "lantern", repositories.git.path, RepositoryKind::git};

    // The weakest letter of each kind of place in each palette, and where it stands.
    struct Weakest {
        double ratio = 21;
        std::string where;
    };
    QMap<std::string, Weakest> weakestOf;
    std::string palette;
    const auto measure
        = [&](const std::string &kind, const QImage &image, QRect letters, QColor fill, const std::string &where) {
              const double ratio = strongestContrast(image, letters, fill);
              Weakest &weakest = weakestOf[kind + ", " + palette];
              if (ratio < weakest.ratio)
                  weakest = {ratio, where + " on " + name(fill)};
          };
    // The letter of a badge against the fill just inside its rounded box.
    const auto measureBadge = [&](const std::string &kind, const QImage &image, QRect box, const std::string &where) {
        measure(kind, image, box.adjusted(3, 3, -3, -3), image.pixelColor(box.left() + 2, box.center().y()), where);
    };

    for (const Appearance &appearance : appearances()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {other, svnProject});
        real.selectProject(svnProject.id);
        activate(real);
        palette = appearance.name;

        auto *list = real.find<QListView>("changeList");
        ASSERT_TRUE(list);
        QStringList letters;
        for (const WorkingCopyItem &item : real.state().changes())
            letters << shortName(item.shownKind());
        for (const char *letter : {"M", "A", "?", "C", "D", "!"})
            ASSERT_TRUE(letters.contains(letter)) << letter << " not among " << letters.join(' ').toStdString();
        everyPaintedRow(real, list, [&](const PaintedRow &row) {
            measureBadge("status badge", row.image, row.badge,
                palette + (row.focused ? " focused" : " unfocused") + (row.selected ? " selected " : " ")
                    + row.index.data().toString().toStdString());
        });

        // The preview of a change with removed and added lines: markers on their rows, numbers on the gutters.
        real.state().setSelectedChangeID(QStringLiteral("README.md"));
        real.state().selectedChangeChanged();
        real.settle();
        auto *changes
            = qobject_cast<ChangesView *>(real.window().contentView()->detailView()->tabView(WorkflowTab::changes));
        DiffCanvas *canvas = changes->previewView()->diffView()->canvas();
        const QImage diff = canvas->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int tinted = 0;
        for (int row = 0; row < canvas->diffLayout().rows().size(); ++row) {
            const DiffLineKind kind = canvas->diffLayout().rows().at(row).lineKind;
            if (kind != DiffLineKind::addition && kind != DiffLineKind::deletion)
                continue;
            ++tinted;
            using namespace DiffGeometry;
            const QRect rect = canvas->diffLayout().rowRect(row).translated(-canvas->contentOffset());
            const std::string where = palette + (kind == DiffLineKind::addition ? " added" : " removed") + " line";
            const QRect marker(rect.left() + 2 * gutterWidth, rect.top(), prefixWidth, rect.height());
            measure("diff marker", diff, marker, diff.pixelColor(marker.left() + 1, rect.top() + 1), where);
            const QRect gutter(rect.left() + (kind == DiffLineKind::addition ? gutterWidth : 0), rect.top(),
                gutterWidth, rect.height());
            measure("diff line number", diff, gutter, diff.pixelColor(gutter.left() + 1, rect.top() + 1), where);
        }
        EXPECT_GE(tinted, 2) << palette;

        // The action badges of History's and Incoming's details.
        for (const WorkflowTab tab : {WorkflowTab::history, WorkflowTab::incoming}) {
            real.state().setSelectedTab(tab);
            real.settle();
            if (tab == WorkflowTab::incoming && !real.state().incomingEntries().isEmpty()) {
                real.state().setSelectedIncomingRevision(real.state().incomingEntries().first().revision);
                real.state().selectedIncomingRevisionChanged();
                real.settle();
            }
            for (ActionBadge *badge : real.window().findChildren<ActionBadge *>()) {
                if (badge->isVisible())
                    measureBadge("action badge", badge->grab().toImage(), badge->rect(),
                        palette + " " + rawValue(tab).toStdString());
            }
        }

        // The kind badge of the sidebar's rows, selected and not.
        const QImage window = real.window().grab().toImage();
        for (SidebarProjectRow *row : real.window().findChildren<SidebarProjectRow *>()) {
            const QRect box = row->badgeRect().toAlignedRect().translated(row->mapTo(&real.window(), QPoint()));
            measure("sidebar kind badge", window, box.adjusted(2, 2, -2, -2),
                window.pixelColor(box.left() + 2, box.center().y()),
                palette + (row->isSelected() ? " selected " : " ") + row->project().name.toStdString());
        }
    }

    for (const char *kind : {"status badge", "action badge", "sidebar kind badge", "diff marker", "diff line number"}) {
        for (const Appearance &appearance : appearances()) {
            const std::string key = std::string(kind) + ", " + appearance.name;
            ASSERT_TRUE(weakestOf.contains(key)) << key << ": nothing measured";
            const Weakest &weakest = weakestOf[key];
            EXPECT_GE(weakest.ratio, 4.5) << key << ": " << weakest.where;
            std::cout << "weakest " << key << ": " << weakest.ratio << ":1 (" << weakest.where << ")\n";
        }
    }
}

// The active item of every open menu against its fill, and every separator at 3:1: each menu of the bar
// as Alt and its letter open it, on its first item, and the context menus of a change row (from the
// keyboard) and of the commit message (Qt's own); also under a dark desktop's own greys and accent.
TEST_F(Legibility, TheActiveItemOfEveryOpenMenuReadsAtFourAndAHalfToOne)
{
    for (const Appearance &appearance : appearancesAndDesktop()) {
        PaletteScope scope(appearance.palette);
        RealWindow real(settingsFile(appearance.name), {svnProject});
        real.selectProject(svnProject.id);
        real.state().setCommitMessage(QStringLiteral("Return two"));
        activate(real);
        QStringList measured;
        int separators = 0;
        // Closes the menu whatever it finds: a context menu's own loop must end.
        const auto measureOpenMenu = [&](const QString &menuName) {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu) {
                ADD_FAILURE() << appearance.name << ": no open menu for " << menuName.toStdString();
                return;
            }
            const QImage shown = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator() || !action->isVisible())
                    continue;
                const QRect line = menu->actionGeometry(action);
                const QColor fill = shown.pixelColor(line.left() + 1, line.center().y());
                EXPECT_GE(strongestContrast(shown, line, fill), 3.0)
                    << appearance.name << " " << menuName.toStdString() << ": separator on " << name(fill);
                ++separators;
            }
            if (!menu->activeAction())
                QTest::keyClick(menu, Qt::Key_Down);
            if (QAction *active = menu->activeAction()) {
                const QImage image = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
                const QRect item = menu->actionGeometry(active);
                const QColor fill = image.pixelColor(item.left() + 3, item.center().y());
                const QList<TextRun> runs = textRuns(image, item.adjusted(2, 2, -2, -2), fill);
                double least = 0;
                const std::string weakestRun = weakest(runs, &least);
                EXPECT_FALSE(runs.isEmpty()) << appearance.name << " " << menuName.toStdString();
                EXPECT_GE(least, 4.5) << appearance.name << " " << menuName.toStdString() << " on " << name(fill)
                                      << ": weakest text " << weakestRun;
                measured << menuName;
            }
            QTest::keyClick(menu, Qt::Key_Escape);
        };

        const QList<QAction *> titles = real.window().menuBar()->actions();
        for (QAction *title : titles) {
            const QString text = title->text();
            const qsizetype mark = text.indexOf(u'&');
            ASSERT_TRUE(mark >= 0 && mark + 1 < text.size()) << text.toStdString();
            QTest::keyClick(
                real.window().windowHandle(), Qt::Key(text.at(mark + 1).toUpper().unicode()), Qt::AltModifier);
            measureOpenMenu(text);
            QTest::keyClick(real.window().windowHandle(), Qt::Key_Escape);
        }

        auto *list = real.find<QListView>("changeList");
        ASSERT_TRUE(list);
        focusList(list);
        const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
        QTimer::singleShot(0, list, [&] { measureOpenMenu(QStringLiteral("change row")); });
        QContextMenuEvent rowMenu(QContextMenuEvent::Keyboard, row, list->viewport()->mapToGlobal(row));
        QCoreApplication::sendEvent(list->viewport(), &rowMenu);

        auto *changes
            = qobject_cast<ChangesView *>(real.window().contentView()->detailView()->tabView(WorkflowTab::changes));
        QPlainTextEdit *editor = changes->commitPanel()->editor();
        editor->setFocus();
        QContextMenuEvent editorMenu(QContextMenuEvent::Keyboard, QPoint(10, 10), editor->mapToGlobal(QPoint(10, 10)));
        QCoreApplication::sendEvent(editor->viewport(), &editorMenu);
        measureOpenMenu(QStringLiteral("commit message"));
        real.settle();
        EXPECT_EQ(measured.size(), titles.size() + 2) << appearance.name << ": " << measured.join(", ").toStdString();
        EXPECT_GE(separators, 3) << appearance.name;
    }
}

// The placeholder of every text field the forms show, with the field unfocused as the user first sees
// it: the Switch Branch form's field beside its pop-up and alone, and a prompt's fields.
TEST_F(Legibility, EveryPlaceholderReadsAtFourAndAHalfToOne)
{
    for (const Appearance &appearance : appearancesAndDesktop()) {
        PaletteScope scope(appearance.palette);
        QtDialogs dialogs;
        QStringList measured;
        const auto measureFields = [&](QWidget *dialog) {
            button(dialog, "Cancel")->setFocus();
            QCoreApplication::processEvents();
            for (QLineEdit *field : dialog->findChildren<QLineEdit *>()) {
                if (field->placeholderText().isEmpty())
                    continue;
                const QImage image = field->grab().toImage().convertToFormat(QImage::Format_RGB32);
                const QColor fill = image.pixelColor(image.width() - 6, image.height() / 2);
                const QList<TextRun> runs = textRuns(image, image.rect().adjusted(3, 3, -3, -3), fill);
                double least = 0;
                const std::string weakestRun = weakest(runs, &least);
                const std::string where = std::string(appearance.name) + " \"" + field->placeholderText().toStdString()
                    + "\" on " + name(fill);
                EXPECT_FALSE(runs.isEmpty()) << where;
                EXPECT_GE(least, 4.5) << where << ": weakest text " << weakestRun;
                measured << field->placeholderText();
            }
            button(dialog, "Cancel")->click();
        };
        whenModal(measureFields);
        dialogs.chooseBranch(BranchChoiceRequest{{"main", "dev (current)"}, 1, {}});
        whenModal(measureFields);
        dialogs.chooseBranch(BranchChoiceRequest{{}, std::nullopt, {}});
        whenModal(measureFields);
        dialogs.prompt("Create Branch", {PromptField{"name", "Branch name", ""}, PromptField{"from", "From", ""}});
        EXPECT_EQ(measured, QStringList({"Optional branch name", "Branch name", "Branch name", "From"}))
            << appearance.name;
    }
}
