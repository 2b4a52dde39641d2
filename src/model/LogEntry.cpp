#include "LogEntry.h"

namespace LogText {

QString summary(const QString &message)
{
    const QString text = message.trimmed();
    return text.isEmpty() ? QStringLiteral("(no message)") : text;
}

QString displayRevision(qint64 revision, const std::optional<QString> &commitHash)
{
    if (commitHash)
        return commitHash->left(7);
    return u'r' + QString::number(revision);
}

} // namespace LogText
