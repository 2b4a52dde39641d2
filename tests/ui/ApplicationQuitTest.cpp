// The application itself, started as a user starts it from a terminal, quit while a tool runs.
#include "support/FakeClients.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

using namespace TestSupport;

TEST(ApplicationQuit, InterruptWhileAToolRunsEndsTheTool)
{
    Sandbox sandbox;
    const SvnFixture svn = SvnFixture::create(sandbox.path());
    // svn itself, but "status" writes its process id and then takes its time.
    const QString pidFile = sandbox.filePath("status.pid");
    const QString wrapper = sandbox.filePath("bin/svn");
    writeFile(wrapper,
        "#!/bin/sh\nif [ \"$1\" = status ]; then echo $$ > '" + QFile::encodeName(pidFile)
            + "'; exec sleep 30; fi\nexec " + QFile::encodeName(*ToolRunner::findExecutable("svn")) + " \"$@\"\n");
    QFile::setPermissions(wrapper, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    {
        QSettings settings(sandbox.filePath(".home/.config/KorvelSVN/KorvelSVN.ini"), QSettings::IniFormat);
        ProjectStore(&settings).save({Project{QUuid::createUuid(), "wc", svn.workingCopy, RepositoryKind::svn}});
        settings.setValue("KorvelSVN.svnExecutablePath", wrapper);
    }

    QProcess application;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("XDG_CONFIG_HOME");
    application.setProcessEnvironment(environment);
    application.start(QStringLiteral(KORVEL_APPLICATION_PATH), QStringList());
    ASSERT_TRUE(application.waitForStarted(10000));
    ASSERT_TRUE(waitFor([&] { return !readFile(pidFile).trimmed().isEmpty(); })) << application.readAll().toStdString();
    const pid_t tool = readFile(pidFile).trimmed().toInt();
    ASSERT_GT(tool, 0);

    // Ctrl+C in the terminal the application was started from.
    ::kill(static_cast<pid_t>(application.processId()), SIGINT);
    EXPECT_TRUE(application.waitForFinished(10000));
    EXPECT_EQ(application.exitStatus(), QProcess::NormalExit);
    const bool toolRunning = ::kill(tool, 0) == 0 || errno != ESRCH;
    EXPECT_FALSE(toolRunning);
    if (toolRunning)
        ::kill(tool, SIGKILL);
    if (application.state() != QProcess::NotRunning)
        application.kill();
}
