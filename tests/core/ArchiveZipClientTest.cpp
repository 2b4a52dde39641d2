#include "support/TestSupport.h"
#include "tools/ToolClients.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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

// Each entry as Python's zipfile reads it: its name, its Unix mode in octal and its stored time.
QStringList entriesAsReadElsewhere(const QString &zip)
{
    const QString script
        = "import sys, zipfile\n"
          "for entry in zipfile.ZipFile(sys.argv[1]).infolist():\n"
          "    line = '%s %o %04d-%02d-%02d %02d:%02d' % ((entry.filename, entry.external_attr >> 16)\n"
          "        + entry.date_time[:5])\n"
          "    sys.stdout.buffer.write(line.encode('utf-8') + b'\\n')\n";
    QStringList entries = QString::fromUtf8(runTool("python3", {"-c", script, zip})).split('\n', Qt::SkipEmptyParts);
    entries.sort();
    return entries;
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

// What svn export makes: folders, empty ones too, links (stored as links, their targets as they are),
// executable files, and the times of each. bsdtar would read a name beginning with "@" as an archive.
TEST(ArchiveZipClient, FolderIsTheTopLevelEntryAndEveryEntryStaysAsItIs)
{
    Sandbox sandbox;
    const QString source = sandbox.filePath("exports/@My Export 'r12'");
    writeFile(source + "/a.txt", "alpha\n");
    writeFile(source + "/tool.sh", "#!/bin/sh\n");
    writeFile(source + QString::fromUtf8("/sub/é.txt"), "beta\n");
    QDir().mkpath(source + "/empty");
    ASSERT_TRUE(QFile::link("/", source + "/root-link"));
    runTool("ln", {"-s", "./a.txt", source + "/sub/dot-link"});
    runTool("chmod", {"-R", "u=rwX,go=rX", source});
    runTool("chmod", {"755", source + "/tool.sh"});
    runTool("find", {source, "-exec", "touch", "-h", "-d", "2001-02-03 04:05:06", "{}", "+"});
    const QString destination = sandbox.filePath("out dir/it's.zip");
    QDir().mkpath(sandbox.filePath("out dir"));

    ArchiveZipClient zip;
    const SVNCommandResult result = runTask(zip.zipDirectoryKeepingParent(source, destination));
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.commandLine.endsWith(" -- './@My Export '\\''r12'\\'''")) << result.commandLine.toStdString();

    const QString top = QString::fromUtf8("@My Export 'r12'/");
    const QString time = " 2001-02-03 04:05";
    QStringList expected = {top + " 40755" + time, top + "a.txt 100644" + time, top + "empty/ 40755" + time,
        top + "root-link 120777" + time, top + "sub/ 40755" + time, top + "sub/dot-link 120777" + time,
        top + QString::fromUtf8("sub/é.txt 100644") + time, top + "tool.sh 100755" + time};
    expected.sort();
    EXPECT_EQ(entriesAsReadElsewhere(destination), expected);
    runTool("unzip", {"-tq", destination});
    // The link is stored as a link, so the archive stays small instead of holding the whole disk.
    EXPECT_LT(QFileInfo(destination).size(), 4096);
    EXPECT_EQ(runTool("unzip", {"-p", destination, top + "root-link"}), "/");
    EXPECT_EQ(runTool("unzip", {"-p", destination, top + "sub/dot-link"}), "./a.txt");
    EXPECT_EQ(runTool("unzip", {"-p", destination, top + "tool.sh"}), "#!/bin/sh\n");
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

// zip and bsdtar write a count of exactly 65,535 entries as it is, with no zip64 record; one more and
// the zip64 record holds the count.
TEST(ArchiveZipClient, ArchivesAroundTheEntryCountLimitReadEverywhere)
{
    // Tens of thousands of folders take seconds on a disk and a fraction of that on a tmpfs.
    const QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? QStringLiteral("/dev/shm/korvel-zip-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/korvel-zip-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString source = folder.filePath(QString::fromUtf8("Prøject"));
    writeFile(source + QString::fromUtf8("/über.txt"), "one\n");
    QStringList expected = {QString::fromUtf8("Prøject/"), QString::fromUtf8("Prøject/über.txt")};
    // Every name holds "ø": each reads right only where it is marked as UTF-8.
    const QString names = "import sys, zipfile\n"
                          "for name in sorted(zipfile.ZipFile(sys.argv[1]).namelist()):\n"
                          "    sys.stdout.buffer.write(name.encode('utf-8') + b'\\n')\n";
    ArchiveZipClient zip;
    for (const int entries : {65534, 65535, 65536}) {
        SCOPED_TRACE(entries);
        // Empty folders: the cheapest entries to make and to zip.
        while (expected.size() < entries) {
            const QString name = QStringLiteral("d%1").arg(expected.size(), 5, 10, QLatin1Char('0'));
            ASSERT_TRUE(QDir(source).mkdir(name));
            expected.push_back(QString::fromUtf8("Prøject/") + name + u'/');
        }
        const QString destination = folder.filePath(QStringLiteral("%1.zip").arg(entries));
        runTask(zip.zipDirectoryKeepingParent(source, destination));
        runTool("unzip", {"-tq", destination});
        QStringList sorted = expected;
        sorted.sort();
        EXPECT_EQ(
            QString::fromUtf8(runTool("python3", {"-c", names, destination})).split('\n', Qt::SkipEmptyParts), sorted);
        QFile::remove(destination);
    }
}
