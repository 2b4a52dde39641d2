// The monospaced font is chosen by what the diff view relies on, equal advances for the characters of
// a diff line, not by the fixed-pitch flag that fontconfig reports for some monospaced families.
#include "ui/diff/DiffLayout.h"
#include "ui/kit/Theme.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

// The distinct advances of printable ASCII in the font.
QList<qreal> asciiAdvances(const QFont &font)
{
    const QFontMetricsF metrics(font);
    QList<qreal> advances;
    for (char16_t character = 0x20; character < 0x7F; ++character) {
        const qreal advance = metrics.horizontalAdvance(QChar(character));
        if (std::none_of(
                advances.cbegin(), advances.cend(), [&](qreal seen) { return std::abs(seen - advance) < 0.01; }))
            advances.append(advance);
    }
    return advances;
}

} // namespace

TEST(MonospaceFont, EveryUseHasOneAdvanceForTheCharactersOfADiffLine)
{
    for (const qreal size : {Theme::bodySize, Theme::captionSize}) {
        for (const QFont::Weight weight : {QFont::Normal, QFont::DemiBold}) {
            const QFont font = Theme::monospaced(size, weight);
            const QList<qreal> advances = asciiAdvances(font);
            ASSERT_EQ(advances.size(), 1) << QFontInfo(font).family().toStdString() << " at " << size;
            EXPECT_GT(advances.first(), 0);
            EXPECT_EQ(font.pixelSize(), qRound(size));
        }
    }
    // The diff view's columns are the font's own.
    const DiffMetrics metrics = DiffMetrics::standard();
    EXPECT_NEAR(metrics.code.cellWidth(), asciiAdvances(metrics.codeFont).first(), 0.01);
    EXPECT_NEAR(metrics.code.width(QStringLiteral("int main(void) { return 0; }")),
        QFontMetricsF(metrics.codeFont).horizontalAdvance(QStringLiteral("int main(void) { return 0; }")), 0.5);
}

TEST(MonospaceFont, AFamilyWithUnequalAdvancesIsPassedOver)
{
    // Any proportional family on the machine and the chosen monospaced one.
    QString proportional;
    for (const QString &family : QFontDatabase::families()) {
        QFont font(family);
        font.setPixelSize(13);
        if (QFontInfo(font).family() == family && asciiAdvances(font).size() > 1) {
            proportional = family;
            break;
        }
    }
    if (proportional.isEmpty())
        GTEST_SKIP() << "no proportional font installed";
    const QString monospaced = QFontInfo(Theme::monospaced(Theme::bodySize)).family();
    QFont sample(proportional);
    sample.setPixelSize(13);
    EXPECT_FALSE(Theme::hasEvenAdvances(sample));
    EXPECT_EQ(Theme::firstEvenFamily({proportional, monospaced}), monospaced);
    EXPECT_EQ(Theme::firstEvenFamily({QStringLiteral("No Such Family 7f3a"), monospaced}), monospaced)
        << "a family fontconfig substitutes is judged as missing";
    EXPECT_EQ(Theme::firstEvenFamily({proportional}), QString());
}
