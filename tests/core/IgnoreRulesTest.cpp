#include "parsers/IgnoreRules.h"
#include "support/IgnoreReference.h"

#include <gtest/gtest.h>

#include <random>

using IgnoreReference::patternsOf;

namespace {

enum class Decision { None, Ignored, Included };

std::ostream &operator<<(std::ostream &out, Decision decision)
{
    return out << (decision == Decision::None ? "none" : decision == Decision::Ignored ? "ignored" : "included");
}

IgnoreRules rulesFrom(const QStringList &lines, const QString &basePath = QString())
{
    QList<IgnoreRule> rules;
    for (const QString &line : lines) {
        if (auto rule = IgnoreRule::fromLine(line, basePath))
            rules.append(*rule);
    }
    return IgnoreRules(rules);
}

Decision fastDecision(const IgnoreRules &rules, const QString &path, bool isDirectory)
{
    const bool ignored = rules.ignores(path, isDirectory);
    const bool included = rules.includes(path, isDirectory);
    EXPECT_FALSE(ignored && included) << path.toStdString();
    return ignored ? Decision::Ignored : included ? Decision::Included : Decision::None;
}

Decision referenceDecision(const IgnoreRules &rules, const QString &path, bool isDirectory)
{
    const std::optional<bool> decision = IgnoreReference::decision(rules.rules(), path, isDirectory);
    return !decision ? Decision::None : *decision ? Decision::Ignored : Decision::Included;
}

// The decision of the rules, checked against the literal algorithm on the way.
Decision decide(const IgnoreRules &rules, const QString &path, bool isDirectory)
{
    const Decision fast = fastDecision(rules, path, isDirectory);
    EXPECT_EQ(fast, referenceDecision(rules, path, isDirectory)) << path.toStdString();
    return fast;
}

Decision file(const IgnoreRules &rules, const QString &path)
{
    return decide(rules, path, false);
}

Decision folder(const IgnoreRules &rules, const QString &path)
{
    return decide(rules, path, true);
}

constexpr Decision None = Decision::None;
constexpr Decision Ignored = Decision::Ignored;
constexpr Decision Included = Decision::Included;

} // namespace

TEST(IgnoreRuleSyntax, NormalizesPaths)
{
    EXPECT_EQ(IgnoreRules::normalizePath("./src//main.c"), "src/main.c");
    EXPECT_EQ(IgnoreRules::normalizePath("build/"), "build");
    EXPECT_EQ(IgnoreRules::normalizePath("/a/b"), "a/b");
    EXPECT_EQ(IgnoreRules::normalizePath("."), "");
    EXPECT_EQ(IgnoreRules::normalizePath("/"), "");
    EXPECT_EQ(IgnoreRules::normalizePath(""), "");
    EXPECT_EQ(IgnoreRules::normalizePath("a/../b"), "a/../b");
    EXPECT_EQ(IgnoreRules::normalizePath("a/./.b/"), "a/.b");
}

TEST(IgnoreRuleSyntax, TrimsOnlyUnescapedTrailingSpaces)
{
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("foo  "), "foo");
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("foo\\ "), "foo\\ ");
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("foo\\  "), "foo\\ ");
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("foo\\\\ "), "foo\\\\");
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("foo\t"), "foo\t");
    EXPECT_EQ(IgnoreRule::trimmingUnescapedTrailingSpaces("   "), "");
}

