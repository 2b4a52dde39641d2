#include "RevertPlan.h"

#include "model/TextUtil.h"
#include "parsers/IgnoreRules.h"
#include "tools/ToolOperands.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace RevertPlan {

namespace {

bool isInside(const QString &path, const QString &folder)
{
    if (folder == workingCopyRootPath)
        return path != folder;
    return path.size() > folder.size() && path.startsWith(folder) && path[folder.size()] == u'/';
}

bool isWithinAny(const QString &path, const QStringList &folders, bool orEqual)
{
    return std::any_of(folders.begin(), folders.end(),
        [&path, orEqual](const QString &folder) { return (orEqual && path == folder) || isInside(path, folder); });
}

// Plain text order of the paths' components, a folder after everything inside it: svn refuses a list
// that names a new folder before its children.
QStringList childrenFirst(QStringList list)
{
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        const qsizetype common = std::min(a.size(), b.size());
        qsizetype i = 0;
        while (i < common && a[i] == b[i])
            ++i;
        if (i == a.size())
            return i < b.size() && b[i] != u'/';
        if (i == b.size())
            return a[i] == u'/';
        if (a[i] == u'/' || b[i] == u'/')
            return a[i] == u'/';
        return a[i] < b[i];
    });
    return ToolOperands::svnPaths(list);
}

// The folders above a path, nearest first, up to the working copy's own folder, which is never in the way.
QStringList foldersAbove(const QString &path)
{
    QStringList folders;
    for (qsizetype slash = path.lastIndexOf(u'/'); slash > 0; slash = path.lastIndexOf(u'/', slash - 1))
        folders.push_back(path.left(slash));
    return folders;
}

// The listed rows, which say what the tool tracks, and what stands on disk, each path read once.
class Paths {
public:
    Paths(const QList<WorkingCopyItem> &listed, const Standing &standing) : m_standing(standing)
    {
        m_rows.reserve(listed.size());
        for (const WorkingCopyItem &item : listed)
            m_rows.insert(item.path, &item);
    }

    const WorkingCopyItem *row(const QString &path) const { return m_rows.value(path); }

    DiskEntry entry(const QString &path)
    {
        auto found = m_entries.constFind(path);
        if (found == m_entries.constEnd())
            found = m_entries.insert(path, m_standing(path));
        return *found;
    }

    // The one rule: a revert writes only where nothing stands that the tool does not track. The tool
    // tracks nothing on disk at a deleted or missing path and something else at an obstructed one; a
    // folder above a path it writes can only be a folder. Gives the paths in the way, each once.
    QStringList inTheWayOf(const QStringList &writes)
    {
        QStringList found;
        const auto look = [this, &found](const QString &path, bool above) {
            if (!blocks(path, above))
                return;
            if (!found.contains(path))
                found.push_back(path);
        };
        for (const QString &path : writes) {
            look(path, false);
            for (const QString &folder : foldersAbove(path))
                look(folder, true);
        }
        return found;
    }

private:
    bool blocks(const QString &path, bool above)
    {
        const WorkingCopyItem *item = row(path);
        const SVNStatusKind kind = item ? item->kind : SVNStatusKind::none;
        if (kind == SVNStatusKind::obstructed)
            return true;
        if (kind == SVNStatusKind::deleted || kind == SVNStatusKind::missing)
            return entry(path) != DiskEntry::nothing;
        return above && (entry(path) == DiskEntry::file || entry(path) == DiskEntry::link);
    }

    QHash<QString, const WorkingCopyItem *> m_rows;
    QHash<QString, DiskEntry> m_entries;
    const Standing &m_standing;
};

QString entryName(DiskEntry entry)
{
    switch (entry) {
    case DiskEntry::folder:
        return QStringLiteral("the folder ");
    case DiskEntry::link:
        return QStringLiteral("the link ");
    case DiskEntry::file:
        return QStringLiteral("the file ");
    case DiskEntry::nothing:
        break;
    }
    return QStringLiteral("the path ");
}

// "The folder t.txt stands ...", "The folder t.txt and the file A stand ...". What lies inside a path
// named goes with it and is not named again.
AppAlert inTheWay(const QStringList &paths, Paths &disk, bool othersReverted)
{
    QStringList names;
    for (const QString &path : paths) {
        if (!isWithinAny(path, paths, false))
            names.push_back(entryName(disk.entry(path)) + path);
    }
    const bool one = names.size() == 1;
    QString subject = names.takeLast();
    if (!names.isEmpty())
        subject = names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + subject;
    subject[0] = subject[0].toUpper();
    const QString them = one ? QStringLiteral("it") : QStringLiteral("them");
    AppAlert alert;
    alert.title = QStringLiteral("Path In The Way");
    alert.message = subject + (one ? QStringLiteral(" stands") : QStringLiteral(" stand"))
        + QStringLiteral(" where the repository has something else, and Revert would delete ") + them
        + QStringLiteral(". Move ") + them + QStringLiteral(" elsewhere first, then revert.");
    if (othersReverted)
        alert.message += QStringLiteral(" The other selected paths are reverted.");
    return alert;
}

} // namespace

