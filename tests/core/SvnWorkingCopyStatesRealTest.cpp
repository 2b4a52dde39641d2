// Subversion working copies in the states users meet after an ordinary update: the working copy's
// own folder changed. Each is made with svn itself, driven through the program, and
// checked with svn afterwards.
#include "support/RealActions.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

const WorkingCopyItem *listed(const AppState &state, const QString &path)
{
    for (const WorkingCopyItem &item : state.changes()) {
        if (item.path == path)
            return &item;
    }
    return nullptr;
}

QString lastLog(const SvnFixture &svn)
{
    return QString::fromUtf8(svn.svn({"log", "-v", "-l", "1", svn.repositoryUrl}));
}

} // namespace

TEST_F(RealActionsFixture, SvnRootPropertyChangeIsOneRowThatCommitsAndReverts)
{
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a.txt", "base\n");
    svn.commitAll();
    svn.svn({"propset", "-q", "svn:ignore", "*.o", "."});
    open(svn.workingCopy, RepositoryKind::svn);
    ASSERT_FALSE(state->changes().isEmpty());
    const WorkingCopyItem root = state->changes().first();
    EXPECT_EQ(root.path, ".");
    EXPECT_EQ(root.propertiesKind, SVNStatusKind::modified);
    EXPECT_EQ(displayPath(root.path, svn.workingCopy), ". (wc)");

    state->setSelectedChangeID(".");
    state->selectedChangeChanged();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(state->diffText().contains("svn:ignore")) << state->diffText().toStdString();

    commit({"."}, "Ignore object files");
    EXPECT_TRUE(svnStatus(svn).isEmpty());
    EXPECT_TRUE(lastLog(svn).contains("   M /\n")) << lastLog(svn).toStdString();
    EXPECT_TRUE(state->changes().isEmpty());

    // Changed again, then reverted from its highlighted row: the folder's own property alone goes back.
    svn.svn({"propset", "-q", "svn:ignore", "*.tmp", "."});
    writeFile(svn.workingCopy + "/a.txt", "changed\n");
    refresh();
    state->setSelectedChangeID(".");
    dialogs.confirmAnswers.push_back(true);
    run([](AppState &s) { s.revertSelectedPaths(); });
    EXPECT_EQ(svn.svn({"propget", "svn:ignore", "."}).trimmed(), "*.o");
    EXPECT_EQ(svnStatus(svn), (QMap<QString, QString>{{"a.txt", "M      "}}));
}
