// Revert over working copies in each state svn and git leave a change in. Afterwards every file on
// disk outside the paths taken back, and every file there the repository does not have, is still there
// with its bytes, what the repository has under the paths taken back is back with its bytes, the tool
// lists nothing there but untracked files, and the selected paths left alone keep their status. Every
// outcome is read from the disk and from the tools themselves.
#include "support/RealActions.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace TestSupport;

namespace {

// What the repository has after the first commit of every case.
const QMap<QString, QByteArray> committed{{"A/f.txt", "f\n"}, {"A/g.txt", "g\n"}, {"A/sub/h.txt", "h\n"},
    {"C/c.txt", "c\n"}, {"a.txt", "a\n"}, {"t.txt", "t\n"}};

bool isWithin(const QString &path, const QStringList &roots)
{
    return std::any_of(roots.begin(), roots.end(),
        [&path](const QString &root) { return path == root || path.startsWith(root + '/'); });
}

// `svn status --xml`: each listed path's item.
QMap<QString, QString> svnItems(const SvnFixture &svn)
{
    QMap<QString, QString> items;
    QXmlStreamReader xml(svn.svn({"status", "--xml"}));
    QString path;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.qualifiedName() == u"entry")
            path = xml.attributes().value("path").toString();
        else if (xml.qualifiedName() == u"wc-status")
            items.insert(path, xml.attributes().value("item").toString());
    }
    return items;
}

template <typename Fixture> struct RevertCase {
    const char *name;
    std::function<void(const Fixture &)> make;
    QStringList selected;
    // Taken back to what the repository has.
    QStringList restored;
    // No longer tracked, and kept on disk.
    QStringList unscheduled;
    // Left as they are and named in the alert, exactly these.
    QStringList inTheWay;
    // Done while the question is open.
    std::function<void(const Fixture &)> whileAsked;
};

// The paths an alert names as standing in the way.
QStringList namedInTheWay(const QString &message)
{
    QString subject = message.left(message.indexOf(QRegularExpression(" stands? where ")));
    QStringList names;
    for (QString name : subject.replace(" and ", ", ").split(", ")) {
        for (const char *entry : {"the folder ", "the file ", "the link ", "the path "}) {
            if (name.startsWith(entry, Qt::CaseInsensitive))
                name.remove(0, qsizetype(strlen(entry)));
        }
        names.push_back(name);
    }
    names.sort();
    return names;
}

struct RevertStates : RealActionsFixture {
    // Each case on a repository of its own holding the committed files: brought into its state,
    // reverted through the program with the confirmation answered, then checked.
    template <typename Fixture>
    void revertEach(const QList<RevertCase<Fixture>> &cases, RepositoryKind kind, QString Fixture::*root,
        const std::function<QMap<QString, QString>(const Fixture &)> &listing, const QString &untrackedCode)
    {
        for (const RevertCase<Fixture> &c : cases) {
            const QString base = sandbox.filePath(QString::fromUtf8(c.name).replace(' ', '-').remove(','));
            QDir().mkpath(base);
            const Fixture fixture = Fixture::create(base);
            for (auto file = committed.begin(); file != committed.end(); ++file)
                writeFile(fixture.*root + '/' + file.key(), file.value());
            fixture.commitAll();
            c.make(fixture);
            QMap<QString, QByteArray> before = filesUnder(fixture.*root);
            QMap<QString, QString> listedBefore = listing(fixture);
            open(fixture.*root, kind);
            tick(c.selected);
            dialogs.confirmAnswers = {true};
            dialogs.whileConfirming = [&] {
                if (!c.whileAsked)
                    return;
                c.whileAsked(fixture);
                before = filesUnder(fixture.*root);
                listedBefore = listing(fixture);
            };
            state->setAlert(std::nullopt);
            state->revertSelectedPaths();
            ASSERT_TRUE(waitUntilIdle(*state, idleTimeoutMs));
            dialogs.whileConfirming = nullptr;
            expectReverted(c, {before, filesUnder(fixture.*root)}, state->alert(), {listedBefore, listing(fixture)},
                untrackedCode);
        }
    }

    template <typename T> struct BeforeAfter {
        T before;
        T after;
    };

