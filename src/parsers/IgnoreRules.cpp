#include "IgnoreRules.h"

namespace {

// One pass over the characters: every path of a status is asked, several times over.
bool isNormalized(QStringView path)
{
    // The length of the piece read so far, and whether it is only ".".
    qsizetype pieceLength = 0;
    bool dotOnly = false;
    for (const QChar c : path) {
        if (c == u'/') {
            if (pieceLength == 0 || dotOnly)
                return false;
            pieceLength = 0;
            continue;
        }
        dotOnly = pieceLength == 0 && c == u'.';
        ++pieceLength;
    }
    return path.isEmpty() || (pieceLength > 0 && !dotOnly);
}

} // namespace

QString IgnoreRules::normalizePath(const QString &path)
{
    if (isNormalized(path))
        return path;
    QStringList pieces;
    for (QStringView piece : QStringView(path).split(u'/', Qt::SkipEmptyParts)) {
        if (piece != u".")
            pieces.append(piece.toString());
    }
    return pieces.join(u'/');
}

QString IgnoreRule::trimmingUnescapedTrailingSpaces(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ') {
        qsizetype backslashes = 0;
        while (end - 2 - backslashes >= 0 && text.at(end - 2 - backslashes) == u'\\')
            ++backslashes;
        if (backslashes % 2 == 1)
            break;
        --end;
    }
    return end == text.size() ? text : text.left(end);
}

std::optional<IgnoreRule> IgnoreRule::fromLine(const QString &line, const QString &basePath)
{
    QString text = line;
    if (text.endsWith(u'\r'))
        text.chop(1);
    text = trimmingUnescapedTrailingSpaces(text);
    if (text.isEmpty() || text.startsWith(u'#'))
        return std::nullopt;

    IgnoreRule rule;
    if (text.startsWith(u'!')) {
        rule.isNegated = true;
        text.remove(0, 1);
    } else if (text.startsWith(u"\\#") || text.startsWith(u"\\!")) {
        text.remove(0, 1);
    }
    if (text.isEmpty())
        return std::nullopt;

    while (text.endsWith(u'/')) {
        text.chop(1);
        rule.directoryOnly = true;
    }
    qsizetype leadingSlashes = 0;
    while (leadingSlashes < text.size() && text.at(leadingSlashes) == u'/')
        ++leadingSlashes;
    if (leadingSlashes > 0) {
        text.remove(0, leadingSlashes);
        rule.anchored = true;
    }
    if (text.isEmpty())
        return std::nullopt;

    rule.basePath = IgnoreRules::normalizePath(basePath);
    rule.hasSlash = text.contains(u'/');
    rule.pattern = std::move(text);
    return rule;
}

QList<IgnoreRule> IgnoreRules::rulesFromText(const QString &text, const QString &basePath)
{
    QList<IgnoreRule> rules;
    for (const QString &line : text.split(u'\n')) {
        if (auto rule = IgnoreRule::fromLine(line, basePath))
            rules.append(std::move(*rule));
    }
    return rules;
}
