// The Changes tab over a real svn working copy holding every kind of change svn makes easily (conflicts
// and a tree conflict included) and long paths, and over a Git repository, light and dark; over the
// svn working copy also every menu of the bar as Alt and its letter open it, on its first item, the
// context menu of a change row opened from the keyboard, and the commit message's own menu with an item
// active.
#include "Pictures.h"
#include "support/TestSupport.h"

#include "state/AppState.h"
#include "ui/changes/ChangeListView.h"
#include "ui/changes/ChangesView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/window/ContentView.h"
#include "ui/window/DetailView.h"
#include "ui/window/MainWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>

using namespace TestSupport;

namespace {

// A working copy with added, deleted, missing, modified, replaced, unversioned, conflicted,
// tree-conflicted, external and property-only changes, some under long paths.
SvnFixture makeSvnWorkingCopy(const QString &base)
{
    const SvnFixture svn = SvnFixture::create(base, "orbit-service");
    const QString wc = svn.workingCopy;
    const QString deep = "/src/platform/networking/transport/reliable-delivery/retry-policies/exponential-backoff";
    writeFile(wc + "/README.md", "# Orbit\n");
    writeFile(wc + "/src/main.c", "int main(void)\n{\n    return 0;\n}\n");
    writeFile(wc + "/src/config.h", "#define RETRIES 3\n");
    writeFile(wc + "/src/legacy.c", "void legacy(void) {}\n");
    writeFile(wc + "/src/gone.c", "void gone(void) {}\n");
    writeFile(wc + "/src/swap.c", "int swap;\n");
    writeFile(wc + "/src/tree.c", "int tree;\n");
    writeFile(wc + "/lib/vendor.c", "int vendor;\n");
    writeFile(wc + deep + "/configuration-defaults-for-long-running-sessions.json", "{}\n");
    svn.commitAll("Initial import");

    // Changes from a second working copy, to conflict with.
    const QString other = base + "/other";
    runTool("svn", {"checkout", "-q", svn.repositoryUrl, other});
    writeFile(other + "/src/config.h", "#define RETRIES 5\n");
    writeFile(other + "/src/tree.c", "int tree = 1;\n");
    runTool("svn", {"commit", "-q", "-m", "Theirs"}, other);

    writeFile(wc + "/src/config.h", "#define RETRIES 9\n");
    svn.svn({"rm", "-q", "src/tree.c"});
    svn.svn({"update", "-q", "--accept", "postpone"});

    writeFile(wc + "/src/main.c", "int main(void)\n{\n    return run();\n}\n");
    writeFile(wc + deep + "/configuration-defaults-for-long-running-sessions.json", "{\"retries\": 5}\n");
    writeFile(wc + "/src/added.c", "int added;\n");
    svn.svn({"add", "-q", "src/added.c"});
    svn.svn({"rm", "-q", "src/legacy.c"});
    svn.svn({"rm", "-q", "src/swap.c"});
    writeFile(wc + "/src/swap.c", "int swapped;\n");
    svn.svn({"add", "-q", "src/swap.c"});
    writeFile(wc + "/notes.txt", "todo\n");
    writeFile(wc + deep + "/a-new-strategy-that-nobody-has-reviewed-yet.c", "int strategy;\n");
    svn.svn({"propset", "-q", "owner", "net", "README.md"});
    svn.svn({"propset", "-q", "svn:externals", "^/lib vendor-lib", "."});
    svn.svn({"update", "-q"});
    QFile::remove(wc + "/src/gone.c");
    return svn;
}

// The open menu as the user sees it over the window, with an item active, then closed.
void saveOpenMenu(Pictures &pictures, QWidget &window, const QString &name)
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!pictures.expect(menu, "an open menu"))
        return;
    if (!menu->activeAction())
        QTest::keyClick(menu, Qt::Key_Down);
    if (pictures.expect(menu->activeAction(), "an active item"))
        pictures.save(overWindow(window, menu), "menu-" + name + ".png");
    QTest::keyClick(menu, Qt::Key_Escape);
}

