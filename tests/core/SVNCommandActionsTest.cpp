// The free-form svn command and its argument splitter, svn version and help, and the choice of the
// svn executable steering both svn and svnadmin.
#include "state/ArgumentLine.h"
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QString parseError(const QString &line)
{
    try {
        parseArgumentLine(line);
    } catch (const std::exception &error) {
        return errorDescription(error);
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(ArgumentLine, SplitsLikeAShellWithBackslashesEscapingEverywhere)
{
    const QList<std::pair<QString, QStringList>> table = {
        {"status -v", {"status", "-v"}},
        {"log -m \"two words\"", {"log", "-m", "two words"}},
        {"a\"b c\"d", {"ab cd"}},
        {"a\\ b", {"a b"}},
        {"'it\\'s'", {"it's"}},
        {"\"it's\" 'say \"hi\"'", {"it's", "say \"hi\""}},
        {"\"a\\\"b\"", {"a\"b"}},
        {"\\\"quoted\\\"", {"\"quoted\""}},
        {"\\\\", {"\\"}},
        {"ls x\\", {"ls", "x\\"}},
        {"ls \\", {"ls", "\\"}},
        {"a\tb\nc  \t d", {"a", "b", "c", "d"}},
        {"a\\\nb", {"a\nb"}},
        {"", {}},
        {"  \t\n ", {}},
        // A quoted empty text is an argument of its own.
        {"\"\"", {""}},
        {"commit -m \"\"", {"commit", "-m", ""}},
        {"delete -m \"\" URL1 URL2", {"delete", "-m", "", "URL1", "URL2"}},
        {"propset svn:eol-style '' f", {"propset", "svn:eol-style", "", "f"}},
        {"x\"\"y", {"xy"}},
        // "\r\n" is one character and no separator; "\r" alone is no separator either.
        {"a\r\nb", {"a\r\nb"}},
        {"a\rb", {"a\rb"}},
        {"\\\r\n", {"\r\n"}},
        // Whole user-perceived characters: a quote carrying a combining mark is no quote.
        {QString::fromUtf8("\"\u0301x y"), {QString::fromUtf8("\"\u0301x"), "y"}},
        {QString::fromUtf8("caf\u00e9 e\u0301t\u00e9 \U0001F600"),
            {QString::fromUtf8("caf\u00e9"), QString::fromUtf8("e\u0301t\u00e9"), QString::fromUtf8("\U0001F600")}},
        {QString::fromUtf8("'\u65e5\u672c \u8a9e'"), {QString::fromUtf8("\u65e5\u672c \u8a9e")}},
    };
    for (const auto &[line, words] : table) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(parseArgumentLine(line), words);
    }
}

TEST(ArgumentLine, AnUnclosedQuoteNamesItsCharacter)
{
    EXPECT_EQ(parseError("log -m \"unterminated"), "Missing closing \" quote.");
    EXPECT_EQ(parseError("it's"), "Missing closing ' quote.");
    EXPECT_EQ(parseError("\"a\\\""), "Missing closing \" quote.");
    EXPECT_EQ(parseError("'a\"b"), "Missing closing ' quote.");
    EXPECT_EQ(parseError("'a' \"b\""), "(no error)");
}

namespace {

struct CommandFixture : FakeStateFixture {
    void runLine(const QString &line)
    {
        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(QStringList{line});
        state->runCustomSVNCommand();
        ASSERT_TRUE(waitUntilIdle(*state));
    }
};

} // namespace

TEST_F(CommandFixture, CustomCommandRunsWithoutAProjectUnderItsSubcommandsTitle)
{
    makeState({});
    fakes.svn->responder = [](const FakeCall &) { return okResult("?       x\n"); };
    runLine("  status -v ");
    ASSERT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].title, "Run svn Command");
    ASSERT_EQ(dialogs.prompts[0].fields.size(), 1);
    EXPECT_EQ(dialogs.prompts[0].fields[0].key, "arguments");
    EXPECT_EQ(dialogs.prompts[0].fields[0].label, "Arguments");
    EXPECT_EQ(dialogs.prompts[0].fields[0].value, "status");
    ASSERT_EQ(fakes.svn->calls.size(), 1);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"status", "-v"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "");
    ASSERT_TRUE(state->commandOutput());
    EXPECT_EQ(state->commandOutput()->title, "svn status");
    EXPECT_EQ(state->commandOutput()->stdout, "?       x\n");
    EXPECT_FALSE(state->busyMessage());

    runLine("commit -m \"\"");
    EXPECT_EQ(fakes.svn->argumentLists().value(1), QStringList({"commit", "-m", ""}));

    fakes.svn->responder = [](const FakeCall &) { return failedResult(1, "svn: E205000: Unknown subcommand\n"); };
    runLine("bogus");
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "svn bogus Failed");
    EXPECT_EQ(state->commandOutput()->title, "svn bogus Failed");
}

