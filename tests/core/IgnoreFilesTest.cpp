#include "state/IgnoreFiles.h"
#include "support/IgnoreReference.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using TestSupport::writeFile;

using IgnoreReference::patternsOf;

class IgnoreLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.filePath("project");
        ASSERT_TRUE(QDir().mkpath(m_root));
    }

    QString root() const { return m_root; }
    void write(const QString &relative, const QByteArray &bytes) const { writeFile(m_root + u'/' + relative, bytes); }
    void makeFolder(const QString &relative) const { ASSERT_TRUE(QDir().mkpath(m_root + u'/' + relative)); }
    QStringList load(const QStringList &candidates) const { return patternsOf(IgnoreFiles::load(m_root, candidates)); }

    QTemporaryDir m_dir;
    QString m_root;
};

TEST_F(IgnoreLoading, ReadsTheProjectFolderAndTheFoldersAboveReportedPaths)
{
    write(".gitignore", "root-git\n");
    write(".korvelignore", "root-korvel\n");
    write("a/.gitignore", "a\n");
    write("a/b/.korvelignore", "ab-korvel\n");
    write("a/b/.gitignore", "ab-git\n");
    write("a/b/c.txt", "");
    write("a/b/d/.gitignore", "abd\n");
    write("a/b/d/e/.gitignore", "never-read\n");
    write("other/.gitignore", "other\n");
    write("build/.gitignore", "build\n");

    EXPECT_EQ(load({}), QStringList({"root-git", "root-korvel"}));
    EXPECT_EQ(load({"a/b/c.txt"}), QStringList({"root-git", "root-korvel", "a:a", "a/b:ab-git", "a/b:ab-korvel"}));
    EXPECT_EQ(load({"./a//b/d/", "a/b/c.txt"}),
        QStringList({"root-git", "root-korvel", "a:a", "a/b:ab-git", "a/b:ab-korvel", "a/b/d:abd"}));
    // Git reports an untracked folder with a trailing "/"; a file holds no ignore file to read.
    EXPECT_EQ(load({"build/", "a/b/c.txt/"}),
        QStringList({"root-git", "root-korvel", "a:a", "build:build", "a/b:ab-git", "a/b:ab-korvel"}));
    // Folders met again are read once.
    EXPECT_EQ(load({"a/x", "a/y", "a", "a/"}), QStringList({"root-git", "root-korvel", "a:a"}));
    EXPECT_EQ(load({".", "", "/", "missing/deeper/file"}), QStringList({"root-git", "root-korvel"}));
}

TEST_F(IgnoreLoading, ReadsShallowFoldersFirstThenInLocalizedOrder)
{
    for (const char *name : {"B", "a10", "a9", "a", "a9/z"})
        write(QString(name) + "/.gitignore", QByteArray(name) + "-rule\n");
    EXPECT_EQ(load({"a9/z/f", "B/f", "a10/f", "a/f"}),
        QStringList({"a:a-rule", "a9:a9-rule", "a10:a10-rule", "B:B-rule", "a9/z:a9/z-rule"}));
}

TEST_F(IgnoreLoading, SameRulesInAnyOrderOfCandidatesAndAsksOnlyAboutPossibleFolders)
{
    for (const char *name : {"a", "a/b", "a/b/c", "x", "d"})
        write(QString(name) + "/.gitignore", QByteArray(name).replace('/', '-') + "\n");
    const QStringList sorted{"a/b/c/f1", "a/b/c/f2", "a/b/g", "a/h", "d", "x/../a/b/f", "x/y"};
    QStringList shuffled{"x/y", "a/b/g", "a/b/c/f2", "d", "x/../a/b/f", "a/h", "a/b/c/f1"};
    const QStringList expected = load(sorted);
    EXPECT_EQ(expected, QStringList({"a:a", "d:d", "x:x", "a/b:a-b", "a/b/c:a-b-c"}));
    EXPECT_EQ(load(shuffled), expected);
    std::reverse(shuffled.begin(), shuffled.end());
    EXPECT_EQ(load(shuffled), expected);

    // The answers may be asked for from several threads at once.
    QMutex askedLock;
    QStringList asked;
    const IgnoreRules rules = IgnoreFiles::load(root(), sorted, [&](qsizetype index) {
        const QMutexLocker locked(&askedLock);
        asked.push_back(sorted[index]);
        return sorted[index] == u"d";
    });
    EXPECT_EQ(patternsOf(rules), expected);
    asked.sort();
    EXPECT_EQ(asked, QStringList({"a/b/c/f1", "a/b/c/f2", "a/b/g", "a/h", "d", "x/y"}))
        << "folders above other candidates and paths leading out through \"..\" are never asked about";
}

