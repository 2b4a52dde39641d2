#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/UnifiedDiffParser.h"
#include "state/RepositoryDetection.h"
#include "state/RunOutputs.h"
#include "state/WorkingCopyPaths.h"
#include "tools/StreamedReading.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QFile>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 largestUnversionedDiff = 16 * 1024 * 1024;
// No argument can carry such a name to git diff or git show, and neither reads names from a file.
const QByteArray undecodableNameDiff = QByteArrayLiteral("(no diff: the file name is not valid UTF-8)");

QByteArray sizeText(qsizetype bytes)
{
    constexpr qsizetype kib = 1024;
    if (bytes % (kib * kib) == 0)
        return QByteArray::number(bytes / (kib * kib)) + " MiB";
    if (bytes % kib == 0)
        return QByteArray::number(bytes / kib) + " KiB";
    return QByteArray::number(bytes) + " bytes";
}

// A link is shown as git shows one: its target path as the content, with no line end. What it points
// to may lie outside the project and is never read.
QByteArray unversionedLinkDiff(const QString &path, const QByteArray &native)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(native.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size())
        return QByteArrayLiteral("(binary or unreadable file)");
    target.truncate(length);
    QString diff = UnifiedDiffParser::unversionedFileDiff(TextUtil::displayFileName(path), QString::fromUtf8(target));
    if (!target.endsWith('\n'))
        diff += QStringLiteral("\n\\ No newline at end of file");
    return diff.toUtf8();
}

// The diff of a file that is not under version control: every line added. Only regular files are
// read, and no more than their first 16 MiB: a longer file shows the whole lines before that and says
// it was cut. The file is reached by its exact bytes: its name may not be UTF-8.
QByteArray localUnifiedDiff(const QString &path, const QString &root)
{
    const QByteArray native = workingCopyNativePath(path, root);
    struct stat info;
    if (::lstat(native.constData(), &info) != 0)
        return QByteArrayLiteral("(file not found)");
    if (S_ISLNK(info.st_mode))
        return unversionedLinkDiff(path, native);
    if (S_ISDIR(info.st_mode))
        return QByteArrayLiteral("(unversioned directory)");
    if (!S_ISREG(info.st_mode))
        return QByteArrayLiteral("(binary or unreadable file)");
    // A link put in its place since the look above is not followed either.
    const int descriptor = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    QFile file;
    if (descriptor < 0 || !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (descriptor >= 0)
            ::close(descriptor);
        return QByteArrayLiteral("(binary or unreadable file)");
    }
    // Read in pieces that stop at the first NUL byte: a large binary file is told by its start.
    constexpr qsizetype piece = 1024 * 1024;
    QByteArray bytes;
    while (bytes.size() <= largestUnversionedDiff) {
        const QByteArray read = file.read(std::min(piece, largestUnversionedDiff + 1 - bytes.size()));
        bytes += read;
        if (read.size() < piece || read.contains('\0'))
            break;
    }
    if (file.error() != QFileDevice::NoError)
        return QByteArrayLiteral("(binary or unreadable file)");
    const bool cut = bytes.size() > largestUnversionedDiff;
    JudgedFile judged = judgeFile(QByteArrayView(bytes).first(std::min(bytes.size(), largestUnversionedDiff)), !cut);
    if (judged.kind != JudgedFile::Kind::text)
        return QByteArrayLiteral("(binary or unreadable file)");
    // The cut keeps whole lines, or the start of a file's one long line.
    if (cut && judged.text.contains(u'\n'))
        judged.text.truncate(judged.text.lastIndexOf(u'\n') + 1);
    QByteArray diff = UnifiedDiffParser::unversionedFileDiff(TextUtil::displayFileName(path), judged.text).toUtf8();
    if (cut)
        diff += "\n\\ The preview stops here: the file is longer than " + sizeText(largestUnversionedDiff) + ".\n";
    return diff;
}

