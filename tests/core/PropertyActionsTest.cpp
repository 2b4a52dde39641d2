// The property commands: forms, argument lists and reloads over a fake svn, round trips on a real one.
#include "support/FakeClients.h"
#include "support/FakeStateFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

using Action = void (AppState::*)();

QStringList describe(const QList<PromptField> &fields)
{
    QStringList texts;
    for (const PromptField &field : fields)
        texts << field.key + u'|' + field.label + u'|' + field.value;
    return texts;
}

struct PropertyFixture : FakeStateFixture {
    void makeState(const QList<Project> &projects)
    {
        fakes = FakeClients();
        dialogs = ScriptedDialogs();
        FakeStateFixture::makeState(projects);
    }
};

} // namespace

TEST_F(PropertyFixture, EachCommandAsksAndRunsItsArguments)
{
    struct Row {
        Action action;
        QString title;
        QStringList fields;
        QStringList answers;
        QStringList arguments;
        bool refreshAfter;
    };
    const QList<Row> rows = {
        {&AppState::listProperties, "Properties", {"path|Path|src/a.c"}, {"src/a.c"}, {"proplist", "-v", "src/a.c"},
            false},
        {&AppState::getProperty, "Get Property", {"name|Name|", "path|Path|src/a.c"}, {" svn:mime-type ", "src/a.c"},
            {"propget", "svn:mime-type", "src/a.c"}, false},
        {&AppState::setProperty, "Set Property", {"name|Name|", "value|Value|", "path|Path|src/a.c"},
            {"review", " two words ", "src"}, {"propset", "review", "two words", "src"}, true},
        // An empty value is still one argument.
        {&AppState::setProperty, "Set Property", {"name|Name|", "value|Value|", "path|Path|src/a.c"},
            {"svn:eol-style", "  ", "src/a.c"}, {"propset", "svn:eol-style", "", "src/a.c"}, true},
        {&AppState::deleteProperty, "Delete Property", {"name|Name|", "path|Path|src/a.c"}, {"review", "src/a.c"},
            {"propdel", "review", "src/a.c"}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.arguments.join(u' ').toStdString());
        makeState({svnProject});
        state->setSelectedChangeID(QStringLiteral("src/a.c"));
        dialogs.promptAnswers.push_back(row.answers);
        (state.get()->*row.action)();
        ASSERT_TRUE(waitUntilIdle(*state));
        ASSERT_EQ(dialogs.prompts.size(), 1);
        EXPECT_EQ(dialogs.prompts[0].title, row.title);
        EXPECT_EQ(describe(dialogs.prompts[0].fields), row.fields);
        ASSERT_FALSE(fakes.svn->calls.isEmpty());
        EXPECT_EQ(fakes.svn->calls[0].arguments, row.arguments);
        EXPECT_EQ(fakes.svn->calls[0].workingDirectory, "/work/alpha");
        if (row.refreshAfter)
            EXPECT_EQ(fakes.svn->calls.value(1).arguments.value(0), "status");
        else
            EXPECT_EQ(fakes.svn->calls.size(), 1);
        ASSERT_TRUE(state->commandOutput());
        EXPECT_EQ(state->commandOutput()->title, row.title);
    }
}

TEST_F(PropertyFixture, PathDefaultsToTheSelectedChangeElseTheWorkingCopyNotTheHistoryPath)
{
    makeState({svnProject});
    state->setSelectedHistoryPath(QStringLiteral("old/file.c"));
    for (Action action :
        {&AppState::listProperties, &AppState::getProperty, &AppState::setProperty, &AppState::deleteProperty})
        (state.get()->*action)();
    ASSERT_EQ(dialogs.prompts.size(), 4);
    for (const auto &request : dialogs.prompts)
        EXPECT_EQ(request.fields.last().value, ".");
    EXPECT_FALSE(state->alert());
}

TEST_F(PropertyFixture, MissingNameOrPathRunsNothingAndAGitProjectIsRefusedAfterTheForm)
{
    makeState({svnProject});
    dialogs.promptAnswers
        = {QStringList{"", "src"}, QStringList{"", "v", "src"}, QStringList{"n", ""}, QStringList{" "}};
    state->getProperty();
    state->setProperty();
    state->deleteProperty();
    state->listProperties();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_FALSE(state->alert());

    makeState({gitProject});
    for (Action action :
        {&AppState::listProperties, &AppState::getProperty, &AppState::setProperty, &AppState::deleteProperty}) {
        state->setAlert(std::nullopt);
        dialogs.promptAnswers.push_back(QStringList{"name", "value", "."});
        (state.get()->*action)();
        ASSERT_TRUE(state->alert());
        EXPECT_EQ(state->alert()->title, "SVN Command Unavailable");
    }
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_TRUE(fakes.svn->calls.isEmpty());
    EXPECT_TRUE(fakes.git->calls.isEmpty());
}

