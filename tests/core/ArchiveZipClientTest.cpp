#include "support/TestSupport.h"
#include "tools/ToolClients.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QString listing(const QString &zip)
{
    return QString::fromUtf8(runTool("unzip", {"-Z1", zip}));
}

// The names as a reader that follows the zip format decodes them: as UTF-8 only where the entry's
// flag says so. Reading each entry checks its local header's name against the directory's.
QStringList namesAsReadElsewhere(const QString &zip)
{
    const QString script = "import sys, zipfile\n"
                           "archive = zipfile.ZipFile(sys.argv[1])\n"
                           "for entry in archive.infolist():\n"
                           "    archive.read(entry)\n"
                           "    sys.stdout.buffer.write(entry.filename.encode('utf-8') + b'\\n')\n";
    return QString::fromUtf8(runTool("python3", {"-c", script, zip})).split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(ArchiveZipClient, AnyNameTheFolderTakesAndUtf8NamesMarkedAsSuch)
{
    Sandbox sandbox;
    const QString source = sandbox.filePath(QString::fromUtf8("export/Prøject"));
    writeFile(source + QString::fromUtf8("/über 日本.txt"), "one\n");
    writeFile(source + "/plain.txt", "two\n");
    writeFile(source + QString::fromUtf8("/ñ/é.txt"), "three\n");
    // 255 bytes, the longest name the folder takes.
    const QString name = QString(251, u'n') + ".zip";
    const QString destination = sandbox.filePath("out/" + name);
    QDir().mkpath(sandbox.filePath("out"));

    ArchiveZipClient zip;
    runTask(zip.zipDirectoryKeepingParent(source, destination));
    QStringList names = namesAsReadElsewhere(destination);
    names.sort();
    const QStringList expected
        = {QString::fromUtf8("Prøject/"), QString::fromUtf8("Prøject/plain.txt"), QString::fromUtf8("Prøject/ñ/"),
            QString::fromUtf8("Prøject/ñ/é.txt"), QString::fromUtf8("Prøject/über 日本.txt")};
    EXPECT_EQ(names, expected);
    runTool("unzip", {"-tq", destination});
    EXPECT_EQ(runTool("unzip", {"-p", destination, QString::fromUtf8("Prøject/über 日本.txt")}), "one\n");
    EXPECT_EQ(QDir(sandbox.filePath("out")).entryList(QDir::Files | QDir::Hidden), QStringList({name}));
}

TEST(ArchiveZipClient, FolderIsTheTopLevelEntryAndLinksStayLinks)
{
    Sandbox sandbox;
    const QString source = sandbox.filePath("exports/My Export 'r12'");
    writeFile(source + "/a.txt", "alpha\n");
    writeFile(source + QString::fromUtf8("/sub/é.txt"), "beta\n");
    ASSERT_TRUE(QFile::link("/", source + "/root-link"));
    const QString destination = sandbox.filePath("out dir/it's.zip");
    QDir().mkpath(sandbox.filePath("out dir"));

    ArchiveZipClient zip;
    const SVNCommandResult result = runTask(zip.zipDirectoryKeepingParent(source, destination));
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.commandLine.contains("-r -y -q")) << result.commandLine.toStdString();
    EXPECT_TRUE(result.commandLine.contains("-- 'My Export '\\''r12'\\'''")) << result.commandLine.toStdString();

    const QString entries = listing(destination);
    EXPECT_TRUE(entries.contains("My Export 'r12'/a.txt\n")) << entries.toStdString();
    EXPECT_TRUE(entries.contains(QString::fromUtf8("My Export 'r12'/sub/é.txt\n"))) << entries.toStdString();
    EXPECT_TRUE(entries.contains("My Export 'r12'/root-link\n"));
    // The link is stored as a link, so the archive stays small instead of holding the whole disk.
    EXPECT_LT(QFileInfo(destination).size(), 4096);
    const QByteArray linkTarget = runTool("unzip", {"-p", destination, "My Export 'r12'/root-link"});
    EXPECT_EQ(linkTarget, "/");
    // No temporary file is left beside the archive.
    EXPECT_EQ(QDir(sandbox.filePath("out dir")).entryList(QDir::Files | QDir::Hidden), QStringList({"it's.zip"}));
}

TEST(ArchiveZipClient, OverwritesAnExistingArchiveInsteadOfAddingToIt)
{
    Sandbox sandbox;
    const QString destination = sandbox.filePath("r.zip");
    writeFile(sandbox.filePath("one/old.txt"), "old\n");
    writeFile(sandbox.filePath("two/new.txt"), "new\n");
    ArchiveZipClient zip;
    runTask(zip.zipDirectoryKeepingParent(sandbox.filePath("one"), destination));
    runTask(zip.zipDirectoryKeepingParent(sandbox.filePath("two"), destination));
    const QString entries = listing(destination);
    EXPECT_FALSE(entries.contains("old.txt")) << entries.toStdString();
    EXPECT_TRUE(entries.contains("two/new.txt"));
}

TEST(ArchiveZipClient, FailureLeavesTheDestinationAlone)
{
    Sandbox sandbox;
    const QString destination = sandbox.filePath("keep.zip");
    writeFile(destination, "previous");
    ArchiveZipClient zip;
    try {
        runTask(zip.zipDirectoryKeepingParent(sandbox.filePath("does-not-exist"), destination));
        FAIL();
    } catch (const SVNClientError &error) {
        EXPECT_TRUE(error.isCommandFailed());
        EXPECT_FALSE(error.description().isEmpty());
    }
    EXPECT_EQ(readFile(destination), "previous");
    EXPECT_EQ(QDir(sandbox.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.zip"}));
}
