// What goes with ticked folders into a depth-empty commit, read from crafted `svn status --xml`.
#include "parsers/SVNCommitTargets.h"
#include "parsers/SVNXMLParsers.h"
#include "state/SVNCommit.h"

#include <gtest/gtest.h>

namespace {

QString entry(const QString &path, const QString &item, bool copied = false, const QString &more = {})
{
    return QStringLiteral("<entry path=\"%1\"><wc-status item=\"%2\" props=\"none\"%3%4/></entry>")
        .arg(path, item, copied ? QStringLiteral(" copied=\"true\"") : QString(), more);
}

QString status(const QStringList &entries)
{
    return QStringLiteral("<?xml version=\"1.0\"?><status><target path=\".\">") + entries.join(QString())
        + QStringLiteral("</target></status>");
}

} // namespace

TEST(SVNCommitTargets, NewFoldersBringWhatWasAddedAndCopiesTheirOwnCopies)
{
    const QString xml = status({entry("new", "added"), entry("new/a", "added"), entry("new/sub/b", "added"),
        entry("newer/c", "added"), entry("plain", "added"), entry("plain/d", "added"), entry("copy", "added", true),
        entry("copy/mixed", "added", true), entry("copy/replaced", "replaced", true), entry("copy/edited", "modified"),
        entry("copy/fresh", "added"), entry("copy", "added", true)});
    EXPECT_EQ(SVNCommitTargets::childrenGoingWith(xml, {"new", "plain", "copy"}, {"new"}),
        (QStringList{"new/a", "new/sub/b", "copy/mixed", "copy/replaced"}));
    // A folder only ticked, neither new nor copied, goes alone; so does everything beside a name prefix.
    EXPECT_TRUE(SVNCommitTargets::childrenGoingWith(xml, {"plain"}, {}).isEmpty());
    EXPECT_EQ(SVNCommitTargets::childrenGoingWith(xml, {"new"}, {"new"}), (QStringList{"new/a", "new/sub/b"}));
    // Nested ticked folders: a child that is itself ticked is not listed twice.
    EXPECT_EQ(SVNCommitTargets::childrenGoingWith(xml, {"new", "new/a"}, {"new", "new/a"}), QStringList{"new/sub/b"});
    EXPECT_TRUE(SVNCommitTargets::childrenGoingWith(QStringLiteral("<status><entry"), {"x"}, {"x"}).isEmpty());
}

TEST(SVNCommit, ATickedHalfOfAMoveBringsTheOtherOnce)
{
    // As svn 1.14 reports `svn move a.txt b.txt`; "gone" was moved to a path the list does not show.
    const QList<WorkingCopyItem> listed = SVNXMLParsers::parseStatus(status({
        entry("a.txt", "deleted", false, " moved-to=\"b.txt\""),
        entry("b.txt", "added", true, " moved-from=\"a.txt\""),
        entry("gone", "deleted", false, " moved-to=\"hidden\""),
    }));
    ASSERT_EQ(listed.size(), 3);
    const auto committed = [&listed](const QList<WorkingCopyItem> &ticked) {
        QStringList paths;
        for (const WorkingCopyItem &item : SVNCommit::withMoveHalves(ticked, listed))
            paths.push_back(item.path + ':' + rawValue(item.kind));
        return paths;
    };
    EXPECT_EQ(committed({listed[1]}), (QStringList{"b.txt:added", "a.txt:deleted"}));
    EXPECT_EQ(committed({listed[0], listed[1]}), (QStringList{"a.txt:deleted", "b.txt:added"}));
    EXPECT_EQ(committed({listed[2]}), (QStringList{"gone:deleted", "hidden:added"}));
}
