#include "CheckoutNames.h"

#include <algorithm>

#include <QStringList>

bool looksLikeGitRepositoryURL(const QString &url)
{
    return url.endsWith(QStringLiteral(".git")) || url.startsWith(QStringLiteral("git@"))
        || url.startsWith(QStringLiteral("ssh://git@"));
}

bool looksLikeSVNOnlyURL(const QString &url)
{
    const qsizetype schemeEnd = url.indexOf(QStringLiteral("://"));
    const QString scheme = url.left(std::max<qsizetype>(schemeEnd, 0)).toLower();
    return scheme == u"svn" || scheme.startsWith(QStringLiteral("svn+"));
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
