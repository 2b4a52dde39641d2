#include "IgnoreRules.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

// A surrogate pair is one character: it is escaped, skipped or copied whole.
qsizetype characterLength(QStringView text, qsizetype at)
{
    if (at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate())
        return 2;
    return 1;
}

bool containsGlob(QStringView pattern)
{
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\\')
            ++i;
        else if (c == u'*' || c == u'?' || c == u'[')
            return true;
    }
    return false;
}

// The first "]" after the "[" at start; backslashes do not escape it.
qsizetype closingBracketIndex(QStringView pattern, qsizetype start)
{
    return pattern.indexOf(u']', start + 1);
}

QString regexCharacterClass(QStringView members)
{
    if (members.isEmpty())
        return QRegularExpression::escape(u"[") + QRegularExpression::escape(u"]");
    QString result(u'[');
    if (members.front() == u'!') {
        result += u'^';
        members = members.mid(1);
    }
    for (QChar member : members) {
        if (member == u'\\' || member == u']' || member == u'^')
            result += u'\\';
        result += member;
    }
    result += u']';
    return result;
}

QString regexPattern(QStringView pattern)
{
    QString result;
    qsizetype i = 0;
    const auto appendLiteral = [&](qsizetype at) {
        const qsizetype length = characterLength(pattern, at);
        result += QRegularExpression::escape(pattern.mid(at, length));
        return length;
    };
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        if (c == u'\\') {
            if (i + 1 < pattern.size()) {
                i += 1 + appendLiteral(i + 1);
            } else {
                result += QRegularExpression::escape(u"\\");
                ++i;
            }
        } else if (c == u'*') {
            if (i + 1 < pattern.size() && pattern[i + 1] == u'*') {
                result += u".*";
                i += 2;
            } else {
                result += u"[^/]*";
                ++i;
            }
        } else if (c == u'?') {
            result += u"[^/]";
            ++i;
        } else if (c == u'[') {
            const qsizetype close = closingBracketIndex(pattern, i);
            if (close >= 0) {
                result += regexCharacterClass(pattern.mid(i + 1, close - i - 1));
                i = close + 1;
            } else {
                result += QRegularExpression::escape(u"[");
                ++i;
            }
        } else {
            i += appendLiteral(i);
        }
    }
    return result;
}

// The text a glob-free pattern stands for: each backslash escape read, a final backslash kept.
QString literalText(QStringView pattern)
{
    QString result;
    result.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'\\' && i + 1 < pattern.size())
            ++i;
        result += pattern[i];
    }
    return result;
}

// A glob pattern tested against whole texts. Glob-free patterns compare as text and "*" followed by
// glob-free text as a suffix; both answer what the anchored expression would answer, including "no
// match" for a text that is not valid UTF-16, which the expression engine rejects.
class Matcher {
public:
    Matcher() = default;
    explicit Matcher(QStringView pattern)
    {
        if (pattern.isValidUtf16()) {
            if (!containsGlob(pattern)) {
                m_kind = Kind::Text;
                m_text = literalText(pattern);
                return;
            }
            if (pattern.front() == u'*' && !(pattern.size() > 1 && pattern[1] == u'*')
                && !containsGlob(pattern.mid(1))) {
                m_kind = Kind::Suffix;
                m_text = literalText(pattern.mid(1));
                return;
            }
        }
        m_regex = QRegularExpression(QRegularExpression::anchoredPattern(regexPattern(pattern)));
        if (!m_regex.isValid())
            return;
        m_regex.optimize();
        m_kind = Kind::Regex;
    }

    bool matches(QStringView text) const
    {
        switch (m_kind) {
        case Kind::Text:
            return text == m_text && text.isValidUtf16();
        case Kind::Suffix:
            return text.endsWith(m_text) && !text.first(text.size() - m_text.size()).contains(u'/')
                && text.isValidUtf16();
        case Kind::Regex:
            return m_regex.match(text).hasMatch();
        case Kind::Nothing:
            break;
        }
        return false;
    }

private:
    enum class Kind { Nothing, Text, Suffix, Regex };
    Kind m_kind = Kind::Nothing;
    QString m_text;
    QRegularExpression m_regex;
};

struct CompiledRule {
    Matcher pattern;
    // For a pattern ending in "/*": the part before it, which also matches the folder itself.
    std::optional<Matcher> folderPattern;
    bool pathRule = false;
    bool directoryOnly = false;
    bool isNegated = false;
};

