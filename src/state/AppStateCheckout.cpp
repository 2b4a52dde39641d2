#include "AppState.h"

#include "model/TextUtil.h"
#include "state/ActionForms.h"
#include "state/CheckoutNames.h"
#include "state/RepositoryDetection.h"
#include "state/RunOutputs.h"
#include "state/WorkingCopyPaths.h"
#include "tools/ToolOperands.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Alerts and gives false unless the name stays inside the chosen parent folder.
bool acceptFolderName(AppState &state, const QString &name)
{
    // "." or ".." or a name with a slash would put the new folder into the parent itself or elsewhere.
    if (name == u"." || name == u".." || name.contains(u'/') || name.contains(QChar(0))) {
        state.showAlert(QStringLiteral("Folder Name Invalid"), QStringLiteral("Enter a single folder name."));
        return false;
    }
    return true;
}

// Both checkouts failed: svn's reason, a blank line, then git's; the sheet holds both runs, svn's first.
void showCheckoutError(AppState &state, const std::optional<QString> &svnMessage,
    const std::optional<SVNCommandResult> &svnRun, const std::exception &gitError)
{
    const QString title = QStringLiteral("Checkout Failed");
    if (!svnMessage) {
        state.showError(title, gitError);
        return;
    }
    const auto *clientError = dynamic_cast<const SVNClientError *>(&gitError);
    if (clientError && clientError->isCommandFailed()) {
        SVNCommandResult shown = clientError->result();
        if (svnRun) {
            shown.commandLine = svnRun->commandLine + u'\n' + shown.commandLine;
            const auto followedBy = [](auto first, const auto &second) {
                if (!first.isEmpty() && !first.endsWith('\n'))
                    first += '\n';
                return first + second;
            };
            shown.stdout = followedBy(svnRun->stdout, shown.stdout);
            shown.stderr = followedBy(svnRun->stderr, shown.stderr);
            shown.stdoutData = followedBy(svnRun->stdoutData, shown.stdoutData);
            shown.stderrData = followedBy(svnRun->stderrData, shown.stderrData);
        }
        state.showRunOutput(title, shown);
    } else if (svnRun) {
        state.showRunOutput(title, *svnRun);
    }
    QString message = *svnMessage;
    while (message.endsWith(u'\n') || message.endsWith(u'\r'))
        message.chop(1);
    state.showAlert(title, message + QStringLiteral("\n\n") + errorDescription(gitError));
}

QCoro::Task<> createRepositoryTask(AppState &state, QString path)
{
    state.setBusyMessage(QStringLiteral("Creating repository"));
    const QStringList arguments{QStringLiteral("create"), path};
    SVNCommandResult result;
    try {
        result = co_await state.adminClient().run(arguments, QString());
    } catch (const std::exception &error) {
        state.setBusyMessage(std::nullopt);
        state.showError(QStringLiteral("Create SVN Repository Failed"), error);
        co_return;
    }
    state.setBusyMessage(std::nullopt);
    state.showRunOutput(QStringLiteral("Create SVN Repository"), result);
}

// A parent folder from an open panel, then a new folder's name from a form: the new folder's path,
// or nothing when the user cancelled or the name was refused.
std::optional<QString> chooseNewFolder(
    AppState &state, const QString &panelTitle, const QString &formTitle, const QString &defaultName)
{
    const std::optional<QString> parent = choosePath(state,
        {.title = panelTitle, .canChooseFiles = false, .canChooseDirectories = true, .canCreateDirectories = true});
    if (!parent)
        return std::nullopt;

    const auto folder = state.prompt(formTitle, {{QStringLiteral("name"), QStringLiteral("Folder Name"), defaultName}});
    if (!folder)
        return std::nullopt;
    const QString name = folder->value(QStringLiteral("name"));
    if (name.isEmpty() || !acceptFolderName(state, name))
        return std::nullopt;
    return TextUtil::appendingPathComponent(*parent, name);
}

// svn checked everything out and only an svn:externals definition failed: it says "Checked out
// revision N." and exits 1 with E205011 as its one error.
bool onlyExternalsFailed(const SVNCommandResult &result)
{
    bool checkedOut = false;
    for (const QStringView line : QStringView(result.stdout).split(u'\n')) {
        if (line.startsWith(u"Checked out revision "))
            checkedOut = true;
    }
    bool externalsError = false;
    for (const QStringView line : QStringView(result.stderr).split(u'\n')) {
        if (!line.startsWith(u"svn: E"))
            continue;
        if (!line.startsWith(u"svn: E205011:"))
            return false;
        externalsError = true;
    }
    return checkedOut && externalsError && !result.terminationSignal;
}

