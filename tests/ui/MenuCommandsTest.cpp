// The six menus: the golden table of titles, dividers and shortcuts, what each item calls, and the one
// binding of Ctrl+Return.
#include "Contrast.h"
#include "ScreenshotPalette.h"
#include "UiFixture.h"

#include "support/TestSupport.h"
#include "ui/kit/Theme.h"
#include "ui/window/ContentView.h"
#include "ui/window/KorvelSVNCommands.h"
#include "ui/window/MainWindow.h"

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStyle>
#include <QTest>

namespace {

// "-" is a divider; a shortcut follows a tab.
const QList<std::pair<QString, QStringList>> golden = {
    {"Repository",
        {"Add Existing Working Copy...\tCtrl+O", "Create SVN Repository...", "Checkout...\tCtrl+Shift+N",
            "Remove Project", "-", "Refresh Status\tCtrl+R", "Update\tCtrl+U", "Commit\tCtrl+Return", "-", "Info",
            "Cleanup", "Upgrade Working Copy", "Switch URL Or Branch...", "Relocate URL..."}},
    {"Working Copy",
        {"Add Selected", "Delete Selected", "Revert Selected", "Ignore Selected", "Include Ignored Path...", "-",
            "Resolve Selected Using Working", "Resolve Selected Using Mine Full", "Resolve Selected Using Theirs Full",
            "-", "Lock Selected", "Unlock Selected", "-", "Create Changelist...", "Remove From Changelist", "-",
            "Apply Patch...", "Make Directory...", "Copy...", "Move..."}},
    {"History",
        {"Show Log\tCtrl+L", "Show Incoming Changes", "Show Archives", "Blame Path...", "Diff Against Revision...", "-",
            "Pull File At Revision...", "Export File At Revision...", "Create Archive Zip...",
            "Rollback Selected Revision", "Merge..."}},
    {"Remote",
        {"List URL Or Path...", "Cat URL Or Path...", "Make Remote Directory...", "-", "Import Directory...",
            "Export URL Or Path..."}},
    {"Properties", {"List Properties...", "Get Property...", "Set Property...", "Delete Property..."}},
    {"SVN",
        {"Run svn Command...\tCtrl+`", "-", "Show svn Version", "Show svn Help", "-", "Set svn Executable...",
            "Use svn From PATH"}},
};

QList<QAction *> itemActions(QMenuBar &bar)
{
    QList<QAction *> actions;
    for (QAction *menu : bar.actions()) {
        for (QAction *action : menu->menu()->actions()) {
            if (!action->isSeparator())
                actions << action;
        }
    }
    return actions;
}

} // namespace

TEST(KorvelSVNCommands, MenusMatchTheGoldenTable)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    QMenuBar bar;
    KorvelSVNCommands::install(&bar, state);

    QList<std::pair<QString, QStringList>> built;
    int items = 0;
    int dividers = 0;
    int shortcuts = 0;
    for (QAction *menuAction : bar.actions()) {
        QStringList entries;
        for (QAction *action : menuAction->menu()->actions()) {
            if (action->isSeparator()) {
                entries << "-";
                ++dividers;
                continue;
            }
            ++items;
            QString entry = action->text();
            if (!action->shortcut().isEmpty()) {
                entry += "\t" + action->shortcut().toString(QKeySequence::PortableText);
                ++shortcuts;
            }
            entries << entry;
            EXPECT_EQ(action->menuRole(), QAction::NoRole) << entry.toStdString();
            EXPECT_TRUE(action->isEnabled());
            EXPECT_FALSE(action->isCheckable());
            EXPECT_FALSE(action->text().contains(u'&'));
            EXPECT_FALSE(action->text().contains(QChar(0x2026)));
        }
        built.push_back({TestSupport::withoutMnemonic(menuAction->text()), entries});
    }
    EXPECT_EQ(built, golden);
    EXPECT_EQ(items, 52);
    EXPECT_EQ(dividers, 10);
    EXPECT_EQ(shortcuts, 7);
    // Ctrl+Return is the main Return key, not the keypad's Enter.
    const QList<QAction *> actions = itemActions(bar);
    const auto commit = std::find_if(actions.begin(), actions.end(), [](QAction *a) { return a->text() == "Commit"; });
    ASSERT_NE(commit, actions.end());
    EXPECT_EQ((*commit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));
    EXPECT_EQ(KorvelSVNCommands::menus().size(), 6);
}

