// Every action and loader that takes a path or a typed value, run on real svn and git with names that
// look like options, peg revisions and globs, and with a value beginning with "-". Each step checks
// what the tool did to the working copy or the repository, never the argument list.
#include "support/RealActions.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace TestSupport;

namespace {

const QStringList names = {"-R", "--force", "a@2x.png", "x@1", "*.txt", "[x].c", "sp ace.txt", "é.txt"};
// What a misread name would hit instead: "x" at revision 1, files matching "*.txt" or "[x].c".
const QStringList decoys = {"x", "x.c", "other.txt"};
const QString optionValue = QStringLiteral("-F/etc/hostname");

QByteArray text(const QString &prefix, const QString &name)
{
    return (prefix + u' ' + name + u'\n').toUtf8();
}

struct Step {
    const char *action;
    std::function<void()> body;
};

struct AwkwardNames : RealActionsFixture {
    void forEachName(const std::function<void(const QString &name, int index)> &body)
    {
        for (int i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(names[i].toStdString());
            body(names[i], i);
        }
    }

    void runSteps(const QList<Step> &steps)
    {
        for (const Step &step : steps) {
            SCOPED_TRACE(step.action);
            step.body();
            if (HasFatalFailure())
                return;
        }
    }

    // A form action with the change `selected` highlighted and the form answered with `answers`.
    void form(const QString &selected, const QStringList &answers, void (AppState::*action)())
    {
        state->setSelectedChangeID(selected.isEmpty() ? std::nullopt : std::optional<QString>(selected));
        state->setCommandOutput(std::nullopt);
        dialogs.promptAnswers.push_back(answers);
        run([action](AppState &s) { (s.*action)(); });
    }

    // The same, ending in an alert of that title.
    QString refused(const QStringList &answers, void (AppState::*action)(), const QString &title)
    {
        state->setAlert(std::nullopt);
        state->setCommandOutput(std::nullopt);
        dialogs.promptAnswers.push_back(answers);
        (state.get()->*action)();
        EXPECT_TRUE(waitUntilIdle(*state));
        if (!state->alert()) {
            ADD_FAILURE() << "no alert";
            return QString();
        }
        EXPECT_EQ(state->alert()->title, title);
        return state->alert()->message;
    }

    // r1 holds every name and decoy, r2 changes "x", r3 every name; the names are changed locally.
    SvnFixture openSvnProject()
    {
        const SvnFixture svn = SvnFixture::create(sandbox.path());
        const QString wc = svn.workingCopy;
        for (const QString &name : names + decoys)
            writeFile(wc + "/" + name, text("r1", name));
        svn.commitAll("r1");
        writeFile(wc + "/x", text("r2", "x"));
        svn.commitAll("r2");
        for (const QString &name : names)
            writeFile(wc + "/" + name, text("r3", name));
        svn.commitAll("r3");
        for (const QString &name : names)
            writeFile(wc + "/" + name, text("local", name));
        open(wc, RepositoryKind::svn);
        return svn;
    }

    // The loaders as the lists start them when the user selects a row.
    void loadChangeDiff(const QString &name)
    {
        state->setSelectedChangeID(name);
        state->selectedChangeChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
    }
    void showHistory()
    {
        state->setSelectedChangeID(std::nullopt);
        state->setSelectedTab(WorkflowTab::history);
        state->tabChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
    }
    void loadHistoryDiff(const QString &name)
    {
        state->setSelectedHistoryPath(name);
        state->selectedHistoryPathChanged();
        ASSERT_TRUE(waitUntilIdle(*state));
    }

    // Export File of the highlighted `name`, saved under a plain name; the bytes written.
    QByteArray exportedFile(const QString &name, int index, const QString &revision)
    {
        const QString destination = sandbox.filePath("exported-" + QString::number(index));
        dialogs.savePanelAnswers.push_back(destination);
        form(name, {name, revision}, &AppState::exportFileAtRevision);
        return readFile(destination);
    }

    QString shown() const { return state->commandOutput() ? state->commandOutput()->stdout : QString(); }

    void tickAll(const QStringList &paths)
    {
        tick(paths);
        dialogs.confirmAnswers.push_back(true);
    }

