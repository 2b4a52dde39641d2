#include "model/CommandOutput.h"
#include "model/Diff.h"
#include "model/LogEntry.h"
#include "model/Project.h"
#include "model/WorkingCopyItem.h"

#include <QJsonDocument>

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

std::optional<Project> decodeProject(const char *json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json));
    return Project::fromJson(document.isObject() ? QJsonValue(document.object()) : QJsonValue());
}

} // namespace

TEST(Project, DecodesWithAndWithoutKind)
{
    const auto noKind = decodeProject(R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"/a"})");
    ASSERT_TRUE(noKind);
    EXPECT_EQ(noKind->kind, RepositoryKind::svn);
    EXPECT_EQ(noKind->name, "A");
    EXPECT_EQ(noKind->path, "/a");

    const auto nullKind
        = decodeProject(R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"/a","kind":null})");
    ASSERT_TRUE(nullKind);
    EXPECT_EQ(nullKind->kind, RepositoryKind::svn);

    const auto git = decodeProject(
        R"({"kind":"git","path":"\/x\/y","name":"B","id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","extra":1})");
    ASSERT_TRUE(git);
    EXPECT_EQ(git->kind, RepositoryKind::git);
    EXPECT_EQ(git->path, "/x/y");
}

TEST(Project, RejectsMalformedFields)
{
    const char *bad[] = {
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"/a","kind":"Git"})",
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A","path":"/a","kind":1})",
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","path":"/a"})",
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"A"})",
        R"({"name":"A","path":"/a"})",
        R"({"id":null,"name":"A","path":"/a"})",
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":null,"path":"/a"})",
        R"({"id":"{6F9619FF-8B86-D011-B42D-00C04FC964FF}","name":"A","path":"/a"})",
        R"({"id":"6F9619FF8B86D011B42D00C04FC964FF","name":"A","path":"/a"})",
        R"({"id":"not-a-uuid","name":"A","path":"/a"})",
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":5,"path":"/a"})",
    };
    for (const char *json : bad)
        EXPECT_FALSE(decodeProject(json)) << json;
    EXPECT_FALSE(Project::fromJson(QJsonValue(QStringLiteral("text"))));
}

TEST(Project, RoundTripWritesUpperCaseIdAndCompares)
{
    const auto read = decodeProject(R"({"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","name":"N","path":"/p"})");
    ASSERT_TRUE(read);
    const QJsonObject written = read->toJson();
    EXPECT_EQ(written.value("id").toString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(written.value("kind").toString(), "svn");
    const auto back = Project::fromJson(written);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, *read);

    Project renamed = *read;
    renamed.name = "Other";
    EXPECT_NE(renamed, *read);
    EXPECT_EQ(renamed.identity(), read->identity());
}

TEST(Project, KindsAndTabsMatchExactly)
{
    EXPECT_FALSE(repositoryKindFromRaw("SVN"));
    EXPECT_EQ(repositoryKindFromRaw("git"), RepositoryKind::git);
    EXPECT_EQ(displayName(RepositoryKind::svn), "SVN");
    EXPECT_EQ(displayName(RepositoryKind::git), "Git");
    EXPECT_FALSE(workflowTabFromRaw("changes"));
    EXPECT_EQ(workflowTabFromRaw("History"), WorkflowTab::history);
    QStringList labels;
    for (WorkflowTab tab : allWorkflowTabs)
        labels << rawValue(tab);
    EXPECT_EQ(labels, QStringList({"Changes", "Incoming", "History", "Archives"}));
}

TEST(StatusKind, TableOfNamesAndDefaults)
{
    QString letters;
    QStringList committable;
    for (SVNStatusKind kind : allSVNStatusKinds) {
        ASSERT_EQ(shortName(kind).size(), 1);
        letters += shortName(kind);
        EXPECT_EQ(svnStatusKindFromRaw(rawValue(kind)), kind);
        if (!isCommittableByDefault(kind))
            committable << rawValue(kind);
    }
    EXPECT_EQ(letters, "ACDXI!G!M  ~R??");
    EXPECT_EQ(committable, QStringList({"external", "ignored", "none", "normal"}));
    EXPECT_EQ(displayName(SVNStatusKind::conflicted), "Conflict");
    EXPECT_EQ(svnStatusKindFromRawSVN(u"Modified"), SVNStatusKind::unknown);
    EXPECT_EQ(svnStatusKindFromRawSVN(u""), SVNStatusKind::unknown);
    EXPECT_EQ(svnStatusKindFromRawSVN(u"modified"), SVNStatusKind::modified);
    EXPECT_FALSE(svnStatusKindFromRaw(u"Modified"));
}

