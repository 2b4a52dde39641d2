#pragma once

#include <QColor>

#include <algorithm>
#include <cmath>

// WCAG 2 relative luminance and contrast ratio, written out here so the tests do not lean on the
// program's own.
inline double luminance(QColor color)
{
    const auto channel
        = [](double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

inline double contrast(QColor a, QColor b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
