#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// One line of an ignore file.
struct IgnoreRule {
    QString basePath;
    QString pattern;
    bool isNegated = false;
    bool directoryOnly = false;
    bool anchored = false;
    bool hasSlash = false;

    // One rule, or nothing for a line that holds none (blank, comment, "!", only slashes).
    static std::optional<IgnoreRule> fromLine(const QString &line, const QString &basePath);
    static QString trimmingUnescapedTrailingSpaces(const QString &text);

    bool operator==(const IgnoreRule &other) const
    {
        return basePath == other.basePath && pattern == other.pattern && isNegated == other.isNegated
            && directoryOnly == other.directoryOnly && anchored == other.anchored && hasSlash == other.hasSlash;
    }
};

// The rules of a project's ".gitignore" and ".korvelignore" files, in load order; the last matching
// rule decides.
class IgnoreRules {
public:
    IgnoreRules();
    explicit IgnoreRules(QList<IgnoreRule> rules);
    ~IgnoreRules();
    IgnoreRules(const IgnoreRules &);
    IgnoreRules &operator=(const IgnoreRules &);
    IgnoreRules(IgnoreRules &&) noexcept;
    IgnoreRules &operator=(IgnoreRules &&) noexcept;

    // The rules of one ignore file's text, whose folder is basePath relative to the project.
    static QList<IgnoreRule> rulesFromText(const QString &text, const QString &basePath);
    // Components between "/" with empty and "." components dropped, joined with "/"; "" is the root.
    static QString normalizePath(const QString &path);

    bool ignores(const QString &path, bool isDirectory) const;
    bool includes(const QString &path, bool isDirectory) const;
    // The one decision behind both: absent for none; true for ignored, false for included.
    std::optional<bool> decision(const QString &path, bool isDirectory) const;
    // The same, asking whether the path is a folder only when a rule's answer depends on it.
    std::optional<bool> decision(const QString &path, const std::function<bool()> &isDirectory) const;
    // Whether git leaves the folder and everything in it out: the last rule that names the folder itself,
    // or a folder above it, ignores it. Each is matched as a whole path ("a/*" names what is in "a",
    // not "a"), and nothing inside an excluded folder can come back.
    bool excludesFolder(const QString &folder) const;
    // Whether some negated rule could match a path strictly inside the folder.
    bool hasIncludedDescendant(const QString &folder) const;

    const QList<IgnoreRule> &rules() const;
    bool isEmpty() const;

private:
    struct Compiled;

    QList<IgnoreRule> m_rules;
    std::shared_ptr<const Compiled> m_compiled;
};
