#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>

namespace TestSupport {

namespace {

void startTool(QProcess &process, const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
}

} // namespace

QByteArray runTool(const QString &program, const QStringList &arguments, const QString &workingDirectory, int *status)
{
    QProcess process;
    startTool(process, program, arguments, workingDirectory);
    process.waitForFinished(-1);
    const QByteArray output = process.readAllStandardOutput();
    const QByteArray error = process.readAllStandardError();
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (status) {
        *status = exitCode;
    } else {
        EXPECT_EQ(exitCode, 0) << program.toStdString() << " " << arguments.join(u' ').toStdString() << ": "
                               << error.toStdString();
    }
    return output;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(folder).relativeFilePath(it.next());
        if (!path.startsWith(".svn/") && !path.startsWith(".git/"))
            files.insert(path, readFile(it.filePath()));
    }
    return files;
}

void printfFile(const QString &folder, const QString &printfName, const QString &contents)
{
    runTool(QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("printf '%s' \"$2\" > \"$(printf \"$1\")\""), QStringLiteral("sh"),
            printfName, contents},
        folder);
}

QByteArray printfRead(const QString &folder, const QString &printfName)
{
    return runTool(QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("cat \"$(printf \"$1\")\""), QStringLiteral("sh"), printfName}, folder);
}

void forgetCallingRepository()
{
    for (const char *name :
        {"GIT_DIR", "GIT_WORK_TREE", "GIT_INDEX_FILE", "GIT_OBJECT_DIRECTORY", "GIT_ALTERNATE_OBJECT_DIRECTORIES",
            "GIT_COMMON_DIR", "GIT_NAMESPACE", "GIT_PREFIX", "GIT_CONFIG_PARAMETERS", "GIT_CONFIG_COUNT"})
        qunsetenv(name);
}

Sandbox::Sandbox()
{
    m_oldHome = qgetenv("HOME");
    const QString home = m_dir.filePath(QStringLiteral(".home"));
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
}

Sandbox::~Sandbox()
{
    qputenv("HOME", m_oldHome);
    // Qt cannot reach a name that is not UTF-8 to remove it.
    if (!m_dir.remove()) {
        int status = 0;
        runTool(QStringLiteral("rm"), {QStringLiteral("-rf"), QStringLiteral("--"), m_dir.path()}, QString(), &status);
    }
}

QString Sandbox::filePath(const QString &relative) const
{
    return m_dir.filePath(relative);
}

SvnFixture SvnFixture::create(const QString &base, const QString &wcName)
{
    SvnFixture fixture;
    QDir().mkpath(base);
    fixture.repositoryPath = QDir(base).filePath(QStringLiteral("repo"));
    fixture.repositoryUrl = QUrl::fromLocalFile(fixture.repositoryPath).toString(QUrl::FullyEncoded);
    fixture.workingCopy = QDir(base).filePath(wcName);
    if (!QFileInfo::exists(fixture.repositoryPath))
        runTool(QStringLiteral("svnadmin"), {QStringLiteral("create"), fixture.repositoryPath});
    runTool(QStringLiteral("svn"),
        {QStringLiteral("checkout"), QStringLiteral("-q"), fixture.repositoryUrl, fixture.workingCopy});
    return fixture;
}

void SvnFixture::commitAll(const QString &message) const
{
    runTool(QStringLiteral("svn"),
        {QStringLiteral("add"), QStringLiteral("-q"), QStringLiteral("--force"), QStringLiteral(".")}, workingCopy);
    runTool(QStringLiteral("svn"), {QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message},
        workingCopy);
    runTool(QStringLiteral("svn"), {QStringLiteral("update"), QStringLiteral("-q")}, workingCopy);
}

QByteArray SvnFixture::svn(const QStringList &arguments, int *status) const
{
    return runTool(QStringLiteral("svn"), arguments, workingCopy, status);
}

void SvnFixture::updateIntoConflicts(const QStringList &textConflicts, const QStringList &propertyConflicts) const
{
    const QString url
        = QString::fromUtf8(svn({QStringLiteral("info"), QStringLiteral("--show-item"), QStringLiteral("url")}))
              .trimmed();
    const QString other = workingCopy + QStringLiteral("-theirs");
    runTool(QStringLiteral("svn"), {QStringLiteral("checkout"), QStringLiteral("-q"), url, other});
    for (const QString &path : textConflicts) {
        writeFile(other + u'/' + path, "theirs\n");
        writeFile(workingCopy + u'/' + path, "mine\n");
    }
    for (const QString &path : propertyConflicts) {
        runTool(QStringLiteral("svn"),
            {QStringLiteral("propset"), QStringLiteral("-q"), QStringLiteral("note"), QStringLiteral("theirs"), path},
            other);
        svn({QStringLiteral("propset"), QStringLiteral("-q"), QStringLiteral("note"), QStringLiteral("mine"), path});
    }
    runTool(QStringLiteral("svn"),
        {QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("theirs")}, other);
    svn({QStringLiteral("update"), QStringLiteral("-q"), QStringLiteral("--accept"), QStringLiteral("postpone")});
}

QString SvnFixture::checkoutNewFolder(const QString &folder, const QString &destination) const
{
    svn({QStringLiteral("mkdir"), QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("folder"),
        repositoryUrl + u'/' + folder});
    runTool(QStringLiteral("svn"),
        {QStringLiteral("checkout"), QStringLiteral("-q"), repositoryUrl + u'/' + folder, destination});
    return destination;
}

void SvnFixture::interruptUpdate() const
{
    QProcess update;
    startTool(update, QStringLiteral("svn"), {QStringLiteral("update")}, workingCopy);
    ASSERT_TRUE(update.waitForStarted(-1));
    QByteArray printed;
    while (!printed.contains("\nA ") && update.state() == QProcess::Running) {
        update.waitForReadyRead(100);
        printed += update.readAllStandardOutput();
    }
    ::kill(pid_t(update.processId()), SIGKILL);
    update.waitForFinished(-1);
    ASSERT_EQ(update.exitStatus(), QProcess::CrashExit) << "the update ended before it was killed";
    svn({QStringLiteral("cleanup")});
}

GitFixture GitFixture::create(const QString &base, const QString &name)
{
    GitFixture fixture;
    fixture.path = QDir(base).filePath(name);
    QDir().mkpath(fixture.path);
    runTool(QStringLiteral("git"),
        {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("main"), fixture.path});
    fixture.git({QStringLiteral("config"), QStringLiteral("user.name"), QStringLiteral("Test User")});
    fixture.git({QStringLiteral("config"), QStringLiteral("user.email"), QStringLiteral("test@example.com")});
    return fixture;
}

void GitFixture::commitAll(const QString &message) const
{
    git({QStringLiteral("add"), QStringLiteral("-A")});
    git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message});
}

QByteArray GitFixture::git(const QStringList &arguments, int *status) const
{
    return runTool(QStringLiteral("git"), arguments, path, status);
}

} // namespace TestSupport