namespace {

// A fresh state for one menu item: an svn project in a real folder, with one listed change that is
// highlighted and ticked.
struct ItemRun {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
    FakeClients fakes;
    ScriptedDialogs dialogs;
    std::unique_ptr<AppState> state;
    QMenuBar bar;
    QString folder = dir.filePath("alpha");

    // With `realClients` the state holds the real clients over the settings (for an item that runs no
    // tool but changes what the svn client reads).
    explicit ItemRun(bool realClients = false)
    {
        QDir().mkpath(folder);
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "alpha", folder, RepositoryKind::svn}});
        // In the file, where the store writes it: a value left pending here would be written by the state's
        // next reading of the settings.
        settings.setValue("KorvelSVN.svnExecutablePath", "/opt/svn/bin/svn");
        settings.sync();
        state
            = realClients ? std::make_unique<AppState>(&settings) : std::make_unique<AppState>(&settings, fakes.make());
        state->setDialogs(&dialogs);
        state->setChanges({WorkingCopyItem{"a.txt", SVNStatusKind::modified}});
        state->setSelectedChangeID(QString("a.txt"));
        state->setSelectedCommitPaths({});
        KorvelSVNCommands::install(&bar, *state);
    }

    // Everything the item made happen: questions asked, alerts, runs, outputs, the tab, files written.
    QStringList trigger(QAction *action)
    {
        action->trigger();
        EXPECT_TRUE(waitUntilIdle(*state));
        QStringList seen;
        for (const auto &prompt : dialogs.prompts)
            seen << "prompt:" + prompt.title;
        for (const auto &confirmation : dialogs.confirmations)
            seen << "confirm:" + confirmation.first;
        for (const auto &panel : dialogs.openPanels)
            seen << "open:" + panel.title;
        for (const auto &panel : dialogs.savePanels)
            seen << "save:" + panel.title;
        if (state->alert())
            seen << "alert:" + state->alert()->title;
        if (state->commandOutput())
            seen << "output:" + state->commandOutput()->title;
        if (fakes.svn) {
            for (const FakeCall &call : fakes.svn->calls)
                seen << "svn:" + call.arguments.join(u' ');
        }
        seen << "tab:" + rawValue(state->selectedTab());
        if (QFileInfo::exists(folder + "/.korvelignore"))
            seen << "ignore:" + QString::fromUtf8(TestSupport::readFile(folder + "/.korvelignore")).trimmed();
        if (!settings.contains("KorvelSVN.svnExecutablePath"))
            seen << "svn path reset";
        return seen;
    }
};

} // namespace

