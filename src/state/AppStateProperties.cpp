#include "AppState.h"

#include "state/ActionForms.h"
#include "tools/ToolOperands.h"

namespace {

QString defaultPropertyPath(const std::optional<QString> &selectedChangeID)
{
    return selectedChangeID.value_or(QStringLiteral("."));
}

// The typed path of a property change as svn is to get it; a local one only once it is judged inside
// the project, since svn follows a link it does not version into another working copy. Nothing when
// refused (alerted).
std::optional<TypedWorkingCopyPath> changedPropertyPath(AppState &state, const QString &typed)
{
    if (ToolOperands::svnURL(typed))
        return TypedWorkingCopyPath{typed};
    return acceptWorkingCopyPath(state, typed);
}

// Get Property and Delete Property: a name and a path, then one svn subcommand on them.
void runOnPropertyName(AppState &state, const QString &title, const QString &subcommand, AppState::AfterRun after)
{
    const QString selection = state.selectedChangeID().value_or(QString());
    const auto values = state.prompt(title,
        {{QStringLiteral("name"), QStringLiteral("Name"), QString()},
            {QStringLiteral("path"), QStringLiteral("Path"), defaultPropertyPath(state.selectedChangeID())}});
    if (!values)
        return;
    const QString name = values->value(QStringLiteral("name"));
    const QString path = values->value(QStringLiteral("path"));
    if (name.isEmpty() || path.isEmpty())
        return;
    // Delete Property, which reloads after, writes; Get Property reads any path, as Cat does.
    const std::optional<TypedWorkingCopyPath> target
        = after == AppState::AfterRun::reload ? changedPropertyPath(state, path) : TypedWorkingCopyPath{path};
    if (!target)
        return;
    const QString operand = ToolOperands::svnFormPath(target->path, selection);
    runOnTypedPath(state,
        {title, RepositoryKind::svn, {ToolOperands::svnArguments({subcommand}, {name, operand})}, after}, *target);
}

} // namespace

void AppState::listProperties()
{
    const QString selection = m_selectedChangeID.value_or(QString());
    const QString path = promptValue(QStringLiteral("Properties"),
        {QStringLiteral("path"), QStringLiteral("Path"), defaultPropertyPath(m_selectedChangeID)})
                             .value_or(QString());
    if (path.isEmpty())
        return;
    runInSelectedProject({QStringLiteral("Properties"), RepositoryKind::svn,
        {ToolOperands::svnArguments(
            {QStringLiteral("proplist"), QStringLiteral("-v")}, {ToolOperands::svnFormPath(path, selection)})},
        AfterRun::nothing});
}

void AppState::getProperty()
{
    runOnPropertyName(*this, QStringLiteral("Get Property"), QStringLiteral("propget"), AfterRun::nothing);
}

void AppState::setProperty()
{
    const QString selection = m_selectedChangeID.value_or(QString());
    const auto values = prompt(QStringLiteral("Set Property"),
        {{QStringLiteral("name"), QStringLiteral("Name"), QString()},
            {QStringLiteral("value"), QStringLiteral("Value"), QString()},
            {QStringLiteral("path"), QStringLiteral("Path"), defaultPropertyPath(m_selectedChangeID)}});
    if (!values)
        return;
    const QString name = values->value(QStringLiteral("name"));
    const QString value = values->value(QStringLiteral("value"));
    const QString path = values->value(QStringLiteral("path"));
    if (name.isEmpty() || path.isEmpty())
        return;
    const std::optional<TypedWorkingCopyPath> target = changedPropertyPath(*this, path);
    if (!target)
        return;
    // An empty value is a value: it is passed as an empty argument. A value such as "-F<file>" or
    // "--help" is a value too, never an option. One too long for the command line goes through a file,
    // which svn reads byte for byte.
    ToolCommand command(ToolOperands::svnArguments(
        {QStringLiteral("propset")}, {name, value, ToolOperands::svnFormPath(target->path, selection)}));
    command.fileValue = command.arguments.size() - 2;
    runOnTypedPath(*this, {QStringLiteral("Set Property"), RepositoryKind::svn, {command}, AfterRun::reload}, *target);
}

void AppState::deleteProperty()
{
    runOnPropertyName(*this, QStringLiteral("Delete Property"), QStringLiteral("propdel"), AfterRun::reload);
}

void AppState::setSVNExecutable()
{
    const std::optional<QString> chosen = choosePath(*this,
        {.title = QStringLiteral("Choose svn Executable"), .canChooseFiles = true, .canChooseDirectories = false});
    if (!chosen)
        return;
    // Not tested here: a broken choice shows as the next run's launch failure.
    saveSVNExecutable(*chosen);
}

void AppState::resetSVNExecutable()
{
    saveSVNExecutable(std::nullopt);
}

void AppState::saveSVNExecutable(const std::optional<QString> &path)
{
    QFuture<std::optional<QString>> saving
        = m_projectStore.startSetting(QString::fromUtf16(explicitSVNExecutableDefaultsKey), path);
    startLoadTask([this, saving] { return reportSVNExecutableSaved(saving); }, false);
}

QCoro::Task<> AppState::reportSVNExecutableSaved(QFuture<std::optional<QString>> saving)
{
    if (const std::optional<QString> failure = co_await awaitInScope(m_runScope, std::move(saving))) {
        showAlert(QStringLiteral("svn Executable Not Saved"),
            QStringLiteral("The choice of svn executable could not be saved in ") + m_projectStore.fileName()
                + QStringLiteral(": ") + *failure + u'.');
        co_return;
    }
    // Nothing is ever set in these settings, so this only reads the file again.
    m_settings->sync();
}
