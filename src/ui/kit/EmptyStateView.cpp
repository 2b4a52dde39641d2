#include "ui/kit/EmptyStateView.h"

#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/kit/Theme.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {

// A symbol at the title text size, tinted when painted so it follows the palette.
class SymbolImage : public QWidget {
public:
    explicit SymbolImage(QString name) : m_name(std::move(name))
    {
        setFixedSize(int(Theme::titleSize), int(Theme::titleSize));
    }

    void setName(const QString &name)
    {
        if (name == m_name)
            return;
        m_name = name;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(
            0, 0, symbolPixmap(m_name, Theme::secondary(palette()), int(Theme::titleSize), devicePixelRatioF()));
    }

private:
    QString m_name;
};

} // namespace

EmptyStateView::EmptyStateView(const QString &symbol, const QString &text, QWidget *parent)
    : QWidget(parent), m_symbol(symbol)
{
    // Wrapped, not cut: the text may name a folder, whose path is long.
    m_text = new LimitedLinesLabel;
    m_text->setFont(Theme::body());
    m_text->setColor(&Theme::secondary);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_text->setFullText(text);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addStretch(1);
    m_image = new SymbolImage(symbol);
    layout->addWidget(m_image, 0, Qt::AlignHCenter);
    layout->addWidget(m_text);
    layout->addStretch(1);
}

void EmptyStateView::setContent(const QString &symbol, const QString &text)
{
    m_symbol = symbol;
    static_cast<SymbolImage *>(m_image)->setName(symbol);
    m_text->setFullText(text);
}