    QStringList listedPaths() const
    {
        QStringList paths;
        for (const WorkingCopyItem &item : state->changes())
            paths.push_back(item.path);
        return paths;
    }
};

} // namespace

TEST_F(AwkwardNames, EverySvnReadingActionAndLoaderTakesTheNamesAndValuesAsGiven)
{
    const SvnFixture svn = openSvnProject();
    const QString wc = svn.workingCopy;
    const auto propertiesText = [&] { return QString::fromUtf8(svn.svn({"proplist", "-v", "-R", "."})); };

    runSteps({
        {"status",
            [&] {
                const QStringList listed = listedPaths();
                EXPECT_EQ(QSet<QString>(listed.begin(), listed.end()), QSet<QString>(names.begin(), names.end()));
            }},
        {"change diff",
            [&] {
                forEachName([&](const QString &name, int) {
                    loadChangeDiff(name);
                    EXPECT_EQ(state->diffText().count("Index: "), 1) << state->diffText().toStdString();
                    EXPECT_TRUE(state->diffText().contains(("Index: " + name + "\n").toUtf8()));
                    EXPECT_TRUE(state->diffText().contains(("-r3 " + name + "\n+local " + name).toUtf8()));
                });
            }},
        {"history diff",
            [&] {
                showHistory();
                forEachName([&](const QString &name, int) {
                    loadHistoryDiff(name);
                    EXPECT_EQ(state->selectedRevision(), 3);
                    EXPECT_TRUE(state->historyDiffText().contains(("-r1 " + name + "\n+r3 " + name).toUtf8()))
                        << state->historyDiffText().toStdString();
                });
                state->setSelectedHistoryPath(std::nullopt);
                state->setSelectedTab(WorkflowTab::changes);
            }},
        {"cat",
            [&] {
                forEachName([&](const QString &name, int) {
                    form(name, {name, "1"}, &AppState::catTarget);
                    EXPECT_EQ(shown(), text("r1", name));
                });
            }},
        {"blame",
            [&] {
                forEachName([&](const QString &name, int) {
                    form(name, {name}, &AppState::showBlame);
                    EXPECT_TRUE(shown().endsWith(text("local", name))) << shown().toStdString();
                    EXPECT_EQ(shown().count('\n'), 1);
                });
            }},
        {"diff against a revision",
            [&] {
                forEachName([&](const QString &name, int) {
                    form(name, {"1", name}, &AppState::showDiffAgainstRevision);
                    EXPECT_EQ(shown().count("Index: "), 1);
                    EXPECT_TRUE(shown().contains("-r1 " + name + "\n+local " + name)) << shown().toStdString();
                });
            }},
        {"export file",
            [&] {
                forEachName([&](const QString &name, int index) {
                    EXPECT_EQ(exportedFile(name, index, "1"), text("r1", name));
                });
            }},
        {"set, get, list and delete a property whose value begins with \"-\"",
            [&] {
                forEachName([&](const QString &name, int) {
                    const QString listed = "Properties on '" + name + "':\n  p\n    " + optionValue + "\n";
                    form(name, {"p", optionValue, name}, &AppState::setProperty);
                    EXPECT_TRUE(propertiesText().contains(listed)) << propertiesText().toStdString();
                    form(name, {"p", name}, &AppState::getProperty);
                    EXPECT_EQ(shown(), optionValue + "\n");
                    form(name, {name}, &AppState::listProperties);
                    EXPECT_TRUE(shown().contains("  p\n    " + optionValue)) << shown().toStdString();
                    form(name, {"p", name}, &AppState::deleteProperty);
                    EXPECT_FALSE(propertiesText().contains("'" + name + "'"));
                });
                for (const QString &value : {QStringLiteral("--help"), QStringLiteral("-1")}) {
                    form("", {"p", value, "other.txt"}, &AppState::setProperty);
                    EXPECT_TRUE(propertiesText().contains("Properties on 'other.txt':\n  p\n    " + value + "\n"));
                }
                svn.svn({"revert", "-q", "other.txt"});
                // A name beginning with "-" is svn's to refuse as a name, not an option.
                const QString message
                    = refused({"-p", "v", "other.txt"}, &AppState::setProperty, "Set Property Failed");
                EXPECT_TRUE(message.contains("is not a valid Subversion property name")) << message.toStdString();
            }},
        {"lock and unlock",
            [&] {
                tick(names);
                run([](AppState &s) { s.lockSelectedPaths(); });
                for (const QString &name : names)
                    EXPECT_EQ(svnStatus(svn).value(name), "M    K ") << name.toStdString();
                tick(names);
                run([](AppState &s) { s.unlockSelectedPaths(); });
                EXPECT_EQ(svnStatus(svn).value("x@1"), "M      ");
            }},
        {"changelist named \"-x\", then removed",
            [&] {
                tick(names);
                dialogs.promptAnswers.push_back(QStringList{"-x"});
                run([](AppState &s) { s.createChangelist(); });
                const QString status = QString::fromUtf8(svn.svn({"status"}));
                const QString listed = status.mid(status.indexOf("--- Changelist '-x':\n"));
                for (const QString &name : names)
                    EXPECT_TRUE(listed.contains("M       " + name + "\n")) << status.toStdString();
                tick(names);
                run([](AppState &s) { s.removeFromChangelist(); });
                EXPECT_FALSE(QString::fromUtf8(svn.svn({"status"})).contains("Changelist"));
            }},
        {"revert",
            [&] {
                tickAll(names);
                run([](AppState &s) { s.revertSelectedPaths(); });
                for (const QString &name : names)
                    EXPECT_EQ(readFile(wc + "/" + name), text("r3", name)) << name.toStdString();
                EXPECT_TRUE(svnStatus(svn).isEmpty());
            }},
        {"pull file",
            [&] {
                forEachName([&](const QString &name, int) {
                    form(name, {name, "1"}, &AppState::pullFileAtRevision);
                    EXPECT_EQ(readFile(wc + "/" + name), text("r1", name));
                });
                EXPECT_EQ(readFile(wc + "/x"), text("r2", "x"));
                run([](AppState &s) { s.updateWorkingCopy(); });
            }},
        {"resolve",
            [&] {
                const SvnFixture other = SvnFixture::create(sandbox.path(), "other");
                for (const QString &name : names)
                    writeFile(other.workingCopy + "/" + name, text("theirs", name));
                other.svn({"commit", "-q", "-m", "theirs"});
                for (const QString &name : names)
                    writeFile(wc + "/" + name, text("mine", name));
                svn.svn({"update", "-q", "--accept", "postpone"});
                refresh();
                tick(names);
                run([](AppState &s) { s.resolveSelectedPaths("mine-full"); });
                for (const QString &name : names) {
                    EXPECT_EQ(svnStatus(svn).value(name), "M      ") << name.toStdString();
                    EXPECT_EQ(readFile(wc + "/" + name), text("mine", name));
                }
                svn.svn({"revert", "-q", "-R", "."});
            }},
    });
}