    // The user's files kept, committed ones back, and the tool's listing (by path, its code for the
    // path) showing nothing else under the paths taken back.
    template <typename Fixture>
    static void expectReverted(const RevertCase<Fixture> &c, const BeforeAfter<QMap<QString, QByteArray>> &files,
        const std::optional<AppAlert> &alert, const BeforeAfter<QMap<QString, QString>> &listings,
        const QString &untrackedCode)
    {
        SCOPED_TRACE(c.name);
        const QMap<QString, QByteArray> &after = files.after;
        const QMap<QString, QString> &listing = listings.after;
        for (auto file = files.before.begin(); file != files.before.end(); ++file) {
            if (!committed.contains(file.key()) || !isWithin(file.key(), c.restored)) {
                EXPECT_EQ(after.value(file.key(), "(gone)"), file.value()) << file.key().toStdString();
            }
        }
        for (const QString &path : c.selected) {
            if (!isWithin(path, c.restored + c.unscheduled)) {
                EXPECT_EQ(listing.value(path), listings.before.value(path)) << path.toStdString();
            }
        }
        for (auto file = committed.begin(); file != committed.end(); ++file) {
            if (isWithin(file.key(), c.restored)) {
                EXPECT_EQ(after.value(file.key(), "(gone)"), file.value()) << file.key().toStdString();
            }
        }
        for (auto entry = listing.begin(); entry != listing.end(); ++entry) {
            if (isWithin(entry.key(), c.restored + c.unscheduled)) {
                EXPECT_EQ(entry.value(), untrackedCode)
                    << entry.key().toStdString() << " " << entry.value().toStdString();
            }
        }
        for (const QString &path : c.unscheduled) {
            EXPECT_TRUE(std::any_of(after.keyBegin(), after.keyEnd(), [&](const QString &p) {
                return isWithin(p, {path});
            })) << path.toStdString();
        }
        if (c.inTheWay.isEmpty()) {
            EXPECT_FALSE(alert) << alert->title.toStdString() << ": " << alert->message.toStdString();
            return;
        }
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title, "Path In The Way");
        QStringList expected = c.inTheWay;
        expected.sort();
        EXPECT_EQ(namedInTheWay(alert->message), expected) << alert->message.toStdString();
    }
};

void append(const QString &path, const QByteArray &bytes)
{
    writeFile(path, readFile(path) + bytes);
}

} // namespace