Plan svn(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing,
    const QStringList &refusedBefore)
{
    Paths disk(listed, standing);
    struct Selected {
        QString path;
        bool copy = false;
        bool tree = false;
        // What svn writes back inside the path, and the old halves of the moves it holds.
        QStringList inside;
        QStringList movedFrom;
    };
    QList<Selected> selected;
    selected.reserve(paths.size());
    // The selected paths taken back with everything inside them.
    QHash<QString, qsizetype> whole;
    for (const QString &path : paths) {
        const WorkingCopyItem *item = disk.row(path);
        const SVNStatusKind kind = item ? item->kind : SVNStatusKind::none;
        // svn revert deletes a copy from disk, the user's files in it included; unscheduling it keeps
        // them, as the revert of anything else added does. What a copy replaced then comes back over
        // it, and the copy's files the repository does not have there stay.
        const bool copy = item && item->copied && (kind == SVNStatusKind::added || kind == SVNStatusKind::replaced);
        // svn reverts a folder scheduled for addition, deletion or replacement only with its whole tree
        // ("Can't revert ... without reverting children"; a deleted or missing folder would come back
        // empty), while a folder changed in place keeps its children's changes.
        const bool tree = kind == SVNStatusKind::replaced
            || (!copy
                && (kind == SVNStatusKind::added || kind == SVNStatusKind::deleted || kind == SVNStatusKind::missing));
        if (copy || tree)
            whole.insert(path, selected.size());
        selected.push_back({path, copy, tree, {}, {}});
    }
    const auto takenWhole = [&whole](const QString &path) {
        if (whole.contains(path) || whole.contains(workingCopyRootPath.toString()))
            return true;
        const QStringList folders = foldersAbove(path);
        return std::any_of(folders.begin(), folders.end(), [&whole](const QString &f) { return whole.contains(f); });
    };
    // A tree goes back with every deleted, missing or obstructed path in it, and taking back the new
    // half of a move takes back its old half, which would otherwise stay deleted.
    if (!whole.isEmpty()) {
        for (const WorkingCopyItem &item : listed) {
            const bool written = item.kind == SVNStatusKind::deleted || item.kind == SVNStatusKind::missing
                || item.kind == SVNStatusKind::obstructed;
            if (!written && !item.movedFrom)
                continue;
            QStringList holders = foldersAbove(item.path);
            holders.push_front(item.path);
            if (item.path != workingCopyRootPath)
                holders.push_back(workingCopyRootPath.toString());
            for (const QString &holder : std::as_const(holders)) {
                const auto found = whole.constFind(holder);
                if (found == whole.constEnd())
                    continue;
                Selected &s = selected[*found];
                if (written && s.tree && holder != item.path)
                    s.inside.push_back(item.path);
                if (item.movedFrom)
                    s.movedFrom.push_back(*item.movedFrom);
            }
        }
    }

    Plan plan;
    QStringList refused = refusedBefore;
    QStringList inPlace;
    QStringList copies;
    QStringList trees;
    for (const Selected &s : std::as_const(selected)) {
        QStringList blocked = disk.inTheWayOf(s.copy && !s.tree ? s.inside : QStringList{s.path} + s.inside);
        QStringList oldHalves;
        for (const QString &source : s.movedFrom) {
            const WorkingCopyItem *old = disk.row(source);
            if (!old)
                continue;
            // Put back only while it is a plain deletion: anything else there is the user's. Taken back
            // itself, it must not be in the way either, or the move would be left half undone.
            const bool putBack = !takenWhole(source);
            if (putBack && (old->kind != SVNStatusKind::deleted || disk.entry(source) != DiskEntry::nothing)) {
                blocked.push_back(source);
                continue;
            }
            blocked += disk.inTheWayOf({source});
            if (putBack)
                oldHalves.push_back(source);
        }
        if (!blocked.isEmpty()) {
            for (const QString &path : std::as_const(blocked)) {
                if (!refused.contains(path))
                    refused.push_back(path);
            }
            continue;
        }
        plan.reverted.push_back(s.path);
        if (s.copy)
            copies.push_back(s.path);
        if (s.tree)
            trees.push_back(s.path);
        else if (!s.copy)
            inPlace.push_back(s.path);
        for (const QString &source : std::as_const(oldHalves)) {
            if (!trees.contains(source))
                trees.push_back(source);
        }
    }
    // A copy inside a folder reverted whole goes with it, and svn keeps its files when it is not named
    // itself; whatever lies inside a copy is unscheduled with it and keeps the user's edits.
    const QStringList allCopies = copies;
    copies.removeIf([&trees, &allCopies](const QString &path) {
        return isWithinAny(path, trees, false) || isWithinAny(path, allCopies, false);
    });
    const auto insideCopy = [&allCopies](const QString &path) { return isWithinAny(path, allCopies, false); };
    trees.removeIf(insideCopy);
    inPlace.removeIf(insideCopy);

    // Changed files first, then the copies while svn still knows them, then the scheduled trees.
    if (!inPlace.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths({QStringLiteral("revert")}, childrenFirst(inPlace)));
    if (!copies.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("delete"), QStringLiteral("--keep-local"), QStringLiteral("--force")},
            childrenFirst(copies)));
    if (!trees.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths(
            {QStringLiteral("revert"), QStringLiteral("--depth"), QStringLiteral("infinity")}, childrenFirst(trees)));
    if (!refused.isEmpty())
        plan.alert = inTheWay(refused, disk, !plan.runs.isEmpty());
    plan.refused = refused;
    return plan;
}

