#include "ui/kit/SymbolIcon.h"

#include "ui/kit/Theme.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>

void initWindowSymbols()
{
    // A static library's resources are only linked in when something refers to them.
    static const bool done = [] {
        Q_INIT_RESOURCE(window);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString name, PaletteColor color) : m_name(std::move(name)), m_color(color) { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QGuiApplication::palette();
        QColor color = m_color ? m_color(palette) : palette.color(QPalette::ButtonText);
        if (mode == QIcon::Disabled)
            color = Theme::withOpacity(color, 0.4);
        const int side = qMin(rect.width(), rect.height());
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pixmap = symbolPixmap(m_name, color, side, ratio);
        const QRect target(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->drawPixmap(target, pixmap);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap result(size * scale);
        result.setDevicePixelRatio(scale);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return result;
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(m_name, m_color); }
    QString key() const override { return QStringLiteral("KorvelSymbol"); }

private:
    QString m_name;
    PaletteColor m_color;
};

} // namespace

QIcon symbolIcon(const QString &name, PaletteColor color)
{
    initWindowSymbols();
    return QIcon(new SymbolIconEngine(name, color));
}

QPixmap symbolPixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio)
{
    initWindowSymbols();
    return Theme::symbol(name, color, QSize(size, size), devicePixelRatio);
}