TEST_F(CommandFixture, CustomCommandAlertsForUnparsableOrEmptyLinesAndRunsNothing)
{
    makeState({svnProject});
    runLine("log -m 'oops");
    ASSERT_TRUE(state->alert());
    EXPECT_EQ(state->alert()->title, "Could Not Parse Arguments");
    EXPECT_EQ(state->alert()->message, "Missing closing ' quote.");
    runLine("cat \"a");
    EXPECT_EQ(state->alert()->message, "Missing closing \" quote.");

    for (const QString &line : {QStringLiteral("\"\""), QStringLiteral("'' \"\"")}) {
        runLine(line);
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "No Arguments");
        EXPECT_EQ(state->alert()->message, "Enter svn arguments to run.");
    }

    // Cancelled or blank: nothing at all.
    runLine("   ");
    state->runCustomSVNCommand();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_FALSE(state->alert());
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
}

TEST_F(CommandFixture, FolderOfHelpAndCustomCommandIsReadWhenTheTaskRuns)
{
    makeState({svnProject, gitProject});
    state->setSelectedProjectID(svnProject.id);
    dialogs.promptAnswers.push_back(QStringList{"info"});
    state->runCustomSVNCommand();
    state->showSVNHelp();
    state->showSVNVersion();
    // Chosen before the tasks run: they take the Git project's folder.
    state->setSelectedProjectID(gitProject.id);
    ASSERT_TRUE(waitUntilIdle(*state));
    ASSERT_EQ(fakes.svn->calls.size(), 3);
    EXPECT_EQ(fakes.svn->calls[0].arguments, QStringList({"info"}));
    EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/beta");
    EXPECT_EQ(fakes.svn->calls[1].arguments, QStringList({"help"}));
    EXPECT_EQ(fakes.svn->calls[1].workingDirectory, "/work/beta");
    EXPECT_EQ(fakes.svn->calls[2].arguments, QStringList({"--version"}));
    EXPECT_EQ(fakes.svn->calls[2].workingDirectory, "");
    EXPECT_EQ(state->commandOutput()->title, "svn Version");
    EXPECT_FALSE(state->alert());

    state->setSelectedProjectID(std::nullopt);
    fakes.svn->responder = [](const FakeCall &) { return failedResult(2, ""); };
    state->showSVNHelp();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->calls.last().workingDirectory, "");
    EXPECT_EQ(state->alert()->title, "svn Help Failed");
    EXPECT_EQ(state->alert()->message, "Command exited with status 2.");
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST(SVNExecutable, TheChosenPathSteersSvnAndSvnadminUntilReset)
{
    Sandbox sandbox;
    const QString settingsPath = sandbox.filePath("settings.ini");
    QSettings settings(settingsPath, QSettings::IniFormat);
    const QString svnPath = sandbox.filePath("tools/bin/svn");
    const QString adminPath = sandbox.filePath("tools/bin/svnadmin");
    for (const QString &path : {svnPath, adminPath}) {
        writeFile(path, "#!/bin/sh\necho \"chosen $0 $*\"\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    }
    AppState state(&settings);
    ScriptedDialogs dialogs;
    state.setDialogs(&dialogs);

    state.setSVNExecutable(); // cancelled
    ASSERT_EQ(dialogs.openPanels.size(), 1);
    EXPECT_EQ(dialogs.openPanels[0].title, "Choose svn Executable");
    EXPECT_TRUE(dialogs.openPanels[0].canChooseFiles);
    EXPECT_FALSE(dialogs.openPanels[0].canChooseDirectories);
    EXPECT_FALSE(state.client().explicitExecutablePath());

    dialogs.openPanelAnswers.push_back(svnPath);
    state.setSVNExecutable();
    ASSERT_TRUE(waitUntilIdle(state));
    EXPECT_EQ(QSettings(settingsPath, QSettings::IniFormat).value("KorvelSVN.svnExecutablePath").toString(), svnPath);
    EXPECT_EQ(state.client().resolvedExecutablePath(), svnPath);
    EXPECT_EQ(state.adminClient().resolvedExecutablePath(), adminPath);
    EXPECT_FALSE(state.alert());
    EXPECT_FALSE(state.commandOutput());

    state.showSVNVersion();
    ASSERT_TRUE(waitUntilIdle(state));
    ASSERT_TRUE(state.commandOutput());
    EXPECT_EQ(state.commandOutput()->stdout, "chosen " + svnPath + " --version\n");

    state.resetSVNExecutable();
    ASSERT_TRUE(waitUntilIdle(state));
    EXPECT_FALSE(QSettings(settingsPath, QSettings::IniFormat).contains("KorvelSVN.svnExecutablePath"));
    EXPECT_NE(state.client().resolvedExecutablePath(), svnPath);
    EXPECT_NE(state.adminClient().resolvedExecutablePath(), adminPath);
    state.showSVNVersion();
    ASSERT_TRUE(waitUntilIdle(state));
    EXPECT_TRUE(state.commandOutput()->stdout.startsWith("svn, version "))
        << state.commandOutput()->stdout.toStdString();

    // A path that runs nothing is stored all the same and fails at the next run.
    dialogs.openPanelAnswers.push_back(sandbox.filePath("nothing/svn"));
    state.setSVNExecutable();
    ASSERT_TRUE(waitUntilIdle(state));
    state.setCommandOutput(std::nullopt);
    state.showSVNVersion();
    ASSERT_TRUE(waitUntilIdle(state));
    ASSERT_TRUE(state.alert());
    EXPECT_EQ(state.alert()->title, "svn Version Failed");
    EXPECT_TRUE(state.alert()->message.startsWith("Could not launch " + sandbox.filePath("nothing/svn")))
        << state.alert()->message.toStdString();
}