TEST(KorvelSVNCommands, EachItemCallsItsAction)
{
    // What shows that the item reached its own action (a prefix of one observation).
    const QList<std::pair<QString, QString>> expected = {
        {"Add Existing Working Copy...", "open:Add Working Copy"},
        {"Create SVN Repository...", "save:Create SVN Repository"},
        {"Checkout...", "prompt:Checkout"},
        {"Remove Project", "confirm:Remove Project"},
        {"Refresh Status", "svn:status"},
        {"Update", "svn:update"},
        {"Commit", "alert:Nothing To Commit"},
        {"Info", "output:Info"},
        {"Cleanup", "svn:cleanup"},
        {"Upgrade Working Copy", "svn:upgrade"},
        {"Switch URL Or Branch...", "prompt:Switch"},
        {"Relocate URL...", "prompt:Relocate"},
        {"Add Selected", "svn:add"},
        {"Delete Selected", "svn:delete"},
        {"Revert Selected", "confirm:Revert"},
        {"Ignore Selected", "ignore:/a.txt"},
        {"Include Ignored Path...", "prompt:Include Ignored Path"},
        {"Resolve Selected Using Working", "svn:resolve --accept working"},
        {"Resolve Selected Using Mine Full", "svn:resolve --accept mine-full"},
        {"Resolve Selected Using Theirs Full", "svn:resolve --accept theirs-full"},
        {"Lock Selected", "svn:lock"},
        {"Unlock Selected", "svn:unlock"},
        {"Create Changelist...", "prompt:Changelist"},
        {"Remove From Changelist", "svn:changelist --remove"},
        {"Apply Patch...", "open:Choose Patch File"},
        {"Make Directory...", "prompt:Make Directory"},
        {"Copy...", "prompt:Copy"},
        {"Move...", "prompt:Move"},
        {"Show Log", "svn:log"},
        {"Show Incoming Changes", "tab:Incoming"},
        {"Show Archives", "tab:Archives"},
        {"Blame Path...", "prompt:Blame"},
        {"Diff Against Revision...", "prompt:Diff"},
        {"Pull File At Revision...", "prompt:Pull File"},
        {"Export File At Revision...", "prompt:Export File"},
        {"Create Archive Zip...", "alert:No Archive Selected"},
        {"Rollback Selected Revision", "alert:No Revision Selected"},
        {"Merge...", "prompt:Merge"},
        {"List URL Or Path...", "prompt:List"},
        {"Cat URL Or Path...", "prompt:Cat"},
        {"Make Remote Directory...", "prompt:Remote Directory"},
        {"Import Directory...", "open:Choose Directory To Import"},
        {"Export URL Or Path...", "prompt:Export"},
        {"List Properties...", "prompt:Properties"},
        {"Get Property...", "prompt:Get Property"},
        {"Set Property...", "prompt:Set Property"},
        {"Delete Property...", "prompt:Delete Property"},
        {"Run svn Command...", "prompt:Run svn Command"},
        {"Show svn Version", "svn:--version"},
        {"Show svn Help", "svn:help"},
        {"Set svn Executable...", "open:Choose svn Executable"},
        {"Use svn From PATH", "svn path reset"},
    };
    ASSERT_EQ(expected.size(), 52);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        ItemRun run(expected[i].second == "svn path reset");
        const QList<QAction *> actions = itemActions(run.bar);
        ASSERT_EQ(actions.size(), 52);
        ASSERT_EQ(actions[i]->text(), expected[i].first);
        const QStringList seen = run.trigger(actions[i]);
        const bool found = std::any_of(
            seen.begin(), seen.end(), [&](const QString &entry) { return entry.startsWith(expected[i].second); });
        EXPECT_TRUE(found) << expected[i].first.toStdString() << " gave: " << seen.join(" | ").toStdString();
    }
}

TEST_F(UiFixture, CtrlReturnCommitsOnceFromTheCommitEditor)
{
    makeState({svnProject});
    MainWindow window(*state);
    auto *editor = new QPlainTextEdit(window.contentView());
    editor->setGeometry(400, 300, 300, 100);
    window.resize(1200, 800);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    settle(*state);

    // Exactly one binding of the key in the whole window.
    int bindings = 0;
    for (QAction *action : window.findChildren<QAction *>())
        bindings += action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Return);
    for (QShortcut *shortcut : window.findChildren<QShortcut *>())
        bindings += shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_Return);
    EXPECT_EQ(bindings, 1);

    // The window's shortcuts reach the menu from inside the editor.
    editor->setFocus();
    fakes.svn->calls.clear();
    QTest::keyClick(editor, Qt::Key_R, Qt::ControlModifier);
    settle(*state);
    EXPECT_EQ(svnRuns("status"), 1);

    state->setAlert(std::nullopt);
    QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Nothing To Commit");
    state->setAlert(std::nullopt);
    settle(*state);

    // Ctrl+U is no editing key either: the menu's Update runs.
    fakes.svn->calls.clear();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_U, Qt::ControlModifier);
    settle(*state);
    EXPECT_EQ(svnRuns("update"), 1);
}