Plan git(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing,
    const QStringList &refusedBefore)
{
    Paths disk(listed, standing);
    const auto untracked = [](const WorkingCopyItem *item) {
        return item && (item->kind == SVNStatusKind::unversioned || item->kind == SVNStatusKind::ignored);
    };
    QSet<QString> tracked;
    for (const QString &path : paths) {
        if (!untracked(disk.row(path)))
            tracked.insert(path);
    }
    Plan plan;
    QStringList refused = refusedBefore;
    QStringList added;
    QStringList others;
    for (const QString &path : paths) {
        // Untracked files are left alone, as svn revert leaves unversioned ones; git would refuse the
        // whole run over one of them.
        if (!tracked.contains(path))
            continue;
        const WorkingCopyItem *item = disk.row(path);
        // Restoring the work tree of a file that was only ever staged deletes it for good; unstaging
        // alone leaves it as an untracked file, as svn revert does. The new name of a rename or copy is
        // such a file, and so is an unmerged path the current commit does not have.
        const bool isAdded = item
            && (item->kind == SVNStatusKind::added || item->renamedFrom || item->copiedFrom || item->absentFromHead);
        QStringList writes;
        if (!isAdded)
            writes.push_back(path);
        // A rename's old name comes back as in HEAD; when something new lies there it is only unstaged.
        std::optional<QString> source = item ? item->renamedFrom : std::nullopt;
        if (source && tracked.contains(*source))
            source.reset();
        const bool sourceKept = source && disk.entry(*source) != DiskEntry::nothing;
        if (source && !sourceKept)
            writes.push_back(*source);
        const QStringList blocked = disk.inTheWayOf(writes);
        if (!blocked.isEmpty()) {
            for (const QString &in : blocked) {
                if (!refused.contains(in))
                    refused.push_back(in);
            }
            continue;
        }
        plan.reverted.push_back(path);
        (isAdded ? added : others).push_back(path);
        if (source)
            (sourceKept ? added : others).push_back(*source);
    }
    plan.refused = refused;
    if (plan.reverted.isEmpty()) {
        if (!refused.isEmpty()) {
            plan.alert = inTheWay(refused, disk, false);
        } else {
            plan.alert.emplace();
            plan.alert->title = QStringLiteral("Nothing To Revert");
            plan.alert->message
                = QStringLiteral("The selected files are untracked: Revert leaves untracked files alone.");
        }
        return plan;
    }
    // git lists tracked files one by one: a tracked row that is a folder on disk is a submodule.
    for (const QString &path : std::as_const(others)) {
        if (disk.entry(path) == DiskEntry::folder)
            plan.submodules.push_back(path);
    }
    // git reset unstages on a branch without commits too, where git restore finds no HEAD.
    if (!added.isEmpty())
        plan.runs.push_back(ToolCommand::withPaths({QStringLiteral("reset"), QStringLiteral("-q")}, added));
    // A submodule is put back to the commit HEAD records, its work tree included; it is asked first
    // whether it holds anything that would be lost.
    if (!others.isEmpty())
        plan.runs.push_back(
            ToolCommand::withPaths({QStringLiteral("restore"), QStringLiteral("--staged"), QStringLiteral("--worktree"),
                                       QStringLiteral("--recurse-submodules")},
                others));
    if (!refused.isEmpty())
        plan.alert = inTheWay(refused, disk, true);
    return plan;
}

QString question(const Plan &plan)
{
    return QStringLiteral("Revert ") + QString::number(plan.reverted.size())
        + QStringLiteral(" selected path(s)? Local changes will be discarded.");
}