TEST(IgnoreRuleSyntax, ReadsFlagsAndEscapesOfALine)
{
    struct Case {
        const char *line;
        const char *pattern;
        bool negated, directoryOnly, anchored, hasSlash;
    };
    const Case cases[] = {
        {"build/", "build", false, true, false, false},
        {"/build", "build", false, false, true, false},
        {"//a//", "a", false, true, true, false},
        {"doc/*.txt", "doc/*.txt", false, false, false, true},
        {"a/b/", "a/b", false, true, false, true},
        {"!/keep/", "keep", true, true, true, false},
        {"\\#notes", "#notes", false, false, false, false},
        {"\\!x", "!x", false, false, false, false},
        {"!\\#x", "\\#x", true, false, false, false},
        {"!!x", "!x", true, false, false, false},
        {"  #x", "  #x", false, false, false, false},
        {"foo\r", "foo", false, false, false, false},
        {"foo \r", "foo", false, false, false, false},
        {"foo\r\r", "foo\r", false, false, false, false},
        {"a\\/", "a\\", false, true, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const auto rule = IgnoreRule::fromLine(c.line, "./sub//");
        ASSERT_TRUE(rule);
        EXPECT_EQ(rule->pattern, c.pattern);
        EXPECT_EQ(rule->isNegated, c.negated);
        EXPECT_EQ(rule->directoryOnly, c.directoryOnly);
        EXPECT_EQ(rule->anchored, c.anchored);
        EXPECT_EQ(rule->hasSlash, c.hasSlash);
        EXPECT_EQ(rule->basePath, "sub");
    }
    for (const char *line : {"", "   ", "\r", " \r", "/", "//", "!", "!/", "!//", "#", "# word", "#!x"})
        EXPECT_FALSE(IgnoreRule::fromLine(line, "")) << '"' << line << '"';
}

TEST(IgnoreMatching, LastMatchingRuleDecides)
{
    const IgnoreRules keep = rulesFrom({"*.log", "!keep.log"});
    EXPECT_EQ(file(keep, "keep.log"), Included);
    EXPECT_EQ(file(keep, "a.log"), Ignored);
    EXPECT_EQ(file(keep, "a.txt"), None);
    const IgnoreRules reversed = rulesFrom({"!keep.log", "*.log"});
    EXPECT_EQ(file(reversed, "keep.log"), Ignored);
    EXPECT_EQ(file(reversed, "a.log"), Ignored);
    // Paths in any form are normalized before matching; the project folder itself is never decided.
    EXPECT_EQ(file(keep, "./logs//keep.log/"), Included);
    const IgnoreRules everything = rulesFrom({"*", "!*"});
    EXPECT_EQ(folder(everything, ""), None);
    EXPECT_EQ(folder(everything, "./"), None);
    EXPECT_EQ(folder(rulesFrom({"*"}), "/"), None);
}

TEST(IgnoreMatching, ComponentRulesTryEachComponentAndTheFirstMatchDecides)
{
    const IgnoreRules objects = rulesFrom({"*.o"});
    EXPECT_EQ(file(objects, "main.o"), Ignored);
    EXPECT_EQ(file(objects, "src/main.o"), Ignored);
    EXPECT_EQ(file(objects, "obj.o/readme"), Ignored);
    EXPECT_EQ(file(objects, "main.obj"), None);

    const IgnoreRules buildFolders = rulesFrom({"build/"});
    EXPECT_EQ(folder(buildFolders, "build"), Ignored);
    EXPECT_EQ(file(buildFolders, "build/x"), Ignored);
    EXPECT_EQ(folder(buildFolders, "x/build"), Ignored);
    EXPECT_EQ(file(buildFolders, "build"), None);
    EXPECT_EQ(file(buildFolders, "x/build"), None);
    EXPECT_EQ(file(rulesFrom({"build"}), "build"), Ignored);
    // The first matching component decides even when a later one would answer differently.
    EXPECT_EQ(file(rulesFrom({"a*/"}), "a/b/ab"), Ignored);
    EXPECT_EQ(file(rulesFrom({"a*/"}), "x/ab"), None);
}

TEST(IgnoreMatching, PathRulesMatchTheWholePathOrAnAncestor)
{
    const IgnoreRules anchored = rulesFrom({"/build"});
    EXPECT_EQ(folder(anchored, "build"), Ignored);
    EXPECT_EQ(file(anchored, "build/x"), Ignored);
    EXPECT_EQ(folder(anchored, "src/build"), None);

    const IgnoreRules docs = rulesFrom({"doc/*.txt"});
    EXPECT_EQ(file(docs, "doc/a.txt"), Ignored);
    EXPECT_EQ(file(docs, "doc/a.txt/inner"), Ignored);
    EXPECT_EQ(file(docs, "x/doc/a.txt"), None);
    EXPECT_EQ(file(docs, "doc/sub/a.txt"), None);

    // A folder-only path rule refuses a file at the whole-path step, but its ancestors still match.
    const IgnoreRules folderOnly = rulesFrom({"/a/b/"});
    EXPECT_EQ(file(folderOnly, "a/b"), None);
    EXPECT_EQ(folder(folderOnly, "a/b"), Ignored);
    EXPECT_EQ(file(folderOnly, "a/b/c"), Ignored);
}

TEST(IgnoreMatching, DoubleStarAndFolderStarDifferFromGitOnPurpose)
{
    const IgnoreRules between = rulesFrom({"a/**/b"});
    EXPECT_EQ(file(between, "a/x/b"), Ignored);
    EXPECT_EQ(file(between, "a/x/y/b"), Ignored);
    EXPECT_EQ(file(between, "a/b"), None);

    const IgnoreRules anyDepth = rulesFrom({"**/foo"});
    EXPECT_EQ(file(anyDepth, "x/foo"), Ignored);
    EXPECT_EQ(file(anyDepth, "x/y/foo"), Ignored);
    EXPECT_EQ(file(anyDepth, "foo"), None);

    const IgnoreRules below = rulesFrom({"a/**"});
    EXPECT_EQ(file(below, "a/x"), Ignored);
    EXPECT_EQ(file(below, "a/x/y"), Ignored);
    EXPECT_EQ(folder(below, "a"), None);

    const IgnoreRules contents = rulesFrom({"/dir/*"});
    EXPECT_EQ(folder(contents, "dir"), Ignored);
    EXPECT_EQ(file(contents, "dir/f"), Ignored);
    EXPECT_EQ(file(contents, "dir/sub/f"), Ignored);
    EXPECT_EQ(file(contents, "dir"), None);

    EXPECT_EQ(file(rulesFrom({"/a*c"}), "a/c"), None);
    EXPECT_EQ(file(rulesFrom({"/a?c"}), "a/c"), None);
    EXPECT_EQ(file(rulesFrom({"/a**c"}), "a/b/c"), Ignored);
    EXPECT_EQ(file(rulesFrom({"/a***c"}), "a/b/xc"), Ignored);
}

TEST(IgnoreMatching, ClassesEscapesAndCase)
{
    EXPECT_EQ(file(rulesFrom({"*.TXT"}), "a.txt"), None);
    EXPECT_EQ(file(rulesFrom({"file[0-9].c"}), "file7.c"), Ignored);
    const IgnoreRules notDigit = rulesFrom({"file[!0-9].c"});
    EXPECT_EQ(file(notDigit, "filex.c"), Ignored);
    EXPECT_EQ(file(notDigit, "file7.c"), None);
    const IgnoreRules caret = rulesFrom({"[^a]"});
    EXPECT_EQ(file(caret, "^"), Ignored);
    EXPECT_EQ(file(caret, "a"), Ignored);
    EXPECT_EQ(file(caret, "b"), None);
    const IgnoreRules empty = rulesFrom({"a[]b"});
    EXPECT_EQ(file(empty, "a[]b"), Ignored);
    EXPECT_EQ(file(empty, "ab"), None);
    const IgnoreRules unclosed = rulesFrom({"a[b"});
    EXPECT_EQ(file(unclosed, "a[b"), Ignored);
    EXPECT_EQ(file(unclosed, "ab"), None);
    // The first "]" closes the class even after a backslash; the backslash is a member.
    EXPECT_EQ(file(rulesFrom({"[\\]x]"}), "\\x]"), Ignored);

    const IgnoreRules star = rulesFrom({"\\*"});
    EXPECT_EQ(file(star, "*"), Ignored);
    EXPECT_EQ(file(star, "x"), None);
    EXPECT_EQ(file(rulesFrom({"a\\"}), "a\\"), Ignored);
    EXPECT_EQ(file(rulesFrom({"a\\ "}), "a "), Ignored);
    EXPECT_EQ(file(rulesFrom({"!\\#x"}), "#x"), Included);
    // Everything else is literal for the expression engine.
    EXPECT_EQ(file(rulesFrom({"a.c"}), "abc"), None);
    EXPECT_EQ(file(rulesFrom({"(a|b)+"}), "a"), None);
    EXPECT_EQ(file(rulesFrom({"(a|b)+"}), "(a|b)+"), Ignored);
    EXPECT_EQ(file(rulesFrom({"*.$x"}), "y.$x"), Ignored);
    // A character outside the basic plane is one character for "?" and can be escaped.
    EXPECT_EQ(file(rulesFrom({"?.txt"}), QString::fromUtf8("😀.txt")), Ignored);
    EXPECT_EQ(file(rulesFrom({QString::fromUtf8("\\😀*")}), QString::fromUtf8("😀x")), Ignored);
    // A class the engine rejects matches nothing; the other rules still apply.
    const IgnoreRules invalid = rulesFrom({"*.o", "[z-a]*"});
    EXPECT_EQ(file(invalid, "za.o"), Ignored);
    EXPECT_EQ(file(invalid, "z"), None);
}

TEST(IgnoreMatching, RulesOfASubfolderApplyOnlyInsideIt)
{
    const IgnoreRules sub = rulesFrom({"foo", "*", "/x/"}, "sub");
    EXPECT_EQ(folder(sub, "sub"), None);
    EXPECT_EQ(file(sub, "foo"), None);
    EXPECT_EQ(file(sub, "other/foo"), None);
    EXPECT_EQ(file(sub, "subway/foo"), None);
    EXPECT_EQ(file(sub, "sub/foo"), Ignored);
    EXPECT_EQ(file(sub, "sub/x/foo"), Ignored);
    EXPECT_EQ(folder(sub, "sub/x"), Ignored);

    // Deeper folders' rules come later and so win; rules of unrelated folders are never consulted.
    QList<IgnoreRule> layered;
    for (const auto &[line, base] : {std::pair{"*.log", ""}, {"!debug.log", "a"}, {"debug.log", "a/b"}, {"!*", "c"}})
        layered.append(*IgnoreRule::fromLine(line, base));
    const IgnoreRules rules(layered);
    EXPECT_EQ(file(rules, "a/debug.log"), Included);
    EXPECT_EQ(file(rules, "a/x/debug.log"), Included);
    EXPECT_EQ(file(rules, "a/b/debug.log"), Ignored);
    EXPECT_EQ(file(rules, "b/debug.log"), Ignored);
    EXPECT_EQ(file(rules, "c/debug.log"), Included);

    // Rules given out of folder order still let the last matching one decide.
    QList<IgnoreRule> unordered{
        *IgnoreRule::fromLine("!x", "a/b"), *IgnoreRule::fromLine("x", "a"), *IgnoreRule::fromLine("!x", "")};
    EXPECT_EQ(file(IgnoreRules(unordered), "a/b/x"), Included);
    unordered.append(*IgnoreRule::fromLine("x", "a/b"));
    EXPECT_EQ(file(IgnoreRules(unordered), "a/b/x"), Ignored);
}

TEST(IgnoreMatching, FindsFoldersThatMayHoldReincludedPaths)
{
    EXPECT_FALSE(rulesFrom({"*.o", "build/"}).hasIncludedDescendant(""));
    EXPECT_FALSE(IgnoreRules().hasIncludedDescendant("a"));
    EXPECT_TRUE(rulesFrom({"*.o", "!keep.o"}).hasIncludedDescendant("."));

    EXPECT_TRUE(rulesFrom({"!/a/b/c"}).hasIncludedDescendant("a"));
    EXPECT_TRUE(rulesFrom({"!/a"}).hasIncludedDescendant("a"));
    EXPECT_FALSE(rulesFrom({"!/x"}).hasIncludedDescendant("a"));
    EXPECT_TRUE(rulesFrom({"!keep.txt"}).hasIncludedDescendant("a"));
    EXPECT_TRUE(rulesFrom({"!*.keep"}).hasIncludedDescendant("a"));
    EXPECT_FALSE(rulesFrom({"!/a"}).hasIncludedDescendant("a/b"));
    EXPECT_FALSE(rulesFrom({"/a/b/c"}).hasIncludedDescendant("a"));
    EXPECT_FALSE(rulesFrom({"!/ab/c"}).hasIncludedDescendant("a"));

    // A glob rule counts where its folder and the given one lie on one line.
    const IgnoreRules sub = rulesFrom({"!*.keep"}, "a/b");
    EXPECT_TRUE(sub.hasIncludedDescendant("a"));
    EXPECT_TRUE(sub.hasIncludedDescendant("a/b"));
    EXPECT_TRUE(sub.hasIncludedDescendant("a/b/c"));
    EXPECT_FALSE(sub.hasIncludedDescendant("x"));
    EXPECT_FALSE(sub.hasIncludedDescendant("a/bc"));
    // A fixed path keeps its escapes in this comparison.
    EXPECT_FALSE(rulesFrom({"!/my\\ dir/keep"}).hasIncludedDescendant("my dir"));
    EXPECT_TRUE(rulesFrom({"!/my\\ dir/keep"}).hasIncludedDescendant("my\\ dir"));
}

TEST(IgnoreMatching, CopiesShareTheSameAnswers)
{
    IgnoreRules original = rulesFrom({"*.o", "!keep.o"});
    const IgnoreRules copy = original;
    IgnoreRules moved = std::move(original);
    EXPECT_EQ(file(copy, "keep.o"), Included);
    EXPECT_EQ(file(moved, "a.o"), Ignored);
    moved = rulesFrom({"x"});
    EXPECT_EQ(file(moved, "a.o"), None);
    EXPECT_EQ(file(copy, "a.o"), Ignored);
    EXPECT_TRUE(IgnoreRules().isEmpty());
    EXPECT_EQ(file(IgnoreRules(), "a.o"), None);
}

// Random rules and paths built from the syntax's awkward corners: the fast matcher must give every
// answer the literal algorithm gives.
TEST(IgnoreMatching, AgreesWithTheLiteralAlgorithmOnGeneratedRulesAndPaths)
{
    const QStringList pieces = {"a", "b", "build", "*.o", "*.log", "keep.log", "doc", "*.txt", "*", "**", "?", "a?",
        "[a-c]", "[!a]*", "[^a]", "[]", "a[]b", "[", "x[", "\\*", "\\[x]", "sp\\ ace", "é", "?.txt", "😀", "[😀]", "\\😀",
        "d*r", "f**o", "*.TXT", "a.b", "\\#x", "\\!x", "..", "[z-a]", "*\\*", "*\\", "b*", "***", "x\\/y"};
    const QStringList names = {"a", "b", "c", "build", "x.o", "keep.log", "doc", "a.txt", "A.TXT", "[x]", "sp ace", "é",
        "😀", "😀.txt", "dir", "foo", "fxo", "a.b", "#x", "!x", "*", "\\", "..", "^", "a[]b", "x[", "a.log", "z"};
    const QStringList bases = {"", "", "a", "a/b", "doc", "build", "sp ace", "../x"};

    std::mt19937 random(4242);
    const auto pick = [&random](const QStringList &list) { return list[random() % list.size()]; };
    int compared = 0, mismatches = 0;
    int counts[3] = {};
    for (int set = 0; set < 60; ++set) {
        QList<IgnoreRule> rules;
        const int lineCount = 4 + random() % 20;
        for (int n = 0; n < lineCount; ++n) {
            QString line = random() % 4 == 0 ? "!" : "";
            line += random() % 3 == 0 ? "/" : "";
            const int segments = 1 + random() % 3;
            for (int s = 0; s < segments; ++s)
                line += (s ? "/" : "") + QString(pick(pieces));
            const int ending = random() % 8;
            line += ending == 0 ? "/" : ending == 1 ? "/*" : ending == 2 ? "/**" : ending == 3 ? " \\ " : "";
            if (auto rule = IgnoreRule::fromLine(line, pick(bases)))
                rules.append(*rule);
        }
        const IgnoreRules fast(rules);
        for (int p = 0; p < 150; ++p) {
            QString path = pick(bases);
            const int depth = random() % 6;
            for (int c = 0; c < depth; ++c)
                path += (path.isEmpty() ? "" : "/") + pick(names);
            if (random() % 10 == 0)
                path = "./" + path + "/";
            const bool isDirectory = random() % 2;
            const Decision expected = referenceDecision(fast, path, isDirectory);
            const Decision actual = fastDecision(fast, path, isDirectory);
            ++compared;
            ++counts[int(expected)];
            const bool descendant = fast.hasIncludedDescendant(path);
            if (actual != expected || descendant != IgnoreReference::hasIncludedDescendant(rules, path)) {
                if (++mismatches <= 5) {
                    ADD_FAILURE() << "path " << path.toStdString() << " dir " << isDirectory << ": " << actual
                                  << " instead of " << expected << " with rules "
                                  << patternsOf(fast).join(u" | ").toStdString();
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << compared;
    // The generated set exercises all three outcomes in good number.
    EXPECT_GT(counts[int(None)], compared / 10);
    EXPECT_GT(counts[int(Ignored)], compared / 10);
    EXPECT_GT(counts[int(Included)], compared / 20);
}