// End offsets of the components of a normalized path.
using ComponentEnds = QVarLengthArray<qsizetype, 16>;

qsizetype componentStart(const ComponentEnds &ends, qsizetype component)
{
    return component == 0 ? 0 : ends[component - 1] + 1;
}

// The rule against a path that lies strictly inside the rule's folder, which has baseDepth components.
// Whether the path is a folder is asked only where the answer depends on it.
template <typename IsDirectory>
bool ruleMatches(const CompiledRule &rule, QStringView path, const ComponentEnds &ends, qsizetype baseDepth,
    IsDirectory &isDirectory)
{
    const qsizetype count = ends.size();
    if (!rule.pathRule) {
        for (qsizetype i = baseDepth; i < count; ++i) {
            const qsizetype start = componentStart(ends, i);
            if (rule.pattern.matches(path.mid(start, ends[i] - start)))
                return !rule.directoryOnly || i != count - 1 || isDirectory();
        }
        return false;
    }
    const qsizetype relativeStart = componentStart(ends, baseDepth);
    const QStringView relative = path.mid(relativeStart);
    if (rule.pattern.matches(relative))
        return !rule.directoryOnly || isDirectory();
    if (rule.folderPattern && rule.folderPattern->matches(relative) && isDirectory())
        return true;
    for (qsizetype i = baseDepth; i + 1 < count; ++i) {
        if (rule.pattern.matches(path.mid(relativeStart, ends[i] - relativeStart)))
            return true;
    }
    return false;
}

bool liesUnder(const QString &path, const QString &folder)
{
    return path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == u'/';
}

struct ViewHash {
    using is_transparent = void;
    size_t operator()(QStringView text) const { return qHash(text); }
};

struct ViewEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const { return a == b; }
};

} // namespace

struct IgnoreRules::Compiled {
    struct NegatedRule {
        bool hasGlob = false;
        bool bareName = false;
        QString basePath;
        QString fixedPath;
    };

    explicit Compiled(const QList<IgnoreRule> &source)
    {
        rules.reserve(source.size());
        for (qsizetype index = 0; index < source.size(); ++index) {
            const IgnoreRule &rule = source[index];
            CompiledRule compiled;
            compiled.pattern = Matcher(rule.pattern);
            compiled.pathRule = rule.anchored || rule.hasSlash;
            compiled.directoryOnly = rule.directoryOnly;
            compiled.isNegated = rule.isNegated;
            if (compiled.pathRule && rule.pattern.size() > 2 && rule.pattern.endsWith(u"/*"))
                compiled.folderPattern = Matcher(QStringView(rule.pattern).chopped(2));
            rules.push_back(std::move(compiled));

            rulesByBase[rule.basePath].push_back(index);
            const qsizetype depth = rule.basePath.isEmpty() ? 0 : rule.basePath.count(u'/') + 1;
            deepestBase = std::max(deepestBase, depth);

            if (rule.isNegated) {
                NegatedRule negated;
                negated.hasGlob = containsGlob(rule.pattern);
                negated.bareName = !rule.anchored && !rule.hasSlash;
                negated.basePath = rule.basePath;
                negated.fixedPath = rule.basePath.isEmpty() ? rule.pattern : rule.basePath + u'/' + rule.pattern;
                negatedRules.push_back(std::move(negated));
            }
        }
    }

    std::vector<CompiledRule> rules;
    // Rule indices in load order, by the folder of their ignore file.
    std::unordered_map<QString, std::vector<qsizetype>, ViewHash, ViewEqual> rulesByBase;
    qsizetype deepestBase = 0;
    std::vector<NegatedRule> negatedRules;
};

IgnoreRules::IgnoreRules() = default;
IgnoreRules::IgnoreRules(QList<IgnoreRule> rules)
    : m_rules(std::move(rules)), m_compiled(std::make_shared<const Compiled>(m_rules))
{ }
IgnoreRules::~IgnoreRules() = default;
IgnoreRules::IgnoreRules(const IgnoreRules &) = default;
IgnoreRules &IgnoreRules::operator=(const IgnoreRules &) = default;
IgnoreRules::IgnoreRules(IgnoreRules &&) noexcept = default;
IgnoreRules &IgnoreRules::operator=(IgnoreRules &&) noexcept = default;

const QList<IgnoreRule> &IgnoreRules::rules() const
{
    return m_rules;
}

bool IgnoreRules::isEmpty() const
{
    return m_rules.isEmpty();
}

