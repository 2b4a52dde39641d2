#include "AppState.h"

#include "model/TextUtil.h"
#include "parsers/UnifiedDiffParser.h"
#include "state/RepositoryDetection.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QFile>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 largestUnversionedDiff = 16 * 1024 * 1024;
// No argument can carry such a name to git diff or git show, and neither reads names from a file.
const QByteArray undecodableNameDiff = QByteArrayLiteral("(no diff: the file name is not valid UTF-8)");

// The diff of a file that is not under version control: every line added. Only regular files are
// read, and nothing over 16 MiB. The file is reached by its exact bytes: its name may not be UTF-8.
QByteArray localUnifiedDiff(const QString &path, const QString &root)
{
    const QByteArray native = workingCopyNativePath(path, root);
    struct stat info;
    if (::stat(native.constData(), &info) != 0)
        return QByteArrayLiteral("(file not found)");
    if (S_ISDIR(info.st_mode))
        return QByteArrayLiteral("(unversioned directory)");
    if (!S_ISREG(info.st_mode) || info.st_size > largestUnversionedDiff)
        return QByteArrayLiteral("(binary or unreadable file)");
    const int descriptor = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    QFile file;
    if (descriptor < 0 || !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (descriptor >= 0)
            ::close(descriptor);
        return QByteArrayLiteral("(binary or unreadable file)");
    }
    const QByteArray bytes = file.read(largestUnversionedDiff + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > largestUnversionedDiff || !TextUtil::isValidUtf8(bytes))
        return QByteArrayLiteral("(binary or unreadable file)");
    return UnifiedDiffParser::unversionedFileDiff(TextUtil::displayFileName(path), TextUtil::decodeUtf8Strict(bytes))
        .toUtf8();
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

// Output left undecoded by the run, checked on a worker when it is large.
QCoro::Task<QByteArray> diffOutput(std::shared_ptr<const ToolRunScope> scope, QByteArray output)
{
    constexpr qsizetype checkedOnTheSpot = 256 * 1024;
    if (output.size() <= checkedOnTheSpot)
        co_return printedDiff(std::move(output));
    co_return co_await awaitInScope(std::move(scope), QtConcurrent::run(printedDiff, std::move(output)));
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

ToolRun diffRun(QStringList arguments, const QString &folder)
{
    return ToolRun{std::move(arguments), folder, false, {}, false};
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
            SVNCommandResult result = co_await tool.run(diffRun(arguments, project->path));
            // Before the first commit there is no HEAD: a staged new file is compared with the empty tree.
            if (git && !result.succeeded() && co_await gitUnbornBranch(gitClient(), project->path)) {
                const QStringList emptyTreeArguments{QStringLiteral("hash-object"), QStringLiteral("-t"),
                    QStringLiteral("tree"), QStringLiteral("/dev/null")};
                const SVNCommandResult emptyTree = co_await gitClient().run(emptyTreeArguments, project->path);
                result = co_await tool.run(diffRun(gitDiff(emptyTree.stdout.trimmed()), project->path));
            }
            text = co_await diffOutput(m_runScope, std::move(result.stdoutData));
            if (TextUtil::holdsOnlyNewlines(QByteArrayView(text))) {
                if (!result.succeeded() && !result.stderr.isEmpty())
                    text = result.stderr.toUtf8();
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
            QStringLiteral("--find-renames"), QStringLiteral("--no-ext-diff"), QStringLiteral("--no-color"),
            QStringLiteral("--src-prefix=a/"), QStringLiteral("--dst-prefix=b/"), *selected->commitHash,
            QStringLiteral("--"), path};
    } else {
        const std::optional<QString> url = repositoryURL(path, revision);
        arguments = {QStringLiteral("diff"), QStringLiteral("-c"), QString::number(revision),
            url ? *url : ToolOperands::svnPath(path)};
    }
    const LoadTicket ticket = m_loads.begin(LoadGroup::historyDiff, project->id);
    const ToolRunScope::Marked marked(*m_runScope, ticket.runs);
    QByteArray text;
    try {
        ToolClient &tool = toolFor(project->kind);
        SVNCommandResult result = co_await tool.run(diffRun(arguments, project->path));
        text = revisionDiffText(co_await diffOutput(m_runScope, std::move(result.stdoutData)), result);
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
        SVNCommandResult result = co_await client().run(diffRun(arguments, project->path));
        text = revisionDiffText(co_await diffOutput(m_runScope, std::move(result.stdoutData)), result);
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