QCoro::Task<QList<Submodule>> submodules(GitClient &git, QString root, QStringList paths)
{
    // Named, not temporaries in the co_await: g++ 12 mishandles those.
    const QStringList head{QStringLiteral("rev-parse"), QStringLiteral("--show-prefix"), QStringLiteral("HEAD")};
    const QStringList changes{
        QStringLiteral("status"), QStringLiteral("--porcelain"), QStringLiteral("--untracked-files=no")};
    const QStringList holders{QStringLiteral("for-each-ref"), QStringLiteral("--count=1"), QStringLiteral("--contains"),
        QStringLiteral("HEAD"), QStringLiteral("--format=%(refname)"), QStringLiteral("refs/heads"),
        QStringLiteral("refs/remotes"), QStringLiteral("refs/tags")};
    QList<Submodule> found;
    for (const QString &path : std::as_const(paths)) {
        Submodule submodule{path, {}, false, {}};
        const QString folder = root + u'/' + path;
        const QStringList recordedQuery{QStringLiteral("rev-parse"), QStringLiteral("--verify"),
            QStringLiteral("--quiet"), QStringLiteral("HEAD:") + path};
        const SVNCommandResult recorded = co_await git.run(recordedQuery, root, false);
        if (recorded.succeeded())
            submodule.recorded = recorded.stdout.trimmed();
        // A folder that is not the top of a repository of its own (a submodule not checked out) holds
        // nothing git would touch; asked inside it, git would answer for the project.
        const SVNCommandResult at = co_await git.run(head, folder, false);
        const QStringList lines = TextUtil::splitLines(at.stdout);
        if (at.succeeded() && lines.size() >= 2 && lines[0].isEmpty()) {
            submodule.changed = !(co_await git.run(changes, folder)).stdout.trimmed().isEmpty();
            const QString commit = lines[1].trimmed();
            if (commit != submodule.recorded && (co_await git.run(holders, folder)).stdout.trimmed().isEmpty())
                submodule.unheld = commit;
        }
        found.push_back(std::move(submodule));
    }
    co_return found;
}

std::optional<AppAlert> submoduleRefusal(const QList<Submodule> &submodules)
{
    QStringList holdings;
    for (const Submodule &submodule : submodules) {
        QStringList held;
        if (submodule.changed)
            held.push_back(QStringLiteral("holds uncommitted changes"));
        if (!submodule.unheld.isEmpty())
            held.push_back(QStringLiteral("is at commit ") + submodule.unheld.left(7)
                + QStringLiteral(", which no branch or tag holds"));
        if (!held.isEmpty())
            holdings.push_back(QStringLiteral("The submodule ") + TextUtil::displayFileName(submodule.path) + u' '
                + held.join(QStringLiteral(" and ")) + u'.');
    }
    if (holdings.isEmpty())
        return std::nullopt;
    AppAlert alert;
    alert.title = QStringLiteral("Work In A Submodule");
    alert.message = holdings.join(u' ')
        + QStringLiteral(" Revert would discard that work, so nothing is reverted: commit it on a branch inside the "
                         "submodule, or discard it there yourself, then revert.");
    return alert;
}

QString submoduleSentence(const QList<Submodule> &submodules)
{
    QString sentence;
    for (const Submodule &submodule : submodules) {
        sentence += QStringLiteral(" The submodule ") + TextUtil::displayFileName(submodule.path)
            + QStringLiteral(" is checked out at ")
            + (submodule.recorded.isEmpty() ? QStringLiteral("the commit the project records.")
                                            : QStringLiteral("commit ") + submodule.recorded.left(7)
                        + QStringLiteral(", the one the project records."));
    }
    return sentence + QStringLiteral(" Files untracked inside ")
        + (submodules.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")) + QStringLiteral(" stay.");
}

QStringList svnReplacedFolders(const QStringList &paths, const QList<WorkingCopyItem> &listed, const Standing &standing)
{
    QSet<QString> replaced;
    for (const WorkingCopyItem &item : listed) {
        if (item.kind == SVNStatusKind::replaced)
            replaced.insert(item.path);
    }
    QStringList folders;
    for (const QString &path : paths) {
        if (replaced.contains(path) && standing(path) == DiskEntry::folder)
            folders.push_back(path);
    }
    return folders;
}

QList<WorkingCopyItem> withDeletionsInside(QList<WorkingCopyItem> listed, const QList<WorkingCopyItem> &tree)
{
    QSet<QString> known;
    for (const WorkingCopyItem &item : std::as_const(listed))
        known.insert(item.path);
    for (WorkingCopyItem item : tree) {
        // What the revert writes back: svn's status -v gives every other path in the tree as well.
        if (item.kind != SVNStatusKind::deleted && item.kind != SVNStatusKind::missing
            && item.kind != SVNStatusKind::obstructed)
            continue;
        item.path = IgnoreRules::normalizePath(item.path);
        if (item.path.isEmpty() || known.contains(item.path))
            continue;
        known.insert(item.path);
        listed.push_back(std::move(item));
    }
    return listed;
}

} // namespace RevertPlan
