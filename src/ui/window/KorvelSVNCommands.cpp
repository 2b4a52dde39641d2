#include "ui/window/KorvelSVNCommands.h"

#include "state/AppState.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

using Item = KorvelSVNCommands::Item;

Item item(const char *title, void (*call)(AppState &), QKeySequence shortcut = QKeySequence())
{
    return Item{title, shortcut, call};
}

const Item divider{};

} // namespace

const QList<KorvelSVNCommands::Menu> &KorvelSVNCommands::menus()
{
    static const QList<Menu> table{
        {"&Repository",
            {
                item(
                    "Add Existing Working Copy...", [](AppState &state) { state.addExistingWorkingCopy(); },
                    QKeySequence(Qt::CTRL | Qt::Key_O)),
                item("Create SVN Repository...", [](AppState &state) { state.createSVNRepository(); }),
                item(
                    "Checkout...", [](AppState &state) { state.checkoutRepository(); },
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)),
                item("Remove Project", [](AppState &state) { state.removeSelectedProject(); }),
                divider,
                item(
                    "Refresh Status", [](AppState &state) { state.refreshAll(); }, QKeySequence(Qt::CTRL | Qt::Key_R)),
                item(
                    "Update", [](AppState &state) { state.updateWorkingCopy(); }, QKeySequence(Qt::CTRL | Qt::Key_U)),
                // The one binding of Ctrl+Return: a second one (the Commit button) would make both ambiguous.
                item(
                    "Commit", [](AppState &state) { state.commitSelected(); }, QKeySequence(Qt::CTRL | Qt::Key_Return)),
                divider,
                item("Info", [](AppState &state) { state.showRepositoryInfo(); }),
                item("Cleanup", [](AppState &state) { state.cleanupWorkingCopy(); }),
                item("Upgrade Working Copy", [](AppState &state) { state.upgradeWorkingCopy(); }),
                item("Switch URL Or Branch...", [](AppState &state) { state.switchWorkingCopyURL(); }),
                item("Relocate URL...", [](AppState &state) { state.relocateWorkingCopyURL(); }),
            }},
        {"&Working Copy",
            {
                item("Add Selected", [](AppState &state) { state.addSelectedPaths(); }),
                item("Delete Selected", [](AppState &state) { state.deleteSelectedPaths(); }),
                item("Revert Selected", [](AppState &state) { state.revertSelectedPaths(); }),
                item("Ignore Selected", [](AppState &state) { state.ignoreSelectedPaths(); }),
                item("Include Ignored Path...", [](AppState &state) { state.includeIgnoredPath(); }),
                divider,
                item("Resolve Selected Using Working",
                    [](AppState &state) { state.resolveSelectedPaths(QStringLiteral("working")); }),
                item("Resolve Selected Using Mine Full",
                    [](AppState &state) { state.resolveSelectedPaths(QStringLiteral("mine-full")); }),
                item("Resolve Selected Using Theirs Full",
                    [](AppState &state) { state.resolveSelectedPaths(QStringLiteral("theirs-full")); }),
                divider,
                item("Lock Selected", [](AppState &state) { state.lockSelectedPaths(); }),
                item("Unlock Selected", [](AppState &state) { state.unlockSelectedPaths(); }),
                divider,
                item("Create Changelist...", [](AppState &state) { state.createChangelist(); }),
                item("Remove From Changelist", [](AppState &state) { state.removeFromChangelist(); }),
                divider,
                item("Apply Patch...", [](AppState &state) { state.applyPatch(); }),
                item("Make Directory...", [](AppState &state) { state.makeDirectoryInWorkingCopy(); }),
                item("Copy...", [](AppState &state) { state.copyItem(); }),
                item("Move...", [](AppState &state) { state.moveItem(); }),
            }},
        {"&History",
            {
                item(
                    "Show Log", [](AppState &state) { state.refreshHistory(); }, QKeySequence(Qt::CTRL | Qt::Key_L)),
                item("Show Incoming Changes", [](AppState &state) { state.refreshIncoming(); }),
                item("Show Archives", [](AppState &state) { state.refreshArchives(); }),
                item("Blame Path...", [](AppState &state) { state.showBlame(); }),
                item("Diff Against Revision...", [](AppState &state) { state.showDiffAgainstRevision(); }),
                divider,
                item("Pull File At Revision...", [](AppState &state) { state.pullFileAtRevision(); }),
                item("Export File At Revision...", [](AppState &state) { state.exportFileAtRevision(); }),
                item("Create Archive Zip...", [](AppState &state) { state.createArchiveZip(); }),
                item("Rollback Selected Revision", [](AppState &state) { state.rollbackSelectedRevision(); }),
                item("Merge...", [](AppState &state) { state.merge(); }),
            }},
        {"Re&mote",
            {
                item("List URL Or Path...", [](AppState &state) { state.listTarget(); }),
                item("Cat URL Or Path...", [](AppState &state) { state.catTarget(); }),
                item("Make Remote Directory...", [](AppState &state) { state.makeRemoteDirectory(); }),
                divider,
                item("Import Directory...", [](AppState &state) { state.importDirectory(); }),
                item("Export URL Or Path...", [](AppState &state) { state.exportRepository(); }),
            }},
        {"&Properties",
            {
                item("List Properties...", [](AppState &state) { state.listProperties(); }),
                item("Get Property...", [](AppState &state) { state.getProperty(); }),
                item("Set Property...", [](AppState &state) { state.setProperty(); }),
                item("Delete Property...", [](AppState &state) { state.deleteProperty(); }),
            }},
        {"&SVN",
            {
                item(
                    "Run svn Command...", [](AppState &state) { state.runCustomSVNCommand(); },
                    QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft)),
                divider,
                item("Show svn Version", [](AppState &state) { state.showSVNVersion(); }),
                item("Show svn Help", [](AppState &state) { state.showSVNHelp(); }),
                divider,
                item("Set svn Executable...", [](AppState &state) { state.setSVNExecutable(); }),
                item("Use svn From PATH", [](AppState &state) { state.resetSVNExecutable(); }),
            }},
    };
    return table;
}

void KorvelSVNCommands::install(QMenuBar *bar, AppState &state)
{
    for (const Menu &menu : menus()) {
        QMenu *qmenu = bar->addMenu(QCoreApplication::translate("KorvelSVNCommands", menu.title));
        for (const Item &entry : menu.items) {
            if (entry.isDivider()) {
                qmenu->addSeparator();
                continue;
            }
            QAction *action = qmenu->addAction(QCoreApplication::translate("KorvelSVNCommands", entry.title));
            action->setMenuRole(QAction::NoRole);
            action->setShortcut(entry.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(action, &QAction::triggered, &state, [call = entry.call, &state] { call(state); });
        }
    }
}