TEST(WorkingCopyItem, StatusLabelRules)
{
    WorkingCopyItem item{"a.txt", SVNStatusKind::modified, SVNStatusKind::none, {}, {}, true};
    EXPECT_EQ(item.statusLabel(), "Tree Conflict");
    item.treeConflict = false;
    EXPECT_EQ(item.statusLabel(), "Modified");
    item.propertiesKind = SVNStatusKind::normal;
    EXPECT_EQ(item.statusLabel(), "Modified");
    item.propertiesKind = SVNStatusKind::modified;
    EXPECT_EQ(item.statusLabel(), "Modified, Props M");
    item.kind = SVNStatusKind::normal;
    EXPECT_TRUE(item.isTickedByDefault()) << "changed properties are ticked like changed content";
    item.propertiesKind = SVNStatusKind::conflicted;
    EXPECT_EQ(item.statusLabel(), "Normal, Props C");
    EXPECT_TRUE(item.isTickedByDefault());
    item.propertiesKind = SVNStatusKind::normal;
    EXPECT_FALSE(item.isTickedByDefault());

    WorkingCopyItem other = item;
    other.revision = QStringLiteral("3");
    EXPECT_NE(other, item);
    EXPECT_EQ(other.id(), item.id());
}

TEST(LogEntry, SummaryAndDisplayRevision)
{
    LogEntry entry;
    entry.revision = 7;
    entry.message = " \n\t ";
    EXPECT_EQ(entry.summary(), "(no message)");
    entry.message = "\nfirst line\nsecond line\n";
    EXPECT_EQ(entry.summary(), "first line\nsecond line");
    EXPECT_EQ(entry.displayRevision(), "r7");
    entry.commitHash = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
    EXPECT_EQ(entry.displayRevision(), "0123456");
    entry.commitHash = QStringLiteral("abcde");
    EXPECT_EQ(entry.displayRevision(), "abcde");
    entry.commitHash = QString();
    EXPECT_EQ(entry.displayRevision(), "");
}

TEST(PathChange, IdentityAndFileChange)
{
    SVNPathChange change{"M", "/trunk/a.txt", {}};
    EXPECT_EQ(change.id(), "M:/trunk/a.txt");
    EXPECT_TRUE(change.isFileChange());
    change.kind = QStringLiteral("file");
    EXPECT_TRUE(change.isFileChange());
    change.kind = QStringLiteral("Dir");
    EXPECT_TRUE(change.isFileChange());
    change.kind = QStringLiteral("dir");
    EXPECT_FALSE(change.isFileChange());
    SVNPathChange file{"M", "/trunk/a.txt", QStringLiteral("file")};
    EXPECT_EQ(file.id(), change.id());
    EXPECT_NE(file, change);
}

TEST(HistoryRecords, LatestRevisionAndInfoEquality)
{
    FileHistoryItem item{"a", {}};
    EXPECT_FALSE(item.latestRevision());
    item.revisions.push_back(FileHistoryRevision{{5, {}, "me", {}, "m", {}}, "M"});
    item.revisions.push_back(FileHistoryRevision{{3, {}, "me", {}, "m", {}}, "A"});
    ASSERT_TRUE(item.latestRevision());
    EXPECT_EQ(item.latestRevision()->revision, 5);

    RepositoryInfo empty;
    EXPECT_EQ(empty, RepositoryInfo());
    RepositoryInfo withRevision;
    withRevision.revision = QStringLiteral("5");
    EXPECT_NE(withRevision, empty);

    RepositoryInfo a, b;
    a.lastChangedDate = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    b.lastChangedDate = QDateTime(QDate(2024, 1, 2), QTime(4, 4, 5), QTimeZone(3600));
    EXPECT_EQ(a, b);
}

TEST(DiffRecords, DisplayPathAndCounts)
{
    DiffFile file{0, "a.txt", "/dev/null", {}};
    EXPECT_EQ(file.displayPath(), "a.txt");
    file.oldPath.clear();
    file.newPath.clear();
    EXPECT_EQ(file.displayPath(), "Diff");
    file.oldPath = "/dev/null";
    EXPECT_EQ(file.displayPath(), "/dev/null");
    file.newPath = "b.txt";
    EXPECT_EQ(file.displayPath(), "b.txt");
    EXPECT_EQ(file.additions(), 0);
    EXPECT_EQ(file.deletions(), 0);

    DiffHunk hunk{0, "@@ -1 +1 @@", {}};
    const DiffLineKind kinds[] = {DiffLineKind::addition, DiffLineKind::addition, DiffLineKind::addition,
        DiffLineKind::deletion, DiffLineKind::context, DiffLineKind::context, DiffLineKind::note};
    qint64 id = 0;
    for (DiffLineKind kind : kinds)
        hunk.lines.push_back(DiffLine{id++, {}, {}, kind, "", ""});
    file.hunks.push_back(hunk);
    EXPECT_EQ(file.additions(), 3);
    EXPECT_EQ(file.deletions(), 1);
}

TEST(OutputRecords, FreshIdentities)
{
    CommandOutput a;
    CommandOutput b;
    EXPECT_NE(a.id, b.id);
    AppAlert x;
    AppAlert y;
    EXPECT_NE(x.id, y.id);
}