TEST_F(RevertStates, SvnRevertKeepsEveryUnversionedFileAndRestoresWhatTheRepositoryHas)
{
    using Case = RevertCase<SvnFixture>;
    const auto folderInTheWay = [](const SvnFixture &svn) {
        QFile::remove(svn.workingCopy + "/t.txt");
        writeFile(svn.workingCopy + "/t.txt/precious.txt", "mine\n");
        append(svn.workingCopy + "/a.txt", "edit\n");
    };
    const auto copyFolder = [](const SvnFixture &svn) {
        svn.svn({"copy", "-q", "A", "B"});
        append(svn.workingCopy + "/B/f.txt", "edit\n");
        writeFile(svn.workingCopy + "/B/new.txt", "new\n");
        svn.svn({"add", "-q", "B/new.txt"});
        writeFile(svn.workingCopy + "/B/notes.txt", "notes\n");
    };
    const auto moveFolder = [](const SvnFixture &svn) {
        svn.svn({"move", "-q", "A", "M"});
        append(svn.workingCopy + "/M/f.txt", "edit\n");
        writeFile(svn.workingCopy + "/M/todo.txt", "todo\n");
    };
    const auto moveFile = [](const SvnFixture &svn) {
        svn.svn({"move", "-q", "a.txt", "m.txt"});
        append(svn.workingCopy + "/m.txt", "edit\n");
    };
    const auto newFileAtMoveSource = [](const SvnFixture &svn) {
        svn.svn({"move", "-q", "a.txt", "m.txt"});
        writeFile(svn.workingCopy + "/a.txt", "new\n");
    };
    const auto deletedFolderMadeAnew = [](const SvnFixture &svn) {
        svn.svn({"delete", "-q", "A"});
        writeFile(svn.workingCopy + "/A", "mine\n");
    };
    // svn status lists the folder alone, though its revert brings back what the old one held.
    const auto replaceFolder = [](const SvnFixture &svn) {
        svn.svn({"delete", "-q", "A"});
        QDir().mkpath(svn.workingCopy + "/A");
        svn.svn({"add", "-q", "A"});
    };
    const auto deleteFolder = [](const SvnFixture &svn) { svn.svn({"delete", "-q", "A"}); };
    const auto writeMine = [](const QString &path) {
        return [path](const SvnFixture &svn) { writeFile(svn.workingCopy + '/' + path, "mine\n"); };
    };
    const QList<Case> cases{
        {"copied folder", copyFolder, {"B"}, {}, {"B"}},
        {"copied folder ticked with its children", copyFolder, {"B", "B/f.txt", "B/new.txt"}, {}, {"B"}},
        {"copied file",
            [](const SvnFixture &svn) {
                svn.svn({"copy", "-q", "a.txt", "c.txt"});
                append(svn.workingCopy + "/c.txt", "edit\n");
            },
            {"c.txt"}, {}, {"c.txt"}},
        {"moved folder, its new name", moveFolder, {"M"}, {"A"}, {"M"}},
        {"moved folder, both names with the edit ticked", moveFolder, {"A", "M", "M/f.txt"}, {"A"}, {"M"}},
        {"moved folder, its old name", moveFolder, {"A"}, {"A"}, {}},
        {"moved file, its new name", moveFile, {"m.txt"}, {"a.txt"}, {"m.txt"}},
        {"moved folder into an added folder, the added folder",
            [](const SvnFixture &svn) {
                svn.svn({"mkdir", "-q", "X"});
                svn.svn({"move", "-q", "A", "X/M"});
                writeFile(svn.workingCopy + "/X/M/todo.txt", "todo\n");
            },
            {"X"}, {"A"}, {"X"}},
        {"missing folder", [](const SvnFixture &svn) { QDir(svn.workingCopy + "/A").removeRecursively(); }, {"A"},
            {"A"}, {}},
        {"folder in the way of a file", folderInTheWay, {"a.txt", "t.txt"}, {"a.txt"}, {}, {"t.txt"}},
        {"folder in the way alone", folderInTheWay, {"t.txt"}, {}, {}, {"t.txt"}},
        {"file in the way of a folder, with a child of that folder",
            [](const SvnFixture &svn) {
                QDir(svn.workingCopy + "/A").removeRecursively();
                writeFile(svn.workingCopy + "/A", "mine\n");
            },
            {"A", "A/f.txt"}, {}, {}, {"A"}},
        {"folder in the place of a deleted file",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "t.txt"});
                writeFile(svn.workingCopy + "/t.txt/precious.txt", "mine\n");
            },
            {"t.txt"}, {}, {}, {"t.txt"}},
        // svn reports nothing below a deleted folder made anew on disk: the folder is what stands there.
        {"folder in the place of a file inside a deleted folder",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
                writeFile(svn.workingCopy + "/A/f.txt/precious.txt", "mine\n");
            },
            {"A"}, {}, {}, {"A"}},
        {"added folder ticked with its children",
            [](const SvnFixture &svn) {
                writeFile(svn.workingCopy + "/N/n.txt", "n\n");
                writeFile(svn.workingCopy + "/N/sub/x.txt", "x\n");
                svn.svn({"add", "-q", "N"});
                writeFile(svn.workingCopy + "/N/later.txt", "later\n");
            },
            {"N", "N/n.txt", "N/sub", "N/sub/x.txt"}, {}, {"N"}},
        {"replaced folder",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
                writeFile(svn.workingCopy + "/A/f.txt", "other\n");
                writeFile(svn.workingCopy + "/A/new.txt", "new\n");
                svn.svn({"add", "-q", "A"});
            },
            {"A"}, {"A"}, {}},
        {"folder replaced by a copy",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
                svn.svn({"copy", "-q", "C", "A"});
                append(svn.workingCopy + "/A/c.txt", "edit\n");
                writeFile(svn.workingCopy + "/A/notes.txt", "notes\n");
            },
            {"A"}, {"A"}, {}},
        {"deleted folder",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
            },
            {"A"}, {"A"}, {}},
        {"file in the place of a deleted file, beside an edit",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "t.txt"});
                writeFile(svn.workingCopy + "/t.txt", "mine\n");
                append(svn.workingCopy + "/a.txt", "edit\n");
            },
            {"a.txt", "t.txt"}, {"a.txt"}, {}, {"t.txt"}},
        {"link in the place of a deleted link",
            [](const SvnFixture &svn) {
                QFile::link("a.txt", svn.workingCopy + "/l.lnk");
                svn.svn({"add", "-q", "l.lnk"});
                svn.commitAll();
                svn.svn({"delete", "-q", "l.lnk"});
                QFile::link("t.txt", svn.workingCopy + "/l.lnk");
            },
            {"l.lnk"}, {}, {}, {"l.lnk"}},
        {"file in the place of a deleted folder", deletedFolderMadeAnew, {"A"}, {}, {}, {"A"}},
        {"file in the place of a deleted folder, a file inside it", deletedFolderMadeAnew, {"A/f.txt"}, {}, {}, {"A"}},
        {"deleted folder made anew holding an unversioned file",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
                writeFile(svn.workingCopy + "/A/f.txt", "mine\n");
                writeFile(svn.workingCopy + "/A/notes.txt", "notes\n");
            },
            {"A"}, {}, {}, {"A"}},
        {"deleted folder, a file written at a path it held while the question is open", deleteFolder, {"A"}, {}, {},
            {"A"}, writeMine("A/g.txt")},
        {"replaced folder holding a file at a path the old one held",
            [&](const SvnFixture &svn) {
                replaceFolder(svn);
                writeMine("A/g.txt")(svn);
            },
            {"A"}, {}, {}, {"A/g.txt"}},
        {"replaced folder, a file written at a path the old one held while the question is open", replaceFolder,
            {"A"}, {}, {}, {"A/sub"}, writeMine("A/sub/h.txt")},
        {"replaced folder holding a file the old one did not",
            [&](const SvnFixture &svn) {
                replaceFolder(svn);
                writeMine("A/notes.txt")(svn);
            },
            {"A"}, {"A"}, {}},
        {"replaced folder made by a copy, a file written at a path the old one held while the question is open",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "A"});
                svn.svn({"copy", "-q", "C", "A"});
            },
            {"A"}, {}, {}, {"A/g.txt"}, writeMine("A/g.txt")},
        {"deleted file, a file written in its place while the question is open, beside an edit",
            [](const SvnFixture &svn) {
                svn.svn({"delete", "-q", "t.txt"});
                append(svn.workingCopy + "/a.txt", "edit\n");
            },
            {"a.txt", "t.txt"}, {"a.txt"}, {}, {"t.txt"}, writeMine("t.txt")},
        {"moved file with a new file at its old name, its new name", newFileAtMoveSource, {"m.txt"}, {}, {}, {"a.txt"}},
        {"moved file with a new file at its old name, both names", newFileAtMoveSource, {"a.txt", "m.txt"}, {}, {},
            {"a.txt"}},
        {"moved file with a new file added at its old name, its new name",
            [&newFileAtMoveSource](const SvnFixture &svn) {
                newFileAtMoveSource(svn);
                svn.svn({"add", "-q", "a.txt"});
            },
            {"m.txt"}, {}, {}, {"a.txt"}},
        {"file moved onto a moved file's old name, the first move's new name",
            [](const SvnFixture &svn) {
                svn.svn({"move", "-q", "a.txt", "b.txt"});
                svn.svn({"move", "-q", "t.txt", "a.txt"});
                append(svn.workingCopy + "/a.txt", "edit\n");
            },
            {"b.txt"}, {}, {}, {"a.txt"}},
    };
    revertEach<SvnFixture>(cases, RepositoryKind::svn, &SvnFixture::workingCopy, svnItems, "unversioned");
}

