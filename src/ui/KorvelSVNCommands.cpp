#include "KorvelSVNCommands.h"

#include "PendingActions.h"
#include "state/AppState.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

using Item = KorvelSVNCommands::Item;

#define ACTION(call) static_cast<void (*)(AppState &)>([](auto &state) { KORVEL_CALL(state, call); })

Item item(const char *title, void (*call)(AppState &), QKeySequence shortcut = QKeySequence())
{
    return Item{title, shortcut, call};
}

const Item divider{};

} // namespace

const QList<KorvelSVNCommands::Menu> &KorvelSVNCommands::menus()
{
    static const QList<Menu> table{
        {"Repository",
            {
                item("Add Existing Working Copy...", ACTION(addExistingWorkingCopy()),
                    QKeySequence(Qt::CTRL | Qt::Key_O)),
                item("Create SVN Repository...", ACTION(createSVNRepository())),
                item("Checkout...", ACTION(checkoutRepository()), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)),
                item("Remove Project", ACTION(removeSelectedProject())),
                divider,
                item("Refresh Status", ACTION(refreshAll()), QKeySequence(Qt::CTRL | Qt::Key_R)),
                item("Update", ACTION(updateWorkingCopy()), QKeySequence(Qt::CTRL | Qt::Key_U)),
                // The one binding of Ctrl+Return: a second one (the Commit button) would make both ambiguous.
                item("Commit", ACTION(commitSelected()), QKeySequence(Qt::CTRL | Qt::Key_Return)),
                divider,
                item("Info", ACTION(showRepositoryInfo())),
                item("Cleanup", ACTION(cleanupWorkingCopy())),
                item("Upgrade Working Copy", ACTION(upgradeWorkingCopy())),
                item("Switch URL Or Branch...", ACTION(switchWorkingCopyURL())),
                item("Relocate URL...", ACTION(relocateWorkingCopyURL())),
            }},
        {"Working Copy",
            {
                item("Add Selected", ACTION(addSelectedPaths())),
                item("Delete Selected", ACTION(deleteSelectedPaths())),
                item("Revert Selected", ACTION(revertSelectedPaths())),
                item("Ignore Selected", ACTION(ignoreSelectedPaths())),
                item("Include Ignored Path...", ACTION(includeIgnoredPath())),
                divider,
                item("Resolve Selected Using Working", ACTION(resolveSelectedPaths(QStringLiteral("working")))),
                item("Resolve Selected Using Mine Full", ACTION(resolveSelectedPaths(QStringLiteral("mine-full")))),
                item("Resolve Selected Using Theirs Full", ACTION(resolveSelectedPaths(QStringLiteral("theirs-full")))),
                divider,
                item("Lock Selected", ACTION(lockSelectedPaths())),
                item("Unlock Selected", ACTION(unlockSelectedPaths())),
                divider,
                item("Create Changelist...", ACTION(createChangelist())),
                item("Remove From Changelist", ACTION(removeFromChangelist())),
                divider,
                item("Apply Patch...", ACTION(applyPatch())),
                item("Make Directory...", ACTION(makeDirectoryInWorkingCopy())),
                item("Copy...", ACTION(copyItem())),
                item("Move...", ACTION(moveItem())),
            }},
        {"History",
            {
                item("Show Log", ACTION(refreshHistory()), QKeySequence(Qt::CTRL | Qt::Key_L)),
                item("Show Incoming Changes", ACTION(refreshIncoming())),
                item("Show Archives", ACTION(refreshArchives())),
                item("Blame Path...", ACTION(showBlame())),
                item("Diff Against Revision...", ACTION(showDiffAgainstRevision())),
                divider,
                item("Pull File At Revision...", ACTION(pullFileAtRevision())),
                item("Export File At Revision...", ACTION(exportFileAtRevision())),
                item("Create Archive Zip...", ACTION(createArchiveZip())),
                item("Rollback Selected Revision", ACTION(rollbackSelectedRevision())),
                item("Merge...", ACTION(merge())),
            }},
        {"Remote",
            {
                item("List URL Or Path...", ACTION(listTarget())),
                item("Cat URL Or Path...", ACTION(catTarget())),
                item("Make Remote Directory...", ACTION(makeRemoteDirectory())),
                divider,
                item("Import Directory...", ACTION(importDirectory())),
                item("Export URL Or Path...", ACTION(exportRepository())),
            }},
        {"Properties",
            {
                item("List Properties...", ACTION(listProperties())),
                item("Get Property...", ACTION(getProperty())),
                item("Set Property...", ACTION(setProperty())),
                item("Delete Property...", ACTION(deleteProperty())),
            }},
        {"SVN",
            {
                item("Run svn Command...", ACTION(runCustomSVNCommand()), QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft)),
                divider,
                item("Show svn Version", ACTION(showSVNVersion())),
                item("Show svn Help", ACTION(showSVNHelp())),
                divider,
                item("Set svn Executable...", ACTION(setSVNExecutable())),
                item("Use svn From PATH", ACTION(resetSVNExecutable())),
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
