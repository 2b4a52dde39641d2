#include "IgnoreFiles.h"

#include "model/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder of the project whose ignore files are read.
struct SearchedFolder {
    QString path;
    qsizetype depth = 0;
    // The folder is a path the status run reported, not only a folder above one.
    bool reported = false;
};

// Runs fn(0) ... fn(count - 1) on the worker threads as well as this one. The file-system queries of a
// large status spend most of their time in the kernel's path lookup, which runs side by side.
template <typename Fn> void forEachIndexInParallel(qsizetype count, Fn fn)
{
    std::vector<qsizetype> indices(size_t(std::max<qsizetype>(count, 0)));
    std::iota(indices.begin(), indices.end(), qsizetype(0));
    QtConcurrent::blockingMap(indices, [&fn](qsizetype index) { fn(index); });
}

// Whether the entries named like ignore files in a folder are files; a folder, a device or a dangling
// link of that name is no file to read.
struct FolderEntries {
    bool isSymLink = false;
    std::array<bool, 2> ignoreFileIsFile{};
};

const std::array<QString, 2> ignoreFileNames{QStringLiteral(".gitignore"), QStringLiteral(".korvelignore")};
const std::array<QByteArray, 2> ignoreFileNameBytes{
    QByteArrayLiteral(".gitignore"), QByteArrayLiteral(".korvelignore")};

QString childLocation(const QString &location, const QString &name)
{
    return location.endsWith(u'/') ? location + name : location + u'/' + name;
}

void appendRulesOfFile(const QString &location, const QString &basePath, QList<IgnoreRule> &rules)
{
    QFile file(location);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    // Text that is not UTF-8 decodes to nothing and so gives no rules.
    rules.append(IgnoreRules::rulesFromText(TextUtil::decodeUtf8Strict(bytes), basePath));
}

bool liesInside(const QString &canonicalPath, const QString &canonicalRoot)
{
    if (canonicalPath.isEmpty() || canonicalRoot.isEmpty())
        return false;
    if (canonicalRoot == u"/")
        return true;
    return canonicalPath == canonicalRoot
        || (canonicalPath.startsWith(canonicalRoot) && canonicalPath.at(canonicalRoot.size()) == u'/');
}

} // namespace

