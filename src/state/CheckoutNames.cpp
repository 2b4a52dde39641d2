#include "CheckoutNames.h"

#include <QStringList>

bool looksLikeGitRepositoryURL(const QString &url)
{
    return url.endsWith(QStringLiteral(".git")) || url.startsWith(QStringLiteral("git@"))
        || url.startsWith(QStringLiteral("ssh://git@"));
}

QString defaultCheckoutFolderName(const QString &url)
{
    const QStringList pieces = url.split(u'/', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return QStringLiteral("Working Copy");
    QString name = pieces.last();
    name.remove(QStringLiteral(".svn"));
    name.remove(QStringLiteral(".git"));
    return name;
}

QString defaultExportFolderName(const QString &source)
{
    const QStringList pieces = source.split(u'/', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QStringLiteral("Export") : pieces.last();
}
