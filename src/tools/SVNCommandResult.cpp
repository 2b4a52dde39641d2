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

QString SVNClientError::description() const
{
    if (const QString *message = std::get_if<QString>(&m_payload))
        return *message;
    const SVNCommandResult &failed = std::get<SVNCommandResult>(m_payload);
    const QString &printed = !failed.stderr.isEmpty() ? failed.stderr : failed.stdout;
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