// The folder itself, for a search below it.
QStringList wholeFolder()
{
    return {QStringLiteral(".")};
}

// svn import of the folder, leaving out the nested Git repositories' own folders found in it.
RunRequest importRequest(const QString &source, const QString &url, const QString &message, QStringList nestedGit)
{
    QStringList leading{QStringLiteral("import")};
    RunRequest request{QStringLiteral("Import"), RepositoryKind::svn};
    if (!nestedGit.isEmpty()) {
        // svn import takes no paths to leave out, only its global ignores: ".git" joins the user's own.
        leading += {QStringLiteral("--config-option"),
            QStringLiteral("config:miscellany:global-ignores=") + SVNClient::globalIgnores() + QStringLiteral(" .git")};
        for (QString &entry : nestedGit)
            entry.remove(0, 2);
        request.note
            = QStringLiteral("\nLeft out, as a Git repository's own: ") + nestedGit.join(QStringLiteral(", ")) + u'\n';
    }
    // svn takes both operands of import verbatim, "@" included.
    request.runs = {ToolOperands::svnArguments(leading, {source, url}, {QStringLiteral("-m"), message})};
    return request;
}

} // namespace

void AppState::checkoutRepository()
{
    const auto source
        = prompt(QStringLiteral("Checkout"), {{QStringLiteral("url"), QStringLiteral("Repository URL"), {}}});
    if (!source)
        return;
    const QString url = source->value(QStringLiteral("url"));
    if (url.isEmpty() || !acceptURL(*this, url))
        return;

    const std::optional<QString> destination = chooseNewFolder(*this, QStringLiteral("Choose Checkout Parent Folder"),
        QStringLiteral("Checkout Folder"), defaultCheckoutFolderName(url));
    if (!destination)
        return;
    startTask([this, url, destination = *destination] { return checkoutTask(url, destination); });
}

QCoro::Task<> AppState::checkoutTask(QString url, QString destination)
{
    setBusyMessage(QStringLiteral("Checkout"));
    // A folder the checkout makes is the program's until svn or git has made a working copy in it: a
    // stopped or quit checkout, or one that made none, leaves nothing of it (git refuses a folder
    // that is not empty). What stood there before is the user's and stays; a symbolic link counts as
    // there.
    const QFileInfo destinationInfo(destination);
    const QString made = destinationInfo.exists() || destinationInfo.isSymLink() ? QString() : destination;
    ScopedTemporary madeFolder(m_runScope, made);
    const QStringList cloneArguments{QStringLiteral("clone"), url, destination};
    std::optional<SVNCommandResult> result;
    // Kept for the alert when the git attempt fails as well: svn's reason (a certificate, a password)
    // is usually the one that matters for an svn URL.
    std::optional<QString> svnMessage;
    std::optional<SVNCommandResult> svnRun;
    if (!looksLikeGitRepositoryURL(url)) {
        const QStringList checkoutArguments{QStringLiteral("checkout"), url, destination};
        const QString administrativeFolder = TextUtil::appendingPathComponent(destination, QStringLiteral(".svn"));
        const bool workingCopyBefore = QFileInfo::exists(administrativeFolder);
        try {
            result = co_await client().run(checkoutArguments, QString());
        } catch (const std::exception &error) {
            const std::shared_ptr<ToolRunMark> &mark = m_runScope->currentMark();
            const bool stopped = mark && mark->ended();
            const auto *clientError = dynamic_cast<const SVNClientError *>(&error);
            if (!stopped && clientError && clientError->isCommandFailed()
                && onlyExternalsFailed(clientError->result())) {
                result = clientError->result();
            } else if (!stopped && clientError && clientError->isCommandFailed() && !workingCopyBefore
                && QFileInfo::exists(administrativeFolder)) {
                // Cut short midway (a dropped connection): what svn fetched stays for Cleanup and Update.
                madeFolder.release();
                setBusyMessage(std::nullopt);
                showRunOutput(QStringLiteral("Checkout Failed"), clientError->result());
                showAlert(QStringLiteral("Checkout Failed"),
                    errorDescription(error)
                        + QStringLiteral("\n\nsvn stopped before the checkout finished. What it "
                                         "fetched is in ")
                        + destination
                        + QStringLiteral("; run Cleanup, then Update there to finish it (add the folder with Add "
                                         "Existing Working Copy first)."));
                co_return;
            } else {
                // git would refuse what svn left of the folder.
                madeFolder.reset();
                madeFolder = ScopedTemporary(m_runScope, made);
                // git has no transport for svn's own schemes: its failure would only bury svn's reason.
                if (looksLikeSVNOnlyURL(url)) {
                    setBusyMessage(std::nullopt);
                    showError(QStringLiteral("Checkout Failed"), error);
                    co_return;
                }
                svnMessage = errorDescription(error);
                if (clientError && clientError->isCommandFailed())
                    svnRun = clientError->result();
            }
        } catch (const ToolRunAbandoned &) {
            throw;
        } catch (...) { }
    }
    if (!result) {
        try {
            result = co_await gitClient().run(cloneArguments, QString());
        } catch (const std::exception &error) {
            madeFolder.reset();
            setBusyMessage(std::nullopt);
            showCheckoutError(*this, svnMessage, svnRun, error);
            co_return;
        }
    }
    madeFolder.release();
    setBusyMessage(std::nullopt);
    showRunOutput(QStringLiteral("Checkout"), *result);

    if (!QFileInfo::exists(destination))
        co_return;
    std::pair<QString, RepositoryKind> detected;
    try {
        detected = co_await detectRepository(client(), gitClient(), destination);
    } catch (const std::exception &error) {
        setBusyMessage(std::nullopt);
        showError(QStringLiteral("Checkout Failed"), error);
        co_return;
    }
    addProject(detected.first, detected.second);
}