std::optional<bool> IgnoreRules::decision(const QString &path, bool isDirectory) const
{
    return decision(path, [isDirectory] { return isDirectory; });
}

std::optional<bool> IgnoreRules::decision(const QString &path, const std::function<bool()> &isDirectory) const
{
    std::optional<bool> folder;
    const auto askOnce = [&] {
        if (!folder)
            folder = isDirectory();
        return *folder;
    };
    if (!m_compiled || m_compiled->rules.empty())
        return std::nullopt;
    const QString normalized = normalizePath(path);
    if (normalized.isEmpty())
        return std::nullopt;

    ComponentEnds ends;
    for (qsizetype start = 0;;) {
        const qsizetype slash = normalized.indexOf(u'/', start);
        if (slash < 0) {
            ends.append(normalized.size());
            break;
        }
        ends.append(slash);
        start = slash + 1;
    }

    // Only rules of the project folder and of folders strictly above the path can match it. The last
    // matching rule in load order decides, so the candidates are tried from the last one backwards.
    struct Cursor {
        const qsizetype *first;
        const qsizetype *next;
        qsizetype baseDepth;
    };
    QVarLengthArray<Cursor, 16> cursors;
    const qsizetype deepest = std::min<qsizetype>(ends.size() - 1, m_compiled->deepestBase);
    for (qsizetype depth = 0; depth <= deepest; ++depth) {
        const QStringView base = QStringView(normalized).first(depth == 0 ? 0 : ends[depth - 1]);
        const auto found = m_compiled->rulesByBase.find(base);
        if (found != m_compiled->rulesByBase.end())
            cursors.append(Cursor{found->second.data(), found->second.data() + found->second.size(), depth});
    }
    for (;;) {
        Cursor *latest = nullptr;
        for (Cursor &cursor : cursors) {
            if (cursor.next != cursor.first && (!latest || cursor.next[-1] > latest->next[-1]))
                latest = &cursor;
        }
        if (!latest)
            return std::nullopt;
        const CompiledRule &rule = m_compiled->rules[*--latest->next];
        if (ruleMatches(rule, normalized, ends, latest->baseDepth, askOnce))
            return !rule.isNegated;
    }
}

bool IgnoreRules::ignores(const QString &path, bool isDirectory) const
{
    return decision(path, isDirectory) == true;
}

bool IgnoreRules::includes(const QString &path, bool isDirectory) const
{
    return decision(path, isDirectory) == false;
}

bool IgnoreRules::excludesFolder(const QString &folder) const
{
    if (!m_compiled)
        return false;
    const QString normalized = normalizePath(folder);
    ComponentEnds ends;
    for (qsizetype slash = normalized.indexOf(u'/'); slash >= 0; slash = normalized.indexOf(u'/', slash + 1))
        ends.append(slash);
    if (!normalized.isEmpty())
        ends.append(normalized.size());
    for (qsizetype depth = 1; depth <= ends.size(); ++depth) {
        const QStringView prefix = QStringView(normalized).first(ends[depth - 1]);
        for (qsizetype index = m_rules.size() - 1; index >= 0; --index) {
            const QString &base = m_rules[index].basePath;
            const qsizetype baseDepth = base.isEmpty() ? 0 : base.count(u'/') + 1;
            if (baseDepth >= depth || (baseDepth > 0 && prefix.first(ends[baseDepth - 1]) != base))
                continue;
            const CompiledRule &rule = m_compiled->rules[size_t(index)];
            const qsizetype nameStart = componentStart(ends, depth - 1);
            const bool matches = rule.pathRule ? rule.pattern.matches(prefix.sliced(componentStart(ends, baseDepth)))
                                               : rule.pattern.matches(prefix.sliced(nameStart));
            if (!matches)
                continue;
            if (!rule.isNegated)
                return true;
            break;
        }
    }
    return false;
}

bool IgnoreRules::hasIncludedDescendant(const QString &folder) const
{
    if (!m_compiled)
        return false;
    const QString inside = normalizePath(folder);
    if (inside.isEmpty())
        return !m_compiled->negatedRules.empty();
    for (const Compiled::NegatedRule &rule : m_compiled->negatedRules) {
        if (rule.hasGlob) {
            if (rule.basePath.isEmpty() || rule.basePath == inside || liesUnder(inside, rule.basePath)
                || liesUnder(rule.basePath, inside))
                return true;
        } else if (rule.fixedPath == inside || liesUnder(rule.fixedPath, inside) || rule.bareName) {
            return true;
        }
    }
    return false;
}