void takeMenuPictures(
    Pictures &pictures, AppState &state, MainWindow &window, ChangesView &changes, const QString &mode)
{
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!pictures.expect(QTest::qWaitForWindowActive(&window), "the window is active"))
        return;
    for (QAction *title : window.menuBar()->actions()) {
        const QString text = title->text();
        const qsizetype mark = text.indexOf(u'&');
        if (!pictures.expect(mark >= 0 && mark + 1 < text.size(), "a title with its letter"))
            continue;
        QTest::keyClick(window.windowHandle(), Qt::Key(text.at(mark + 1).toUpper().unicode()), Qt::AltModifier);
        saveOpenMenu(pictures, window, QString(text).remove(u'&').toLower().replace(u' ', u'-') + u'-' + mode);
        QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
    }

    QListView *list = changes.listView()->list();
    list->setFocus();
    const QPoint row = list->visualRect(list->currentIndex()).center();
    // The row's menu runs its own loop: the picture is taken from inside it.
    QTimer::singleShot(200, &window, [&] { saveOpenMenu(pictures, window, "change-row-" + mode); });
    QContextMenuEvent rowMenu(QContextMenuEvent::Keyboard, row, list->viewport()->mapToGlobal(row));
    QCoreApplication::sendEvent(list->viewport(), &rowMenu);

    // A message to select, so that the editor's menu has an item to make active.
    state.setCommitMessage("Retry five times");
    settle(state);
    QPlainTextEdit *editor = changes.commitPanel()->editor();
    editor->setFocus();
    QContextMenuEvent editorMenu(QContextMenuEvent::Keyboard, QPoint(20, 10), editor->mapToGlobal(QPoint(20, 10)));
    QCoreApplication::sendEvent(editor->viewport(), &editorMenu);
    QTest::qWait(200);
    saveOpenMenu(pictures, window, "commit-message-" + mode);
}

} // namespace

void takeChangesPictures(Pictures &pictures)
{
    Sandbox sandbox;
    const SvnFixture svn = makeSvnWorkingCopy(sandbox.filePath("svn"));
    const GitFixture git = GitFixture::create(sandbox.filePath("git"), "lantern");
    writeFile(git.path + "/index.js", "console.log('hi')\n");
    writeFile(git.path + "/old.js", "old\n");
    git.commitAll("First commit");
    writeFile(git.path + "/index.js", "console.log('hello')\n");
    QFile::remove(git.path + "/old.js");
    writeFile(git.path + "/staged.js", "new\n");
    git.git({"add", "staged.js"});
    writeFile(git.path + "/untracked.md", "draft\n");

    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const Project svnProject{QUuid::createUuid(), "orbit-service", svn.workingCopy, RepositoryKind::svn};
    const Project gitProject{QUuid::createUuid(), "lantern", git.path, RepositoryKind::git};
    ProjectStore(&settings).save({svnProject, gitProject});

    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        useLook(dark);
        const QString mode = dark ? "dark" : "light";
        AppState state(&settings);
        MainWindow window(state);
        if (!pictures.show(window))
            return;
        QApplication::setActiveWindow(&window);
        window.contentView()->setSidebarVisible(false);
        for (const Project &project : {svnProject, gitProject}) {
            selectProject(state, project);
            settle(state);
            auto *changes = qobject_cast<ChangesView *>(window.contentView()->detailView()->currentTabView());
            if (!pictures.expect(changes, "changes"))
                return;
            const QString kind = project.kind == RepositoryKind::svn ? "svn" : "git";
            // A modified file is picked so the preview has a diff; some rows ticked, some not.
            for (const WorkingCopyItem &item : state.changes()) {
                if (item.kind == SVNStatusKind::modified) {
                    state.setSelectedChangeID(item.path);
                    state.selectedChangeChanged();
                    break;
                }
            }
            if (!state.changes().isEmpty())
                state.setCommitSelection(state.changes().first(), false);
            state.setCommitMessage(dark ? "Retry five times\n\nThe transport gave up too early." : "");
            settle(state);
            changes->listView()->list()->setFocus();
            settle(state);
            pictures.save(window.grab(), "changes-" + kind + "-" + mode + ".png");

            if (project.kind == RepositoryKind::svn) {
                window.contentView()->setSidebarVisible(true);
                window.resize(1180, 760);
                settle(state);
                pictures.save(window.grab(), "changes-" + kind + "-" + mode + "-narrow.png");
                window.resize(1440, 900);
                window.contentView()->setSidebarVisible(false);
                settle(state);
                takeMenuPictures(pictures, state, window, *changes, mode);
            }
        }
    }
    // The empty state.
    useLook(false);
    const GitFixture clean = GitFixture::create(sandbox.filePath("git"), "clean");
    writeFile(clean.path + "/a.txt", "a\n");
    clean.commitAll("Only commit");
    QSettings cleanSettings(sandbox.filePath("clean.ini"), QSettings::IniFormat);
    ProjectStore(&cleanSettings).save({Project{QUuid::createUuid(), "clean", clean.path, RepositoryKind::git}});
    AppState state(&cleanSettings);
    MainWindow window(state);
    if (!pictures.show(window))
        return;
    window.contentView()->setSidebarVisible(false);
    settle(state);
    pictures.save(window.grab(), "changes-empty-light.png");
    QApplication::setPalette(original);
}