// The diff a tool printed, kept as the UTF-8 it is. A file in a legacy encoding (Latin-1 and the
// like) makes the output not UTF-8: its undecodable bytes become U+FFFD, so the change still shows
// line for line rather than not at all.
QByteArray printedDiff(QByteArray output)
{
    if (TextUtil::isValidUtf8(output))
        return output;
    return QString::fromUtf8(output).toUtf8();
}

// A diff longer than the limit keeps its whole lines before it, then a note (drawn as one in the hunk
// it ends) that says the rest is not shown.
QByteArray previewText(QByteArray output, qsizetype limit)
{
    if (output.size() <= limit)
        return printedDiff(std::move(output));
    output.truncate(output.lastIndexOf('\n', limit - 1) + 1);
    QByteArray text = printedDiff(std::move(output));
    text += "\\ The preview stops here: the diff is longer than " + sizeText(limit) + ".\n";
    return text;
}

// A diff's output gathered on a worker as the tool prints it. Past half a MiB the buffer grows in steps of
// at least 64 MiB: an allocation that large is a mapping of its own, which grows in place and takes memory
// only as it is written, where a smaller one in the worker's heap is copied at each step and leaves the
// old copies behind.
struct DiffReading {
    QByteArray output;
    void add(QByteArray piece)
    {
        constexpr qsizetype mib = 1024 * 1024;
        if (output.size() + piece.size() > output.capacity() && output.size() >= mib / 2)
            output.reserve(std::max(2 * output.capacity(), 64 * mib));
        output += piece;
    }
    QByteArray finish()
    {
        output.squeeze();
        return std::move(output);
    }
};

struct PreviewDiff {
    QByteArray text;
    // Its standard output is not kept.
    SVNCommandResult result;
};

// A diff that no previewed length holds the window for: read on a worker as it comes, and no further than
// the limit, past which the tool is ended.
QCoro::Task<PreviewDiff> previewDiff(
    ToolClient &tool, QStringList arguments, QString folder, qsizetype limit, std::shared_ptr<const ToolRunScope> scope)
{
    StreamedReading<DiffReading> reading;
    ToolRun run{std::move(arguments), std::move(folder), false, {}, false};
    run.onOutput = [&reading](const QByteArray &piece) { reading.add(piece); };
    run.keepOutput = false;
    run.outputLimit = limit + 1;
    PreviewDiff diff;
    diff.result = co_await tool.run(std::move(run));
    QByteArray output = co_await awaitInScope(scope, reading.end());
    constexpr qsizetype checkedOnTheSpot = 256 * 1024;
    if (output.size() <= checkedOnTheSpot)
        diff.text = previewText(std::move(output), limit);
    else
        diff.text = co_await awaitInScope(std::move(scope), QtConcurrent::run(previewText, std::move(output), limit));
    co_return diff;
}

// Empty output (once line ends are trimmed) shows the tool's error text when there is one.
QByteArray revisionDiffText(const QByteArray &output, const SVNCommandResult &result)
{
    if (!TextUtil::holdsOnlyNewlines(QByteArrayView(output)))
        return output;
    if (!result.stderr.isEmpty())
        return result.stderr.toUtf8();
    return QByteArrayLiteral("(no text diff)");
}

} // namespace

// The diff on show belongs to the old selection: it goes at once, and a load still running for that
// selection must not bring it back before the new load starts.
void AppState::selectedChangeChanged()
{
    m_loads.supersede(LoadGroup::changeDiff);
    setDiffText(QByteArray());
    startLoadTask([this] { return loadDiffForSelectedChange(); }, false);
}

void AppState::selectedHistoryPathChanged()
{
    const QList<FileHistoryRevision> revisions = selectedFileHistoryRevisions();
    bool kept = false;
    if (m_selectedRevision) {
        for (const FileHistoryRevision &revision : revisions) {
            if (revision.revision == *m_selectedRevision) {
                kept = true;
                break;
            }
        }
    }
    if (!kept)
        setSelectedRevision(revisions.isEmpty() ? std::nullopt : std::optional<qint64>(revisions.first().revision));
    m_loads.supersede(LoadGroup::historyDiff);
    setHistoryDiffText(QByteArray());
    startLoadTask([this] { return loadDiffForSelectedHistoryRevision(); }, false);
}

