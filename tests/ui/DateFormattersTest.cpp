// The date styles of the workflow lists and the archive detail, under the C locale of servers and
// containers as well as under real ones.
#include "ui/workflow/DateFormatters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QDateTime sample(QDate(2024, 1, 5), QTime(14, 3, 9), Qt::UTC);

bool showsSeconds(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("\\d:\\d\\d:\\d\\d")));
}

} // namespace

TEST(DateStyles, TheCLocaleGetsTheShortAndMediumStylesOfARealLocale)
{
    for (const QLocale &user : {QLocale::c(), QLocale(QStringLiteral("C.UTF-8")), QLocale(QStringLiteral("POSIX"))}) {
        const DateFormatters::Styles styles = DateFormatters::Styles::of(user);
        const QString shortText = styles.locale.toString(sample, styles.shortDateTime);
        const QString mediumText = styles.locale.toString(sample, styles.mediumDateTime);
        const std::string where
            = user.name().toStdString() + ": " + shortText.toStdString() + " / " + mediumText.toStdString();
        EXPECT_FALSE(showsSeconds(shortText)) << where;
        EXPECT_FALSE(showsSeconds(mediumText)) << where;
        EXPECT_NE(shortText, mediumText) << where;
        EXPECT_TRUE(shortText.startsWith(QStringLiteral("1/5/24 2:03"))) << where;
        EXPECT_TRUE(mediumText.startsWith(QStringLiteral("Jan 5, 2024 2:03"))) << where;
    }
}

TEST(DateStyles, RealLocalesKeepTheirOwnStyles)
{
    const DateFormatters::Styles german = DateFormatters::Styles::of(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.locale.language(), QLocale::German);
    EXPECT_EQ(german.locale.toString(sample, german.shortDateTime), QStringLiteral("05.01.24 14:03"));
    const QString medium = german.locale.toString(sample, german.mediumDateTime);
    EXPECT_TRUE(medium.startsWith(QStringLiteral("5. Jan"))) << medium.toStdString();
    EXPECT_TRUE(medium.endsWith(QStringLiteral("2024 14:03"))) << medium.toStdString();

    // Whatever the machine's locale, the shared formatters show no seconds and tell the two styles apart.
    const QString shortText = DateFormatters::shortDateShortTime(sample);
    const QString mediumText = DateFormatters::mediumDateShortTime(sample);
    EXPECT_FALSE(showsSeconds(shortText)) << shortText.toStdString();
    EXPECT_NE(shortText, mediumText);
}
