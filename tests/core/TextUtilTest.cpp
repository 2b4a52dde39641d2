#include "model/TextUtil.h"
#include "model/TextUtilSort.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace TextUtil;

TEST(TextUtil, StrictIntegers)
{
    EXPECT_EQ(parseInt64(u"42"), 42);
    EXPECT_EQ(parseInt64(u"+7"), 7);
    EXPECT_EQ(parseInt64(u"-13"), -13);
    EXPECT_EQ(parseInt64(u"9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(parseInt64(u"-9223372036854775808"), std::numeric_limits<qint64>::min());
    for (const char16_t *bad :
        {u"", u"+", u"-", u" 1", u"1 ", u"1a", u"0x10", u"9223372036854775808", u"-9223372036854775809", u"1.0", u"١٢"})
        EXPECT_FALSE(parseInt64(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(TextUtil, StrictInternetDates)
{
    const auto plain = parseInternetDateTime(u"2024-03-05T10:20:30Z");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->toMSecsSinceEpoch(),
        QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), QTimeZone::utc()).toMSecsSinceEpoch());
    const auto fraction = parseInternetDateTime(u"2024-03-05T10:20:30.123456Z");
    ASSERT_TRUE(fraction);
    EXPECT_EQ(fraction->toMSecsSinceEpoch() - plain->toMSecsSinceEpoch(), 123);
    const auto offset = parseInternetDateTime(u"2024-03-05T12:20:30+02:00");
    ASSERT_TRUE(offset);
    EXPECT_EQ(*offset, *plain);
    for (const char16_t *bad : {u"2024-03-05", u"2024-03-05 10:20:30Z", u"2024-03-05T10:20:30", u"2024-03-05t10:20:30z",
             u"2024-03-05T24:00:00Z", u"2024-02-30T10:00:00Z", u"2024-03-05T10:20:30,5Z", u"2024-03-05T10:20:30.Z",
             u"2024-03-05T10:20:30+0200", u"2024-13-01T00:00:00Z", u"2024-03-05T10:20:30Zjunk"})
        EXPECT_FALSE(parseInternetDateTime(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(TextUtil, StrictUtf8AndTrims)
{
    EXPECT_EQ(decodeUtf8Strict("caf\xc3\xa9"), QString::fromUtf8("café"));
    EXPECT_EQ(decodeUtf8Strict("bad \xff byte"), QString());
    EXPECT_FALSE(isValidUtf8("\xc3"));
    EXPECT_EQ(trimmed(QString::fromUtf16(u"\u00a0 x \u0085\n")), "x");
    EXPECT_EQ(trimmedNewlines(QString::fromUtf16(u"\u2028\n x \r\n")), " x ");
    EXPECT_EQ(trimmedSpacesAndTabs("\t a \n"), "a \n");
    for (const QString &text : {QString(), QString::fromUtf16(u"\n\r\u2028\u0085\v\f"), QStringLiteral("\n x\n"),
             QStringLiteral(" "), QStringLiteral("\t\n")})
        EXPECT_EQ(holdsOnlyNewlines(text), trimmedNewlines(text).isEmpty()) << text.toStdString();
}

// Large texts are checked piece by piece: a character cut by a piece's end is still whole.
TEST(TextUtil, Utf8CheckAcrossPiecesAndNewlinesInBytes)
{
    for (qsizetype lead : {16 * 1024 - 1, 16 * 1024 - 2, 16 * 1024 - 3, 16 * 1024, 40 * 1024 + 1}) {
        const QByteArray text = QByteArray(lead, 'a') + "\xe2\x82\xac \xf0\x9f\x98\x80" + QByteArray(20000, 'b');
        EXPECT_TRUE(isValidUtf8(text)) << lead;
        EXPECT_FALSE(isValidUtf8(text + "\xe2\x82")) << lead << ": cut short at the end";
        QByteArray broken = text;
        broken[lead + 1] = 'x';
        EXPECT_FALSE(isValidUtf8(broken)) << lead;
    }
    EXPECT_TRUE(isValidUtf8(QByteArray()));
    EXPECT_FALSE(isValidUtf8(QByteArray(70000, 'a') + "\xff"));
    for (const QString &text : {QString(), QString::fromUtf16(u"\n\r\u2028\u0085\v\f\u2029"), QStringLiteral("\n x\n"),
             QStringLiteral(" "), QString::fromUtf16(u"\n\u00e9"), QString::fromUtf16(u"\u2027")})
        EXPECT_EQ(holdsOnlyNewlines(QByteArrayView(text.toUtf8())), holdsOnlyNewlines(text)) << text.toStdString();
}

TEST(TextUtil, LocalizedStandardOrderIsNumericAndCaseInsensitive)
{
    EXPECT_TRUE(localizedStandardLess("file2", "file10"));
    EXPECT_FALSE(localizedStandardLess("file10", "file2"));
    EXPECT_TRUE(localizedStandardLess("apple", "Banana"));
    EXPECT_TRUE(localizedStandardLess("Apple", "banana"));
    QList<QString> names = {"file10", "File2", "file1", "b", "a"};
    sortByLocalizedKey(names, [](const QString &s) { return s; });
    EXPECT_EQ(names, QList<QString>({"a", "b", "file1", "File2", "file10"}));

    // A list long enough to be keyed in parallel sorts as one compared pair by pair, equal keys kept
    // in their order.
    QList<std::pair<QString, int>> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back({QStringLiteral("dir%1/File%2.txt").arg(i * 7919 % 97).arg(i * 104729 % 1013 % 400), i});
    QList<std::pair<QString, int>> expected = many;
    std::stable_sort(expected.begin(), expected.end(),
        [](const auto &a, const auto &b) { return localizedStandardLess(a.first, b.first); });
    sortByLocalizedKey(many, [](const std::pair<QString, int> &item) { return item.first; });
    EXPECT_EQ(many, expected);
}

// A copy that still shares its data with the list it was copied from is sorted apart from it: the
// parallel placing must not detach the shared list from several threads at once.
TEST(TextUtil, SortOfAListSharingItsDataLeavesTheOtherAsItWas)
{
    QStringList paths;
    for (int i = 0; i < 100000; ++i)
        paths.push_back(QStringLiteral("dir%1/file%2.txt").arg(i * 7919 % 1009).arg(i % 97));
    const QStringList original = paths;
    QStringList expected = paths;
    std::stable_sort(expected.begin(), expected.end(), localizedStandardLess);
    for (int round = 0; round < 8; ++round) {
        QStringList sorted = paths;
        ASSERT_FALSE(sorted.isDetached());
        sortByLocalizedKey(sorted, [](const QString &path) { return path; });
        EXPECT_TRUE(sorted == expected) << round;
        EXPECT_TRUE(paths == original) << round;
    }
}

// Runs of 16,384 are sorted apart and merged in pieces cut by a search for where each piece starts:
// lengths about the runs' edges, odd and even numbers of merge rounds, and many equal elements, which
// must keep their order.
TEST(TextUtil, ParallelStableSortIsTheStableSortWhateverTheLength)
{
    for (const size_t size : {size_t(16384), size_t(16385), size_t(32767), size_t(32769), size_t(3 * 16384 + 7),
             size_t(4 * 16384), size_t(100003), size_t(262145)}) {
        for (const int distinct : {1, 3, 1000, 1 << 30}) {
            std::vector<std::pair<int, size_t>> list(size);
            for (size_t at = 0; at < size; ++at)
                list[at] = {int((at * 2654435761u) % unsigned(distinct)), at};
            std::vector<std::pair<int, size_t>> expected = list;
            const auto byKey = [](const auto &a, const auto &b) { return a.first < b.first; };
            std::stable_sort(expected.begin(), expected.end(), byKey);
            parallelStableSort(list, byKey);
            EXPECT_TRUE(list == expected) << size << " " << distinct;
        }
    }
}

// The keys are made by ICU directly: in every locale they order names as the standard collator
// compares them, whatever the names hold.
TEST(TextUtil, SortKeysOrderAsTheStandardCollatorInEveryLocale)
{
    const QStringList names{QString(), QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("aa"),
        QStringLiteral("\u00e5"), QStringLiteral("Aa"), QStringLiteral("ab"), QStringLiteral("b"), QStringLiteral("y"),
        QStringLiteral("\u00fc"), QStringLiteral("ue"), QStringLiteral("u\u0308"), QStringLiteral("z"),
        QStringLiteral("\u00f6"), QStringLiteral("o"), QStringLiteral("ch"), QStringLiteral("cz"), QStringLiteral("h"),
        QStringLiteral("i"), QStringLiteral("I"), QStringLiteral("\u0131"), QStringLiteral("\u0130"),
        QStringLiteral("file2"), QStringLiteral("file10"), QStringLiteral("file010"), QStringLiteral("file\uff12"),
        QStringLiteral("file\u0663"), QStringLiteral("9"), QStringLiteral("99999999999999999999"),
        QStringLiteral("dir/a.txt"), QStringLiteral("dir-a.txt"), QStringLiteral("dir.a"), QStringLiteral("dir_a"),
        QStringLiteral(" lead"), QStringLiteral("#hash"), QStringLiteral("\u65e5\u672c"), QStringLiteral("\u30a2"),
        QStringLiteral("\u304a"), QStringLiteral("\ud55c"), QStringLiteral("\u0416"), QStringLiteral("\u05d0"),
        QStringLiteral("emoji \U0001F600"), QString(1, QChar(0xdc80)), QStringLiteral("x\u200by"),
        QStringLiteral("longer name that runs past the first eight bytes of its key 1"),
        QStringLiteral("longer name that runs past the first eight bytes of its key 2"),
        QStringLiteral("Longer Name That Runs Past The First Eight Bytes Of Its Key 1")};
    const QLocale before;
    for (const char *locale : {"en_US", "C", "sv_SE", "da_DK", "de_DE", "tr_TR", "lt_LT", "cs_CZ", "ja_JP", "zh_CN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        // Long enough to be keyed, sorted and merged in parallel parts.
        QList<std::pair<QString, int>> many;
        for (int i = 0; i < 40000; ++i)
            many.push_back({names[i * 7919 % names.size()] + (i % 3 ? QString() : QString::number(i % 11)), i});
        QList<std::pair<QString, int>> expected = many;
        const QCollator collator = standardCollator();
        std::stable_sort(expected.begin(), expected.end(),
            [&](const auto &a, const auto &b) { return collator.compare(a.first, b.first) < 0; });
        sortByLocalizedKey(many, [](const std::pair<QString, int> &item) { return item.first; });
        EXPECT_TRUE(many == expected) << locale;
    }
    QLocale::setDefault(before);
}

TEST(TextUtil, PathComponents)
{
    EXPECT_EQ(lastPathComponent("/a/b/"), "b");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(lastPathComponent("name"), "name");
    EXPECT_EQ(deletingLastPathComponent("/a/b"), "/a");
    EXPECT_EQ(deletingLastPathComponent("/a"), "/");
    EXPECT_EQ(appendingPathComponent("/a/", "b"), "/a/b");
    EXPECT_EQ(appendingPathComponent("/a", "b/c"), "/a/b/c");
    EXPECT_EQ(splitLines("a\nb\n"), QStringList({"a", "b"}));
    EXPECT_EQ(splitLines("a\n\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(splitLines(""), QStringList({""}));
}

TEST(TextUtil, FileNameBytesComeBackExactlyAndNeverReadAlike)
{
    const QList<QByteArray> names{"plain.txt", "caf\xc3\xa9.txt", "caf\xe9.txt", "caf\xe8.txt", "\xff\xfe",
        "emoji \xf0\x9f\x98\x80", "cut \xf0\x9f\x98", "overlong \xc0\xaf", "surrogate \xed\xa0\x80", "\xf4\x90\x80\x80",
        "lone \x80 continuation",
        "\xef\xbb\xbf"
        "bom"};
    QSet<QString> seen;
    for (const QByteArray &bytes : names) {
        const QString name = decodeFileName(bytes);
        EXPECT_EQ(encodeFileName(name), bytes) << bytes.toHex().toStdString();
        EXPECT_EQ(holdsUndecodableBytes(name), !isValidUtf8(bytes)) << bytes.toHex().toStdString();
        EXPECT_FALSE(seen.contains(name)) << bytes.toHex().toStdString();
        seen.insert(name);
        const QString shown = displayFileName(name);
        EXPECT_FALSE(holdsUndecodableBytes(shown));
    }
    EXPECT_EQ(decodeFileName("caf\xc3\xa9"), QStringLiteral("café"));
    EXPECT_EQ(displayFileName(decodeFileName("caf\xe9.txt")), QStringLiteral("caf\uFFFD.txt"));
    // A surrogate pair written in the text stays a character, never a byte.
    EXPECT_EQ(encodeFileName(u"\U0001F600"), QByteArray("\xf0\x9f\x98\x80"));
}