TEST_F(RevertStates, GitRevertKeepsEveryUntrackedFileAndRestoresWhatHeadHas)
{
    using Case = RevertCase<GitFixture>;
    const QStringList folderA{"A/f.txt", "A/g.txt", "A/sub/h.txt"};
    const QList<Case> cases{
        {"folder in the way of a file",
            [](const GitFixture &git) {
                QFile::remove(git.path + "/t.txt");
                writeFile(git.path + "/t.txt/precious.txt", "mine\n");
                append(git.path + "/a.txt", "edit\n");
            },
            {"a.txt", "t.txt"}, {"a.txt"}, {}, {"t.txt"}},
        {"new folder staged",
            [](const GitFixture &git) {
                writeFile(git.path + "/N/n.txt", "n\n");
                writeFile(git.path + "/N/sub/x.txt", "x\n");
                git.git({"add", "N"});
            },
            {"N/n.txt", "N/sub/x.txt"}, {}, {"N"}},
        {"renamed file with an edit, its new name",
            [](const GitFixture &git) {
                git.git({"mv", "a.txt", "m.txt"});
                append(git.path + "/m.txt", "edit\n");
            },
            {"m.txt"}, {"a.txt"}, {"m.txt"}},
        {"deleted folder",
            [](const GitFixture &git) {
                git.git({"rm", "-q", "-r", "A"});
            },
            folderA, {"A"}, {}},
        {"missing folder", [](const GitFixture &git) { QDir(git.path + "/A").removeRecursively(); }, folderA, {"A"},
            {}},
        {"untracked file at a staged deletion, beside an edit",
            [](const GitFixture &git) {
                git.git({"rm", "-q", "a.txt"});
                writeFile(git.path + "/a.txt", "new content\n");
                append(git.path + "/t.txt", "edit\n");
            },
            {"a.txt", "t.txt"}, {"t.txt"}, {}, {"a.txt"}},
        {"file in the place of a deleted folder",
            [](const GitFixture &git) {
                git.git({"rm", "-q", "-r", "A"});
                writeFile(git.path + "/A", "mine\n");
            },
            {"A/f.txt", "A/g.txt"}, {}, {}, {"A"}},
        {"file in the place of a missing folder",
            [](const GitFixture &git) {
                QDir(git.path + "/A").removeRecursively();
                writeFile(git.path + "/A", "mine\n");
            },
            {"A/f.txt", "A/g.txt"}, {}, {}, {"A"}},
        // The merge base holds another a.txt, so that a.txt conflicts while HEAD keeps the committed one.
        {"merge conflicts, one of them on a path deleted by us",
            [](const GitFixture &git) {
                writeFile(git.path + "/a.txt", "base\n");
                git.commitAll();
                git.git({"checkout", "-q", "-b", "theirs"});
                writeFile(git.path + "/a.txt", "theirs\n");
                append(git.path + "/t.txt", "theirs\n");
                git.commitAll();
                git.git({"checkout", "-q", "-"});
                writeFile(git.path + "/a.txt", "a\n");
                git.git({"rm", "-q", "t.txt"});
                git.commitAll();
                int status = 0;
                git.git({"merge", "-q", "theirs"}, &status);
                ASSERT_NE(status, 0);
            },
            {"a.txt", "t.txt"}, {"a.txt"}, {"t.txt"}},
        {"staged deletion, a file written in its place while the question is open, beside an edit",
            [](const GitFixture &git) {
                git.git({"rm", "-q", "a.txt"});
                append(git.path + "/t.txt", "edit\n");
            },
            {"a.txt", "t.txt"}, {"t.txt"}, {}, {"a.txt"},
            [](const GitFixture &git) { writeFile(git.path + "/a.txt", "mine\n"); }},
        {"edited file beside an untracked one",
            [](const GitFixture &git) {
                append(git.path + "/a.txt", "edit\n");
                writeFile(git.path + "/u.txt", "u\n");
            },
            {"a.txt", "u.txt"}, {"a.txt"}, {}},
    };
    const auto listing = [](const GitFixture &git) {
        QMap<QString, QString> codes;
        const QMap<QByteArray, QByteArray> raw = gitStatusCodes(git);
        for (auto code = raw.begin(); code != raw.end(); ++code)
            codes.insert(QString::fromUtf8(code.key()), QString::fromUtf8(code.value()));
        return codes;
    };
    revertEach<GitFixture>(cases, RepositoryKind::git, &GitFixture::path, listing, "??");
}