void AppState::createSVNRepository()
{
    if (!m_dialogs)
        return;
    SavePanelOptions options;
    options.title = QStringLiteral("Create SVN Repository");
    options.message = QStringLiteral("Choose where to create a local SVN repository.");
    options.prompt = QStringLiteral("Create");
    options.nameFieldLabel = QStringLiteral("Repository Name:");
    options.nameFieldValue = QStringLiteral("NewRepository");
    options.canCreateDirectories = true;
    const std::optional<QString> chosen = m_dialogs->savePanel(options);
    if (!chosen)
        return;
    const QString path = TextUtil::standardizedPath(*chosen);
    if (TextUtil::lastPathComponent(path).isEmpty()) {
        showAlert(QStringLiteral("Repository Name Required"),
            QStringLiteral("Choose a folder name for the new SVN repository."));
        return;
    }
    startTask([this, path] { return createRepositoryTask(*this, path); });
}

void AppState::importDirectory()
{
    const std::optional<QString> source = choosePath(*this,
        {.title = QStringLiteral("Choose Directory To Import"), .canChooseFiles = false, .canChooseDirectories = true});
    if (!source)
        return;
    const auto form = promptURLAndMessage(*this, QStringLiteral("Import"), QStringLiteral("Initial import"));
    if (!form)
        return;
    startTask([this, source = *source, url = form->url, message = form->message] {
        return importTask(source, url, message);
    });
}

QCoro::Task<> AppState::importTask(QString source, QString url, QString message)
{
    // A folder may be a large tree: it is searched for nested repositories off the window's thread.
    setBusyMessage(QStringLiteral("Import"));
    const QStringList nestedGit
        = co_await awaitInScope(m_runScope, QtConcurrent::run(nestedGitEntries, wholeFolder(), source));
    RunRequest request = importRequest(source, url, message, nestedGit);
    co_await runRequest(std::move(request), QString());
}

void AppState::exportRepository()
{
    const QString source = promptValue(QStringLiteral("Export"),
        {QStringLiteral("source"), QStringLiteral("URL Or Path"), m_repositoryInfo.url.value_or(QString())})
                               .value_or(QString());
    if (source.isEmpty())
        return;

    const std::optional<QString> destination
        = chooseNewFolder(*this, QStringLiteral("Choose Export Destination Parent"), QStringLiteral("Export Folder"),
            defaultExportFolderName(source));
    if (!destination)
        return;

    // A typed source may name a peg revision; the new folder cannot. A relative source is a path inside
    // the selected project's folder.
    const QStringList arguments
        = ToolOperands::svnArguments({QStringLiteral("export")}, {source, ToolOperands::svnNewTarget(*destination)});
    startTask([this, arguments] {
        return runInSelectedFolder({QStringLiteral("Export"), RepositoryKind::svn, {arguments}, AfterRun::nothing});
    });
}