void AppState::selectedHistoryRevisionChanged()
{
    m_loads.supersede(LoadGroup::historyDiff);
    setHistoryDiffText(QByteArray());
    startLoadTask([this] { return loadDiffForSelectedHistoryRevision(); }, false);
}

void AppState::selectedIncomingRevisionChanged()
{
    m_loads.supersede(LoadGroup::incomingDiff);
    setIncomingDiffText(QByteArray());
    startLoadTask([this] { return loadDiffForSelectedIncomingRevision(); }, false);
}

QCoro::Task<> AppState::loadDiffForSelectedChange()
{
    const std::optional<Project> project = selectedProject();
    // The selection is read after the look: one made meanwhile has started a load of its own.
    if (project) {
        const std::optional<Project> loadable = co_await loadableProject();
        if (!loadable)
            co_return;
    }
    const std::optional<WorkingCopyItem> change = selectedChange();
    if (!project || !change) {
        m_loads.supersede(LoadGroup::changeDiff);
        setDiffText(QByteArray());
        co_return;
    }
    const LoadTicket ticket = m_loads.begin(LoadGroup::changeDiff, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    QByteArray text;
    if (change->kind == SVNStatusKind::unversioned) {
        text = co_await awaitInScope(m_runScope, QtConcurrent::run(localUnifiedDiff, change->path, project->path));
    } else if (TextUtil::holdsUndecodableBytes(change->path)) {
        text = undecodableNameDiff;
    } else {
        const bool git = project->kind == RepositoryKind::git;
        const auto gitDiff = [&change](const QString &base) {
            return QStringList{QStringLiteral("diff"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"),
                QStringLiteral("--src-prefix=a/"), QStringLiteral("--dst-prefix=b/"), base, QStringLiteral("--"),
                change->path};
        };
        QStringList arguments = git ? gitDiff(QStringLiteral("HEAD"))
                                    : QStringList{QStringLiteral("diff"), ToolOperands::svnDiffPath(change->path)};
        // The root's row stands for its own properties, not for everything below it.
        if (!git && change->path == workingCopyRootPath)
            arguments.insert(1, QStringLiteral("--depth=empty"));
        ToolClient &tool = toolFor(project->kind);
        try {
            PreviewDiff diff = co_await previewDiff(tool, arguments, project->path, m_largestDiffPreview, m_runScope);
            // Before the first commit there is no HEAD: a staged new file is compared with the empty tree.
            if (git && !diff.result.succeeded() && !diff.result.outputCut
                && co_await gitUnbornBranch(gitClient(), project->path)) {
                const QStringList emptyTreeArguments{QStringLiteral("hash-object"), QStringLiteral("-t"),
                    QStringLiteral("tree"), QStringLiteral("/dev/null")};
                const SVNCommandResult emptyTree = co_await gitClient().run(emptyTreeArguments, project->path);
                diff = co_await previewDiff(
                    tool, gitDiff(emptyTree.stdout.trimmed()), project->path, m_largestDiffPreview, m_runScope);
            }
            text = std::move(diff.text);
            if (TextUtil::holdsOnlyNewlines(QByteArrayView(text))) {
                if (!diff.result.succeeded() && !diff.result.stderr.isEmpty())
                    text = diff.result.stderr.toUtf8();
                else
                    text = QByteArrayLiteral("(no text diff)");
            }
        } catch (const std::exception &error) {
            text = errorDescription(error).toUtf8();
        }
    }
    if (!isCurrent(ticket))
        co_return;
    setDiffText(std::move(text));
}

QCoro::Task<> AppState::loadDiffForSelectedHistoryRevision()
{
    const std::optional<Project> project = selectedProject();
    if (project) {
        const std::optional<Project> loadable = co_await loadableProject();
        if (!loadable)
            co_return;
    }
    if (!project || !m_selectedHistoryPath || !m_selectedRevision) {
        m_loads.supersede(LoadGroup::historyDiff);
        setHistoryDiffText(QByteArray());
        co_return;
    }
    const QString path = *m_selectedHistoryPath;
    const qint64 revision = *m_selectedRevision;
    QStringList arguments;
    if (project->kind == RepositoryKind::git) {
        const std::optional<FileHistoryRevision> selected = selectedFileHistoryRevision();
        if (!selected || !selected->commitHash) {
            m_loads.supersede(LoadGroup::historyDiff);
            setHistoryDiffText(QByteArray());
            co_return;
        }
        if (TextUtil::holdsUndecodableBytes(path)) {
            m_loads.supersede(LoadGroup::historyDiff);
            setHistoryDiffText(undecodableNameDiff);
            co_return;
        }
        arguments = {QStringLiteral("show"), QStringLiteral("--format="), QStringLiteral("--patch"),
            QStringLiteral("--find-renames"), QStringLiteral("--follow"), QStringLiteral("--no-ext-diff"),
            QStringLiteral("--no-color"), QStringLiteral("--src-prefix=a/"), QStringLiteral("--dst-prefix=b/"),
            *selected->commitHash, QStringLiteral("--"), path};
    } else {
        const std::optional<QString> url = repositoryURL(path, revision);
        arguments = {QStringLiteral("diff"), QStringLiteral("-c"), QString::number(revision),
            url ? *url : ToolOperands::svnPath(path)};
    }
    const LoadTicket ticket = m_loads.begin(LoadGroup::historyDiff, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    QByteArray text;
    try {
        const PreviewDiff diff
            = co_await previewDiff(toolFor(project->kind), arguments, project->path, m_largestDiffPreview, m_runScope);
        text = revisionDiffText(diff.text, diff.result);
    } catch (const std::exception &error) {
        text = errorDescription(error).toUtf8();
    }
    if (!isCurrent(ticket))
        co_return;
    setHistoryDiffText(std::move(text));
}

QCoro::Task<> AppState::loadDiffForSelectedIncomingRevision()
{
    const std::optional<Project> project = selectedProject();
    if (project) {
        const std::optional<Project> loadable = co_await loadableProject();
        if (!loadable)
            co_return;
    }
    if (!project || project->kind != RepositoryKind::svn || !m_selectedIncomingRevision) {
        m_loads.supersede(LoadGroup::incomingDiff);
        setIncomingDiffText(QByteArray());
        co_return;
    }
    const LoadTicket ticket = m_loads.begin(LoadGroup::incomingDiff, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    const QString url = m_repositoryInfo.url.value_or(QStringLiteral("."));
    const QStringList arguments{
        QStringLiteral("diff"), QStringLiteral("-c"), QString::number(*m_selectedIncomingRevision), url};
    QByteArray text;
    try {
        const PreviewDiff diff
            = co_await previewDiff(client(), arguments, project->path, m_largestDiffPreview, m_runScope);
        text = revisionDiffText(diff.text, diff.result);
    } catch (const std::exception &error) {
        text = errorDescription(error).toUtf8();
    }
    if (!isCurrent(ticket))
        co_return;
    setIncomingDiffText(std::move(text));
}

std::optional<QString> AppState::repositoryURL(const QString &workingCopyPath, qint64 pegRevision) const
{
    if (!m_repositoryInfo.url)
        return std::nullopt;
    QUrl url(*m_repositoryInfo.url, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    QString path = url.path(QUrl::FullyEncoded);
    for (const QString &piece : workingCopyPath.split(u'/', Qt::SkipEmptyParts)) {
        if (!path.endsWith(u'/'))
            path += u'/';
        path += QString::fromLatin1(QUrl::toPercentEncoding(piece, "!$&'()*+,;=:@"));
    }
    url.setPath(path, QUrl::TolerantMode);
    return ToolOperands::svnPegged(url.toString(QUrl::FullyEncoded), pegRevision);
}