TEST_F(PropertyFixture, SelectedAwkwardNamesAreProtectedTypedOnesAreNot)
{
    const QList<std::pair<QString, QStringList>> cases = {
        {"-R", {"propget", "review", "./-R"}},
        {"a@2x.png", {"propget", "review", "a@2x.png@"}},
    };
    for (const auto &[change, arguments] : cases) {
        makeState({svnProject});
        state->setSelectedChangeID(change);
        dialogs.promptAnswers.push_back(QStringList{"review", change});
        state->getProperty();
        ASSERT_TRUE(waitUntilIdle(*state));
        EXPECT_EQ(fakes.svn->argumentLists().value(0), arguments);
    }
    dialogs.promptAnswers.push_back(QStringList{"review", "b@HEAD"});
    state->getProperty();
    ASSERT_TRUE(waitUntilIdle(*state));
    EXPECT_EQ(fakes.svn->argumentLists().value(1), QStringList({"propget", "review", "b@HEAD"}));
}

TEST(RealProperties, SetGetListAndDeleteRoundTrip)
{
    Sandbox sandbox;
    QSettings settings(sandbox.filePath("settings.ini"), QSettings::IniFormat);
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    writeFile(svn.workingCopy + "/a@2x.png", "png\n");
    writeFile(svn.workingCopy + "/plain.txt", "text\n");
    svn.svn({"add", "-q", "a@2x.png@", "plain.txt"});
    svn.svn({"commit", "-q", "-m", "files"});
    ProjectStore(&settings).save({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
    AppState state(&settings);
    ScriptedDialogs dialogs;
    state.setDialogs(&dialogs);

    const auto run = [&](Action action, const QStringList &answers) {
        state.setCommandOutput(std::nullopt);
        dialogs.promptAnswers.push_back(answers);
        (state.*action)();
        EXPECT_TRUE(waitUntilIdle(state));
        EXPECT_FALSE(state.alert()) << state.alert()->message.toStdString();
        return state.commandOutput() ? state.commandOutput()->stdout : QStringLiteral("(none)");
    };

    state.setSelectedChangeID(QStringLiteral("a@2x.png"));
    run(&AppState::setProperty, {"review:state", "done and dusted", "a@2x.png"});
    EXPECT_EQ(svn.svn({"propget", "review:state", "a@2x.png@"}), "done and dusted\n");
    state.setSelectedChangeID(QStringLiteral("a@2x.png"));
    EXPECT_EQ(run(&AppState::getProperty, {"review:state", "a@2x.png"}), "done and dusted\n");
    const QString listing = run(&AppState::listProperties, {"a@2x.png"});
    EXPECT_TRUE(listing.contains("review:state\n    done and dusted")) << listing.toStdString();
    // The reload after the set lists the file with its properties modified.
    bool listed = false;
    for (const WorkingCopyItem &item : state.changes())
        listed = listed || (item.path == "a@2x.png" && item.propertiesKind == SVNStatusKind::modified);
    EXPECT_TRUE(listed);

    state.setSelectedChangeID(QStringLiteral("a@2x.png"));
    run(&AppState::deleteProperty, {"review:state", "a@2x.png"});
    EXPECT_EQ(svn.svn({"proplist", "a@2x.png@"}), "");

    // An empty value sets the property to the empty text.
    run(&AppState::setProperty, {"review:empty", "", "plain.txt"});
    int status = 0;
    EXPECT_EQ(svn.svn({"propget", "review:empty", "plain.txt"}, &status), "\n");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(svn.svn({"proplist", "plain.txt"}).contains("review:empty"));

    // A value far past what one argument may hold reaches svn whole, through a file.
    const QString piece = QString::fromUtf8("über 日本 -F \\ \"x\" ");
    const QString longValue = piece.repeated(1024 * 1024 / piece.toUtf8().size() + 1) + u'!';
    run(&AppState::setProperty, {"review:long", longValue, "plain.txt"});
    EXPECT_EQ(svn.svn({"propget", "review:long", "plain.txt"}), longValue.toUtf8() + "\n");
    EXPECT_TRUE(state.commandOutput()->commandLine.contains(" -F ")) << "the value went through a file";
}
