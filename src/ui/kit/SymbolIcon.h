#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

// Bundled symbol images as icons tinted when they are painted, so they follow the palette (light or
// dark) without being rebuilt.
using PaletteColor = QColor (*)(const QPalette &);

// Registers the window's symbols; safe to call any number of times.
void initWindowSymbols();

// `color` picks the tint from the application palette at paint time; none means the button text colour.
QIcon symbolIcon(const QString &name, PaletteColor color = nullptr);

// One symbol drawn in one colour at a logical size (square).
QPixmap symbolPixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio);