namespace {

// The title's letter after its "&", upper case.
QChar mnemonicOf(const QString &title)
{
    const qsizetype at = title.indexOf(u'&');
    return at >= 0 && at + 1 < title.size() ? title[at + 1].toUpper() : QChar();
}

QImage pictureOf(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

// Alt and a title's letter open its menu on its first item; a bare Alt gives the bar the keys, and the
// title that has them is drawn in the selection's colours, light and dark.
TEST_F(UiFixture, EachMenuOpensByItsAltLetterAndABareAltHighlightsTheTitleThatHasTheKeys)
{
    makeState({svnProject});
    const QPalette saved = QApplication::palette();
    const std::pair<const char *, QPalette> appearances[]
        = {{"light", QApplication::style()->standardPalette()}, {"dark", screenshotDarkPalette()}};
    for (const auto &[name, palette] : appearances) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        MainWindow window(*state);
        window.resize(1200, 800);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        settle(*state);
        QMenuBar *bar = window.menuBar();
        const QList<QAction *> titles = bar->actions();

        QString letters;
        for (QAction *title : titles)
            letters += mnemonicOf(title->text());
        EXPECT_EQ(letters, "FRWHMPS") << "one distinct letter for each title";

        for (QAction *title : titles) {
            SCOPED_TRACE(TestSupport::withoutMnemonic(title->text()).toStdString());
            const QChar letter = mnemonicOf(title->text());
            ASSERT_TRUE(letter.isLetter());
            QTest::keyClick(window.windowHandle(), Qt::Key(letter.unicode()), Qt::AltModifier);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_TRUE(menu);
            EXPECT_EQ(menu, title->menu());
            ASSERT_TRUE(menu->activeAction());
            EXPECT_EQ(menu->activeAction(), menu->actions().value(0));
            // The open menu's title stands in the selection's fill.
            const QRect place = bar->actionGeometry(title);
            EXPECT_EQ(pictureOf(bar).pixel(place.topLeft() + QPoint(1, 1)), Theme::selectionFill(palette).rgb());
            QTest::keyClick(menu, Qt::Key_Escape);
            QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
            EXPECT_FALSE(QApplication::activePopupWidget());
        }

        // A bare Alt: File has the keys, and shows it.
        const QImage before = pictureOf(bar);
        QTest::keyClick(window.windowHandle(), Qt::Key_Alt);
        QCoreApplication::processEvents();
        const QImage after = pictureOf(bar);
        EXPECT_NE(before, after);
        const QRect file = bar->actionGeometry(titles[0]);
        const QColor fill = Theme::selectionFill(palette).toRgb();
        EXPECT_NE(before.pixel(file.topLeft() + QPoint(1, 1)), fill.rgb());
        EXPECT_EQ(after.pixel(file.topLeft() + QPoint(1, 1)), fill.rgb());
        double strongest = 1;
        for (int y = file.top(); y <= file.bottom(); ++y) {
            for (int x = file.left(); x <= file.right(); ++x)
                strongest = std::max(strongest, contrast(after.pixelColor(x, y), fill));
        }
        // As a selected row's text on its fill.
        EXPECT_GE(contrast(palette.color(QPalette::HighlightedText), fill), 4.99);
        EXPECT_GE(strongest, 4.5) << "the title's text on the fill";
        // Down opens the menu that has the keys; Escape twice gives them back.
        QTest::keyClick(window.windowHandle(), Qt::Key_Down);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu, titles[0]->menu());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(pictureOf(bar), before);
    }
    QApplication::setPalette(saved);
}