TEST_F(AwkwardNames, EverySvnChangingActionTakesTheNamesAndValuesAsGiven)
{
    const SvnFixture svn = openSvnProject();
    const QString wc = svn.workingCopy;
    svn.svn({"revert", "-q", "-R", "."});
    refresh();

    runSteps({
        {"copy, move and make directory; commit with a message beginning with \"-\"",
            [&] {
                refresh();
                forEachName([&](const QString &name, int) {
                    form(name, {name, name + ".copy", ""}, &AppState::copyItem);
                    form(name, {name, name + ".moved", ""}, &AppState::moveItem);
                    form("", {name + ".d"}, &AppState::makeDirectoryInWorkingCopy);
                    const QMap<QString, QString> status = svnStatus(svn);
                    EXPECT_EQ(status.value(name + ".copy"), "A  +   ");
                    EXPECT_EQ(status.value(name), "D      ");
                    EXPECT_EQ(status.value(name + ".moved"), "A  +   ");
                    EXPECT_EQ(status.value(name + ".d"), "A      ");
                    EXPECT_EQ(readFile(wc + "/" + name + ".moved"), text("r3", name));
                    EXPECT_TRUE(QFileInfo(wc + "/" + name + ".d").isDir());
                });
                EXPECT_EQ(svnStatus(svn).value("x"), QString()) << "x itself untouched";
                commit(listedPaths(), "--help");
                EXPECT_TRUE(svnStatus(svn).isEmpty());
                EXPECT_TRUE(QString::fromUtf8(svn.svn({"log", "-l", "1", svn.repositoryUrl})).contains("\n--help\n"));
            }},
        {"add, commit, delete",
            [&] {
                for (const QString &name : names)
                    writeFile(wc + "/" + name, text("again", name));
                refresh();
                tick(names);
                run([](AppState &s) { s.addSelectedPaths(); });
                for (const QString &name : names)
                    EXPECT_EQ(svnStatus(svn).value(name), "A      ") << name.toStdString();
                commit(names, "again");
                tick(names);
                run([](AppState &s) { s.deleteSelectedPaths(); });
                for (const QString &name : names) {
                    EXPECT_EQ(svnStatus(svn).value(name), "D      ") << name.toStdString();
                    EXPECT_FALSE(QFileInfo::exists(wc + "/" + name));
                }
                svn.svn({"revert", "-q", "-R", "."});
            }},
        {"patch from a file with each name",
            [&] {
                forEachName([&](const QString &name, int index) {
                    const QString added = "patched-" + QString::number(index) + ".txt";
                    const QString patch = sandbox.filePath("patches/" + name);
                    writeFile(patch,
                        ("Index: " + added
                            + "\n===================================================================\n--- " + added
                            + "\t(nonexistent)\n+++ " + added + "\t(working copy)\n@@ -0,0 +1 @@\n+patched\n")
                            .toUtf8());
                    dialogs.openPanelAnswers.push_back(patch);
                    run([](AppState &s) { s.applyPatch(); });
                    EXPECT_EQ(readFile(wc + "/" + added), "patched\n");
                });
            }},
        {"export, import, create repository and remote directory",
            [&] {
                svn.svn({"mkdir", "-q", "-m", "remote", svn.repositoryUrl + "/remote"});
                const QString exports = sandbox.filePath("exports");
                QDir().mkpath(exports);
                QDir().mkpath(sandbox.filePath("repositories"));
                forEachName([&](const QString &name, int index) {
                    dialogs.promptAnswers.push_back(QStringList{svn.repositoryUrl});
                    dialogs.openPanelAnswers.push_back(exports);
                    dialogs.promptAnswers.push_back(QStringList{name});
                    run([](AppState &s) { s.exportRepository(); });
                    EXPECT_EQ(readFile(exports + "/" + name + "/x@1"), text("again", "x@1"));
                    EXPECT_FALSE(QFileInfo::exists(exports + "/" + name + "/.svn"));

                    const QString source = sandbox.filePath("imports/" + name);
                    writeFile(source + "/inside.txt", "imported\n");
                    const QString url = svn.repositoryUrl + "/imported-" + QString::number(index);
                    dialogs.openPanelAnswers.push_back(source);
                    form("", {url, "Import " + name}, &AppState::importDirectory);
                    EXPECT_EQ(svn.svn({"cat", url + "/inside.txt"}), "imported\n");

                    dialogs.savePanelAnswers.push_back(sandbox.filePath("repositories/" + name));
                    run([](AppState &s) { s.createSVNRepository(); });
                    EXPECT_TRUE(QFileInfo::exists(sandbox.filePath("repositories/" + name + "/format")));

                    form("", {svn.repositoryUrl + "/remote/" + name, "Create " + name}, &AppState::makeRemoteDirectory);
                });
                const QString listing = QString::fromUtf8(svn.svn({"list", svn.repositoryUrl + "/remote"}));
                for (const QString &name : names)
                    EXPECT_TRUE(listing.contains(name + "/\n")) << listing.toStdString();
            }},
        {"typed URLs and values beginning with \"-\"",
            [&] {
                const QString refusal = "A URL cannot begin with \"-\", because it would be read as an option.";
                EXPECT_EQ(refused({"-x"}, &AppState::checkoutRepository, "Invalid URL"), refusal);
                EXPECT_EQ(refused({"--help"}, &AppState::switchWorkingCopyURL, "Invalid URL"), refusal);
                EXPECT_EQ(
                    refused({svn.repositoryUrl, "-x"}, &AppState::relocateWorkingCopyURL, "Invalid URL"), refusal);
                EXPECT_EQ(refused({"-x", ""}, &AppState::merge, "Invalid URL"), refusal);
                EXPECT_FALSE(state->commandOutput()) << "nothing ran";
                // Elsewhere such a value reaches svn as an operand and svn says what is wrong with it.
                const QString listed = refused({"-x"}, &AppState::listTarget, "List Failed");
                EXPECT_TRUE(listed.contains("-x' was not found")) << listed.toStdString();
                const QString catted = refused({"--help", ""}, &AppState::catTarget, "Cat Failed");
                EXPECT_TRUE(catted.contains("--help' is not under version control")) << catted.toStdString();
                // The message stays an option ahead of the "--".
                const QString made
                    = refused({"-x", "Create"}, &AppState::makeRemoteDirectory, "Remote Directory Failed");
                EXPECT_TRUE(made.contains("non-commit operations do not take a log message")) << made.toStdString();
            }},
        {"checkout into a folder with each name",
            [&] {
                const QString parent = sandbox.filePath("checkouts");
                QDir().mkpath(parent);
                forEachName([&](const QString &name, int) {
                    dialogs.promptAnswers.push_back(QStringList{svn.repositoryUrl});
                    dialogs.openPanelAnswers.push_back(parent);
                    dialogs.promptAnswers.push_back(QStringList{name});
                    run([](AppState &s) { s.checkoutRepository(); });
                    EXPECT_EQ(readFile(parent + "/" + name + "/x@1"), text("again", "x@1"));
                    EXPECT_EQ(state->selectedProjectPath(), parent + "/" + name) << "added and selected";
                });
            }},
    });
}