namespace IgnoreFiles {

IgnoreRules load(const QString &root, const QStringList &candidatePaths)
{
    const QString rootPath = QDir::cleanPath(root);
    return load(root, candidatePaths, [&](qsizetype candidate) {
        const QString path = IgnoreRules::normalizePath(candidatePaths[candidate]);
        return QFileInfo(rootPath.endsWith(u'/') ? rootPath + path : rootPath + u'/' + path).isDir();
    });
}

IgnoreRules load(const QString &root, const QStringList &candidatePaths,
    const std::function<bool(qsizetype candidate)> &candidateIsFolder)
{
    const QString rootPath = QDir::cleanPath(root);
    const auto locationOf = [&rootPath](const QString &folder) {
        if (folder.isEmpty())
            return rootPath;
        return rootPath.endsWith(u'/') ? rootPath + folder : rootPath + u'/' + folder;
    };

    QList<SearchedFolder> folders{SearchedFolder{}};
    QHash<QString, qsizetype> folderIndex{{QString(), 0}};
    const auto addFolder = [&](const QString &path, qsizetype depth, bool reported) {
        const auto found = folderIndex.constFind(path);
        if (found != folderIndex.cend()) {
            folders[*found].reported = folders[*found].reported || reported;
            return;
        }
        folderIndex.insert(path, folders.size());
        folders.append(SearchedFolder{path, depth, reported});
    };

    // Prefixes first: a candidate that is already a folder above another needs no look at the disk.
    // The tools list the paths of one folder together, so a parent equal to the previous one adds
    // nothing new. A path listed twice (git's staged deletion and untracked file of one name) is
    // looked at twice and added once.
    QList<std::pair<qsizetype, qsizetype>> reportedPaths; // candidate index, depth
    QList<QString> normalizedPaths;
    normalizedPaths.reserve(candidatePaths.size());
    QStringView previousParent;
    bool previousLeavesProject = false;
    qsizetype previousDepth = 0;
    bool havePrevious = false;
    for (qsizetype index = 0; index < candidatePaths.size(); ++index) {
        normalizedPaths.append(IgnoreRules::normalizePath(candidatePaths[index]));
        const QString &path = normalizedPaths.last();
        if (path.isEmpty())
            continue;
        const qsizetype lastSlash = path.lastIndexOf(u'/');
        const QStringView parent = QStringView(path).first(std::max<qsizetype>(lastSlash, 0));
        if (!havePrevious || parent != previousParent) {
            // A ".." component would lead out of the project: nothing at or below it is searched.
            previousLeavesProject = false;
            previousDepth = 0;
            if (lastSlash >= 0) {
                for (qsizetype start = 0;;) {
                    qsizetype end = path.indexOf(u'/', start);
                    if (end < 0 || end > lastSlash)
                        end = lastSlash;
                    if (QStringView(path).sliced(start, end - start) == u"..") {
                        previousLeavesProject = true;
                        break;
                    }
                    ++previousDepth;
                    addFolder(path.left(end), previousDepth, false);
                    if (end == lastSlash)
                        break;
                    start = end + 1;
                }
            }
            previousParent = parent;
            havePrevious = true;
        }
        if (!previousLeavesProject && QStringView(path).sliced(lastSlash + 1) != u"..")
            reportedPaths.append({index, previousDepth + 1});
    }
    std::vector<char> isFolder(size_t(reportedPaths.size()), 0);
    forEachIndexInParallel(reportedPaths.size(), [&](qsizetype i) {
        const qsizetype index = reportedPaths[i].first;
        isFolder[size_t(i)] = folderIndex.contains(normalizedPaths[index]) || candidateIsFolder(index);
    });
    for (qsizetype i = 0; i < reportedPaths.size(); ++i) {
        if (isFolder[size_t(i)])
            addFolder(normalizedPaths[reportedPaths[i].first], reportedPaths[i].second, true);
    }

    TextUtil::sortByLocalizedKey(folders, [](const SearchedFolder &folder) { return folder.path; });
    std::stable_sort(folders.begin(), folders.end(),
        [](const SearchedFolder &a, const SearchedFolder &b) { return a.depth < b.depth; });

    // A folder is searched only when the way to it from the project folder stays inside the project: a
    // symbolic link to a folder elsewhere is followed only when it is itself a reported path.
    QString canonicalRoot;
    bool canonicalRootKnown = false;
    // Asked from the project folder's own descriptor: the kernel walks a path of a few names, not the
    // whole way from the root, and a status of many folders asks three times for each.
    const int rootFolder = ::open(TextUtil::encodeFileName(rootPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<FolderEntries> entries(size_t(folders.size()));
    forEachIndexInParallel(folders.size(), [&](qsizetype index) {
        const QByteArray folder = TextUtil::encodeFileName(folders[index].path);
        FolderEntries &found = entries[size_t(index)];
        struct stat info;
        found.isSymLink = !folder.isEmpty()
            && ::fstatat(rootFolder, folder.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
        for (size_t name = 0; name < ignoreFileNames.size(); ++name) {
            const QByteArray file
                = folder.isEmpty() ? ignoreFileNameBytes[name] : folder + '/' + ignoreFileNameBytes[name];
            found.ignoreFileIsFile[name]
                = ::fstatat(rootFolder, file.constData(), &info, 0) == 0 && S_ISREG(info.st_mode);
        }
    });
    if (rootFolder >= 0)
        ::close(rootFolder);
    QHash<QString, bool> staysInside{{QString(), true}};
    QList<IgnoreRule> rules;
    for (qsizetype index = 0; index < folders.size(); ++index) {
        const SearchedFolder &folder = folders[index];
        if (!folder.path.isEmpty()) {
            const qsizetype slash = folder.path.lastIndexOf(u'/');
            const QString parent = slash < 0 ? QString() : folder.path.left(slash);
            if (!staysInside.value(parent, false)) {
                staysInside.insert(folder.path, false);
                continue;
            }
            bool inside = true;
            if (entries[size_t(index)].isSymLink) {
                const QFileInfo info(locationOf(folder.path));
                if (!canonicalRootKnown) {
                    canonicalRoot = QFileInfo(rootPath).canonicalFilePath();
                    canonicalRootKnown = true;
                }
                inside = liesInside(info.canonicalFilePath(), canonicalRoot);
            }
            staysInside.insert(folder.path, inside);
            if (!inside && !folder.reported)
                continue;
        }
        const QString location = locationOf(folder.path);
        for (size_t name = 0; name < ignoreFileNames.size(); ++name) {
            if (entries[size_t(index)].ignoreFileIsFile[name])
                appendRulesOfFile(childLocation(location, ignoreFileNames[name]), folder.path, rules);
        }
    }
    return IgnoreRules(std::move(rules));
}

} // namespace IgnoreFiles
