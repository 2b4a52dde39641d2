#include "ui/kit/Theme.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

static void initSymbolResources()
{
    // A static library's resources are only linked in when something refers to them.
    static const bool done = [] {
        Q_INIT_RESOURCE(symbols);
        return true;
    }();
    Q_UNUSED(done);
}

namespace Theme {

namespace {

QColor adaptive(const QPalette &palette, QRgb light, QRgb dark)
{
    return QColor::fromRgb(isDark(palette) ? dark : light);
}

} // namespace

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor green(const QPalette &palette)
{
    return adaptive(palette, 0x34C759, 0x30D158);
}
QColor red(const QPalette &palette)
{
    return adaptive(palette, 0xFF3B30, 0xFF453A);
}
QColor orange(const QPalette &palette)
{
    return adaptive(palette, 0xFF9500, 0xFF9F0A);
}
QColor yellow(const QPalette &palette)
{
    return adaptive(palette, 0xFFCC00, 0xFFD60A);
}
QColor blue(const QPalette &palette)
{
    return adaptive(palette, 0x007AFF, 0x0A84FF);
}
QColor purple(const QPalette &palette)
{
    return adaptive(palette, 0xAF52DE, 0xBF5AF2);
}
QColor gray(const QPalette &palette)
{
    return adaptive(palette, 0x8E8E93, 0x8E8E93);
}

QColor textBackground(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

QColor windowBackground(const QPalette &palette)
{
    return palette.color(QPalette::Window);
}

QColor separator(const QPalette &palette)
{
    return withOpacity(palette.color(QPalette::WindowText), 0.1);
}

QColor primary(const QPalette &palette)
{
    return palette.color(QPalette::Text);
}

QColor secondary(const QPalette &palette)
{
    // Strong enough that small antialiased captions still read at 4.5:1 on the window, the lists and a
    // muted selection.
    return withOpacity(palette.color(QPalette::Text), isDark(palette) ? 0.65 : 0.62);
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QColor composite(const QColor &top, const QColor &bottom)
{
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a), top.greenF() * a + bottom.greenF() * (1 - a),
        top.blueF() * a + bottom.blueF() * (1 - a));
}

QColor tint(const QPalette &palette, qreal opacity)
{
    return isDark(palette) ? QColor::fromRgbF(1, 1, 1, float(opacity)) : QColor::fromRgbF(0, 0, 0, float(opacity));
}

namespace {

qreal luminance(const QColor &color)
{
    const auto channel
        = [](float value) { return value <= 0.04045f ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

QColor mixed(const QColor &from, const QColor &to, qreal amount)
{
    const auto mix = [&](float a, float b) { return float(a + (b - a) * amount); };
    return QColor::fromRgbF(
        mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()));
}

} // namespace

qreal contrastRatio(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor standingOut(const QColor &color, const QColor &against, qreal ratio)
{
    const QColor base = color.alpha() == 255 ? color : composite(color, against);
    if (contrastRatio(base, against) >= ratio)
        return base;
    // Towards black first: the marks carry white letters and ticks, which stay readable on a darker fill.
    // A little beyond the ratio, so that rounding to 8-bit channels does not fall short of it.
    const qreal target = ratio + 0.05;
    for (const QColor &end : {QColor(Qt::black), QColor(Qt::white)}) {
        if (contrastRatio(end, against) < target)
            continue;
        qreal low = 0;
        qreal high = 1;
        for (int step = 0; step < 16; ++step) {
            const qreal middle = (low + high) / 2;
            (contrastRatio(mixed(base, end, middle), against) >= target ? high : low) = middle;
        }
        return mixed(base, end, high);
    }
    return contrastRatio(Qt::black, against) > contrastRatio(Qt::white, against) ? QColor(Qt::black)
                                                                                 : QColor(Qt::white);
}

QColor selectionFill(const QPalette &palette)
{
    // Antialiased strokes of small text come out lighter than their colour: the room keeps what is
    // painted above 4.5:1.
    return standingOut(palette.color(QPalette::Active, QPalette::Highlight),
        palette.color(QPalette::Active, QPalette::HighlightedText), 5.0);
}

QColor placeholderText(const QPalette &palette)
{
    return standingOut(palette.color(QPalette::PlaceholderText), palette.color(QPalette::Base), smallTextContrast);
}

QFont font(qreal pixelSize, QFont::Weight weight)
{
    QFont result = QGuiApplication::font();
    result.setPixelSize(qRound(pixelSize));
    result.setWeight(weight);
    return result;
}

bool hasEvenAdvances(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal cell = metrics.horizontalAdvance(u'M');
    if (cell <= 0)
        return false;
    for (char16_t character = 0x20; character < 0x7F; ++character) {
        if (std::abs(metrics.horizontalAdvance(QChar(character)) - cell) > 0.01)
            return false;
    }
    return true;
}

QString firstEvenFamily(const QStringList &families)
{
    for (const QString &family : families) {
        QFont candidate(family);
        candidate.setPixelSize(qRound(bodySize));
        // A missing family is substituted by fontconfig: judge the face that really draws.
        if (QFontInfo(candidate).family().compare(family, Qt::CaseInsensitive) != 0)
            continue;
        QFont semibold = candidate;
        semibold.setWeight(QFont::DemiBold);
        if (hasEvenAdvances(candidate) && hasEvenAdvances(semibold))
            return family;
    }
    return {};
}

namespace {

// The system's fixed font when its letters line up; Qt's fixed-pitch flag is no guide (fontconfig
// reports Noto Sans Mono as not fixed-pitch, though its ASCII advances are all equal).
const QString &monospaceFamily()
{
    static const QString family = [] {
        const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        QStringList candidates{QFontInfo(system).family(), QStringLiteral("DejaVu Sans Mono"),
            QStringLiteral("Noto Sans Mono"), QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
            QStringLiteral("FreeMono")};
        QFont hinted;
        hinted.setStyleHint(QFont::Monospace);
        hinted.setFamily(QStringLiteral("monospace"));
        candidates.append(QFontInfo(hinted).family());
        const QString chosen = firstEvenFamily(candidates);
        return chosen.isEmpty() ? QFontInfo(system).family() : chosen;
    }();
    return family;
}

} // namespace

QFont monospaced(qreal pixelSize, QFont::Weight weight)
{
    QFont result(monospaceFamily());
    result.setStyleHint(QFont::Monospace);
    result.setPixelSize(qRound(pixelSize));
    result.setWeight(weight);
    return result;
}

QPixmap symbol(const QString &name, const QColor &color, QSize size, qreal devicePixelRatio)
{
    initSymbolResources();
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3x%4|%5")
                            .arg(name)
                            .arg(color.rgba(), 8, 16)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(devicePixelRatio);
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return *found;

    QSvgRenderer renderer(QStringLiteral(":/symbols/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace Theme
