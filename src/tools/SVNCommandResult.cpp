#include "SVNCommandResult.h"

SVNClientError::SVNClientError(std::variant<QString, SVNCommandResult> payload) : m_payload(std::move(payload))
{
    m_what = description().toUtf8();
}

SVNClientError SVNClientError::launchFailed(QString message)
{
    return SVNClientError(std::move(message));
}

SVNClientError SVNClientError::commandFailed(SVNCommandResult result)
{
    return SVNClientError(std::move(result));
}

namespace {

// Standard error that gives no reason: every line that says something is a warning, git's
// "warning: ..." or svn's "svn: warning: W...".
bool holdsOnlyWarnings(const QString &stderrText)
{
    for (QStringView line : QStringView(stderrText).tokenize(u'\n')) {
        if (line.trimmed().isEmpty())
            continue;
        if (!line.startsWith(u"warning:") && !line.startsWith(u"svn: warning: W"))
            return false;
    }
    return true;
}

// Why the tool failed: its standard error, else its standard output. Where standard error only warns,
// the reason went to standard output: git warns there about line ends and then says "nothing to
// commit, working tree clean" on standard output.
QString failureReason(const SVNCommandResult &failed)
{
    if (failed.stderr.isEmpty())
        return failed.stdout;
    if (failed.stdout.trimmed().isEmpty() || !holdsOnlyWarnings(failed.stderr))
        return failed.stderr;
    if (failed.stderr.trimmed().isEmpty())
        return failed.stdout;
    return failed.stderr + (failed.stderr.endsWith(u'\n') ? QString() : QStringLiteral("\n")) + failed.stdout;
}

} // namespace

QString SVNClientError::description() const
{
    if (const QString *message = std::get_if<QString>(&m_payload))
        return *message;
    const SVNCommandResult &failed = std::get<SVNCommandResult>(m_payload);
    const QString printed = failureReason(failed);
    if (failed.terminationSignal) {
        // An exit status of 9 and a kill by signal 9 must not read alike, and the tool's progress
        // lines say nothing about why it stopped.
        const QString sentence
            = QStringLiteral("Command was terminated by signal ") + QString::number(*failed.terminationSignal) + u'.';
        return printed.isEmpty() ? sentence : sentence + u'\n' + printed;
    }
    if (!printed.isEmpty())
        return printed;
    return QStringLiteral("Command exited with status ") + QString::number(failed.status) + u'.';
}

QString errorDescription(const std::exception &error)
{
    if (const auto *clientError = dynamic_cast<const SVNClientError *>(&error))
        return clientError->description();
    return QString::fromUtf8(error.what());
}

namespace {

bool isShellSpecial(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'"':
    case u'\'':
    case u'\\':
    case u'$':
    case u';':
    case u'&':
    case u'|':
    case u'(':
    case u')':
    case u'<':
    case u'>':
    case u'*':
    case u'?':
    case u'[':
    case u']':
    case u'{':
    case u'}':
    case u'!':
        return true;
    default:
        return false;
    }
}

QString quoted(const QString &element)
{
    if (std::none_of(element.begin(), element.end(), isShellSpecial))
        return element;
    QString result;
    result.reserve(element.size() + 2);
    result += u'\'';
    for (QChar c : element) {
        if (c == u'\'')
            result += QStringLiteral("'\\''");
        else
            result += c;
    }
    result += u'\'';
    return result;
}

} // namespace

QString shellEscaped(const QStringList &arguments)
{
    QStringList parts;
    parts.reserve(arguments.size());
    for (const QString &argument : arguments)
        parts.push_back(quoted(argument));
    return parts.join(u' ');
}
