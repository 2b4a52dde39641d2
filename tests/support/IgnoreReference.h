#pragma once

#include "parsers/IgnoreRules.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

// The ignore decisions computed the slow, obvious way: every rule tested in load order, every glob
// translated and compiled afresh. The tests and the benchmark hold the fast matcher against it.
namespace IgnoreReference {

inline QString normalizePath(const QString &path)
{
    QStringList kept;
    for (const QString &piece : path.split(u'/')) {
        if (!piece.isEmpty() && piece != u".")
            kept.append(piece);
    }
    return kept.join(u'/');
}

// The pattern as a list of characters, a surrogate pair being one character.
inline QStringList characters(const QString &text)
{
    QStringList result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            result.append(text.mid(i, 2));
            ++i;
        } else {
            result.append(QString(text[i]));
        }
    }
    return result;
}

inline std::optional<qsizetype> closingBracketIndex(const QStringList &chars, qsizetype start)
{
    for (qsizetype i = start + 1; i < chars.size(); ++i) {
        if (chars[i] == u"]")
            return i;
    }
    return std::nullopt;
}

inline QString regexCharacterClass(QStringList members)
{
    if (members.isEmpty())
        return QRegularExpression::escape(u"[") + QRegularExpression::escape(u"]");
    QString result = QStringLiteral("[");
    if (members.first() == u"!") {
        result += u"^";
        members.removeFirst();
    }
    for (const QString &member : members)
        result += (member == u"\\" || member == u"]" || member == u"^") ? QStringLiteral("\\") + member : member;
    return result + u']';
}

inline QString regexPattern(const QString &pattern)
{
    const QStringList chars = characters(pattern);
    QString result;
    qsizetype i = 0;
    while (i < chars.size()) {
        const QString &c = chars[i];
        if (c == u"\\" && i + 1 < chars.size()) {
            result += QRegularExpression::escape(chars[i + 1]);
            i += 2;
        } else if (c == u"\\") {
            result += QRegularExpression::escape(u"\\");
            i += 1;
        } else if (c == u"*" && i + 1 < chars.size() && chars[i + 1] == u"*") {
            result += u".*";
            i += 2;
        } else if (c == u"*") {
            result += u"[^/]*";
            i += 1;
        } else if (c == u"?") {
            result += u"[^/]";
            i += 1;
        } else if (c == u"[" && closingBracketIndex(chars, i)) {
            const qsizetype close = *closingBracketIndex(chars, i);
            result += regexCharacterClass(chars.mid(i + 1, close - i - 1));
            i = close + 1;
        } else {
            result += QRegularExpression::escape(c);
            i += 1;
        }
    }
    return result;
}

inline bool glob(const QString &pattern, const QString &text)
{
    const QRegularExpression expression(QRegularExpression::anchoredPattern(regexPattern(pattern)));
    if (!expression.isValid())
        return false;
    return expression.match(text).hasMatch();
}

inline bool containsGlob(const QString &pattern)
{
    const QStringList chars = characters(pattern);
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (chars[i] == u"\\")
            ++i;
        else if (chars[i] == u"*" || chars[i] == u"?" || chars[i] == u"[")
            return true;
    }
    return false;
}

inline QStringList ancestorPrefixes(const QString &path)
{
    const QStringList components = path.split(u'/', Qt::SkipEmptyParts);
    QStringList prefixes;
    for (qsizetype n = 1; n < components.size(); ++n)
        prefixes.append(components.mid(0, n).join(u'/'));
    return prefixes;
}

inline std::optional<QString> relativePath(const IgnoreRule &rule, const QString &path)
{
    if (rule.basePath.isEmpty())
        return path;
    if (path == rule.basePath)
        return std::nullopt;
    if (path.startsWith(rule.basePath + u'/'))
        return path.mid(rule.basePath.size() + 1);
    return std::nullopt;
}

inline bool matchesPathPattern(const IgnoreRule &rule, const QString &relative, bool isDirectory)
{
    if (glob(rule.pattern, relative))
        return rule.directoryOnly ? isDirectory : true;
    if (rule.pattern.endsWith(u"/*")) {
        const QString prefix = rule.pattern.chopped(2);
        if (!prefix.isEmpty() && isDirectory && glob(prefix, relative))
            return true;
    }
    for (const QString &prefix : ancestorPrefixes(relative)) {
        if (glob(rule.pattern, prefix))
            return true;
    }
    return false;
}

inline bool matches(const IgnoreRule &rule, const QString &path, bool isDirectory)
{
    const std::optional<QString> relative = relativePath(rule, path);
    if (!relative || relative->isEmpty())
        return false;
    if (rule.anchored || rule.hasSlash)
        return matchesPathPattern(rule, *relative, isDirectory);
    const QStringList components = relative->split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (glob(rule.pattern, components[i])) {
            if (rule.directoryOnly)
                return isDirectory || i != components.size() - 1;
            return true;
        }
    }
    return false;
}

// Absent for none; true for ignored, false for included.
inline std::optional<bool> decision(const QList<IgnoreRule> &rules, const QString &path, bool isDirectory)
{
    const QString normalized = normalizePath(path);
    if (normalized.isEmpty())
        return std::nullopt;
    std::optional<bool> result;
    for (const IgnoreRule &rule : rules) {
        if (matches(rule, normalized, isDirectory))
            result = !rule.isNegated;
    }
    return result;
}

inline bool canMatchDescendant(const IgnoreRule &rule, const QString &folder)
{
    if (containsGlob(rule.pattern)) {
        return rule.basePath.isEmpty() || folder == rule.basePath || folder.startsWith(rule.basePath + u'/')
            || rule.basePath.startsWith(folder + u'/');
    }
    const QString fixedPath = rule.basePath.isEmpty() ? rule.pattern : rule.basePath + u'/' + rule.pattern;
    if (fixedPath == folder || fixedPath.startsWith(folder + u'/'))
        return true;
    return !rule.anchored && !rule.hasSlash;
}

inline bool hasIncludedDescendant(const QList<IgnoreRule> &rules, const QString &folder)
{
    const QString normalized = normalizePath(folder);
    for (const IgnoreRule &rule : rules) {
        if (rule.isNegated && (normalized.isEmpty() || canMatchDescendant(rule, normalized)))
            return true;
    }
    return false;
}

// The rules as "base:pattern" texts (the pattern alone at the project folder), in load order.
inline QStringList patternsOf(const IgnoreRules &rules)
{
    QStringList patterns;
    for (const IgnoreRule &rule : rules.rules())
        patterns.append(rule.basePath.isEmpty() ? rule.pattern : rule.basePath + u':' + rule.pattern);
    return patterns;
}

} // namespace IgnoreReference