TEST_F(AwkwardNames, EveryGitActionAndLoaderTakesTheNamesLiterallyWhateverTheUsersConfiguration)
{
    const GitFixture git = GitFixture::create(sandbox.path());
    for (const QString &name : names + decoys)
        writeFile(git.path + "/" + name, text("c1", name));
    git.commitAll("c1");
    for (const QString &name : names + decoys)
        writeFile(git.path + "/" + name, text("c2", name));
    git.commitAll("c2");
    for (const QString &name : names + decoys)
        writeFile(git.path + "/" + name, text("local", name));
    // A user's external diff tool and forced colours must not reach what the program reads.
    writeFile(sandbox.filePath("external-diff"), "#!/bin/sh\necho EXTERNAL \"$@\"\n");
    QFile::setPermissions(sandbox.filePath("external-diff"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    git.git({"config", "diff.external", sandbox.filePath("external-diff")});
    git.git({"config", "color.ui", "always"});
    open(git.path, RepositoryKind::git);
    const auto expectPlainDiffOf = [](const QString &diff, const QString &name, const QString &change) {
        EXPECT_EQ(diff.count("diff --git "), 1) << diff.toStdString();
        EXPECT_TRUE(diff.contains(change)) << diff.toStdString();
        EXPECT_TRUE(diff.contains("+++ b/" + name) || diff.contains("+++ \"b/")) << diff.toStdString();
        EXPECT_FALSE(diff.contains("EXTERNAL"));
        EXPECT_FALSE(diff.contains(QChar(0x1b)));
    };
    const auto decoysKeepTheirChanges = [&] {
        for (const QString &decoy : decoys)
            EXPECT_EQ(readFile(git.path + "/" + decoy), text("local", decoy)) << decoy.toStdString();
    };

    runSteps({
        {"status and info",
            [&] {
                for (const QString &name : names + decoys)
                    EXPECT_EQ(listedKind(name), SVNStatusKind::modified) << name.toStdString();
                EXPECT_EQ(state->repositoryInfo().lastChangedAuthor, "Test User");
            }},
        {"change diff",
            [&] {
                forEachName([&](const QString &name, int) {
                    loadChangeDiff(name);
                    expectPlainDiffOf(state->diffText(), name, "-c2 " + name + "\n+local " + name);
                });
            }},
        {"history and history diff",
            [&] {
                showHistory();
                ASSERT_EQ(state->logEntries().size(), 2);
                EXPECT_EQ(state->logEntries().first().paths.size(), names.size() + decoys.size());
                forEachName([&](const QString &name, int) {
                    loadHistoryDiff(name);
                    expectPlainDiffOf(state->historyDiffText(), name, "-c1 " + name + "\n+c2 " + name);
                });
                state->setSelectedHistoryPath(std::nullopt);
                state->setSelectedTab(WorkflowTab::changes);
            }},
        {"branch list",
            [&] {
                run([](AppState &s) { s.switchGitBranch(); });
                ASSERT_EQ(dialogs.branchRequests.size(), 1);
                ASSERT_EQ(dialogs.branchRequests[0].itemTitles.size(), 1);
                EXPECT_TRUE(dialogs.branchRequests[0].itemTitles[0].startsWith("main"));
                EXPECT_FALSE(dialogs.branchRequests[0].itemTitles[0].contains(QChar(0x1b)));
            }},
        {"diff against a revision, blame, cat and export file",
            [&] {
                forEachName([&](const QString &name, int index) {
                    form(name, {"HEAD", name}, &AppState::showDiffAgainstRevision);
                    expectPlainDiffOf(shown(), name, "-c1 " + name + "\n+c2 " + name);
                    form(name, {name}, &AppState::showBlame);
                    EXPECT_TRUE(shown().contains("local " + name)) << shown().toStdString();
                    EXPECT_EQ(shown().count('\n'), 1);
                    form(name, {name, "HEAD~1"}, &AppState::catTarget);
                    EXPECT_EQ(shown(), text("c1", name));
                    EXPECT_EQ(exportedFile(name, index, "HEAD~1"), text("c1", name));
                });
            }},
        {"pull file",
            [&] {
                forEachName([&](const QString &name, int) {
                    dialogs.confirmAnswers.push_back(true);
                    form(name, {name, "HEAD~1"}, &AppState::pullFileAtRevision);
                    EXPECT_EQ(readFile(git.path + "/" + name), text("c1", name));
                });
                decoysKeepTheirChanges();
            }},
        {"revert",
            [&] {
                tickAll(names);
                run([](AppState &s) { s.revertSelectedPaths(); });
                for (const QString &name : names)
                    EXPECT_EQ(readFile(git.path + "/" + name), text("c2", name)) << name.toStdString();
                decoysKeepTheirChanges();
                EXPECT_EQ(gitStatus(git).keys(), QStringList({"other.txt", "x", "x.c"}));
            }},
        {"delete",
            [&] {
                tick(names);
                run([](AppState &s) { s.deleteSelectedPaths(); });
                for (const QString &name : names) {
                    EXPECT_EQ(gitStatus(git).value(name), "D ") << name.toStdString();
                    EXPECT_FALSE(QFileInfo::exists(git.path + "/" + name));
                }
                EXPECT_EQ(git.git({"ls-files"}), "other.txt\nx\nx.c\n");
                decoysKeepTheirChanges();
                git.git({"commit", "-q", "-m", "deleted"});
            }},
        {"add and commit with a message beginning with \"-\"",
            [&] {
                for (const QString &name : names)
                    writeFile(git.path + "/" + name, text("new", name));
                refresh();
                tick(names);
                run([](AppState &s) { s.addSelectedPaths(); });
                for (const QString &name : names)
                    EXPECT_EQ(gitStatus(git).value(name), "A ") << name.toStdString();
                commit(names, "--help");
                EXPECT_EQ(git.git({"log", "-1", "--format=%B"}), "--help\n\n");
                EXPECT_EQ(gitStatus(git).keys(), QStringList({"other.txt", "x", "x.c"}));
                EXPECT_EQ(git.git({"show", "HEAD:*.txt"}), text("new", "*.txt"));
            }},
        {"clone into a folder with each name",
            [&] {
                const QString parent = sandbox.filePath("clones");
                QDir().mkpath(parent);
                forEachName([&](const QString &name, int) {
                    dialogs.promptAnswers.push_back(QStringList{git.path + "/.git"});
                    dialogs.openPanelAnswers.push_back(parent);
                    dialogs.promptAnswers.push_back(QStringList{name});
                    run([](AppState &s) { s.checkoutRepository(); });
                    EXPECT_EQ(readFile(parent + "/" + name + "/" + name), text("new", name));
                });
            }},
    });
}
