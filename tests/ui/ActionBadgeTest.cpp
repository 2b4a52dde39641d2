// The action badge: its text and tint by exact action, and its fixed box.
#include "ui/kit/ActionBadge.h"
#include "ui/kit/BadgePainter.h"
#include "ui/kit/Theme.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

TEST(ActionBadge, TextAndTintFollowTheExactAction)
{
    const QPalette palette = QApplication::palette();
    const struct {
        QString action;
        QString text;
        QColor tint;
    } cases[] = {
        {"A", "A", Theme::green(palette)},
        {"D", "D", Theme::orange(palette)},
        {"M", "M", Theme::blue(palette)},
        {"R", "R", Theme::purple(palette)},
        {"a", "a", Theme::secondary(palette)},
        {"", "?", Theme::secondary(palette)},
        {"C", "C", Theme::secondary(palette)},
        {"!", "!", Theme::secondary(palette)},
        {"R100", "R100", Theme::secondary(palette)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(actionBadgeText(c.action), c.text) << c.action.toStdString();
        EXPECT_EQ(actionTint(c.action, palette), c.tint) << c.action.toStdString();
    }
}

TEST(ActionBadge, LongTextStaysInsideTheFixedBox)
{
    ActionBadge badge("R100");
    EXPECT_EQ(badge.size(), QSize(22, 20));
    EXPECT_EQ(badge.minimumSize(), QSize(22, 20));
    EXPECT_EQ(badge.maximumSize(), QSize(22, 20));

    // Painted into a larger image, nothing lands outside the centred 22 × 20 box.
    QImage image(62, 40, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paintActionBadge(painter, QRectF(0, 0, 62, 40), "WWWWWWWW", QApplication::palette(), Qt::white);
    }
    const QRect box(20, 10, 22, 20);
    int inside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool painted = qAlpha(image.pixel(x, y)) != 0;
            if (!box.contains(x, y)) {
                ASSERT_FALSE(painted) << x << "," << y;
            }
            inside += painted;
        }
    }
    EXPECT_GT(inside, 300);
}