TEST_F(IgnoreLoading, ReadsLineEndingsAndSkipsWhatIsNoUtf8Text)
{
    write("lf/.gitignore", "# comment\n*.o\n\n!keep.o\nbuild/  \n");
    write("crlf/.gitignore", "# comment\r\n*.o\r\n\r\n!keep.o\r\nbuild/  \r\n");
    const IgnoreRules lf = IgnoreFiles::load(root(), {"lf/x"});
    const IgnoreRules crlf = IgnoreFiles::load(root(), {"crlf/x"});
    ASSERT_EQ(lf.rules().size(), 3);
    ASSERT_EQ(crlf.rules().size(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        EXPECT_EQ(crlf.rules()[i].pattern, lf.rules()[i].pattern);
        EXPECT_EQ(crlf.rules()[i].isNegated, lf.rules()[i].isNegated);
        EXPECT_EQ(crlf.rules()[i].directoryOnly, lf.rules()[i].directoryOnly);
    }

    write("bad/.gitignore", "valid-looking\n\xff\xfe broken\n");
    write("bad/.korvelignore", "\xef\xbb\xbfstill-read\n");
    EXPECT_EQ(load({"bad/f"}), QStringList({"bad:still-read"}));

    // An entry named like an ignore file that is a folder is no file to read.
    makeFolder(".gitignore");
    write(".gitignore/inner", "x\n");
    write(".korvelignore", "*.tmp");
    EXPECT_EQ(load({}), QStringList({"*.tmp"}));
    EXPECT_TRUE(IgnoreFiles::load(root(), {}).ignores("a.tmp", false));
}

TEST_F(IgnoreLoading, NeverReadsOutsideTheProjectThroughDotDot)
{
    writeFile(m_dir.filePath("outside/.gitignore"), "outside\n");
    writeFile(m_dir.filePath("outside/sub/.gitignore"), "outside-sub\n");
    write("a/.gitignore", "a\n");
    EXPECT_EQ(load({"../outside/sub/f", "../outside", "a/../../outside/sub", ".."}), QStringList({"a:a"}));
    // A project folder given with ".." is standardized first.
    EXPECT_EQ(patternsOf(IgnoreFiles::load(root() + "/a/..", {"a/f"})), QStringList({"a:a"}));
}

TEST_F(IgnoreLoading, FollowsLinksToOutsideFoldersOnlyForAReportedPathItself)
{
    writeFile(m_dir.filePath("outside/.gitignore"), "outside\n");
    writeFile(m_dir.filePath("outside/sub/.gitignore"), "outside-sub\n");
    ASSERT_TRUE(QFile::link(m_dir.filePath("outside"), m_root + "/link"));
    write("real/.gitignore", "real\n");
    ASSERT_TRUE(QFile::link(m_root + "/real", m_root + "/alias"));

    EXPECT_EQ(load({"link/sub/f"}), QStringList());
    EXPECT_EQ(load({"link/sub"}), QStringList());
    EXPECT_EQ(load({"link"}), QStringList({"link:outside"}));
    EXPECT_EQ(load({"link", "link/sub/f"}), QStringList({"link:outside"}));
    EXPECT_EQ(load({"alias/f"}), QStringList({"alias:real"}));

    // A project folder reached through a link is the project, not outside it.
    const QString linkedRoot = m_dir.filePath("linked-project");
    ASSERT_TRUE(QFile::link(m_root, linkedRoot));
    EXPECT_EQ(
        patternsOf(IgnoreFiles::load(linkedRoot, {"alias/f", "real/f"})), QStringList({"alias:real", "real:real"}));
}
