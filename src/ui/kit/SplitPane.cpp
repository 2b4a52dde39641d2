#include "ui/kit/SplitPane.h"

#include "ui/kit/Theme.h"

#include <QPainter>
#include <QSplitterHandle>

namespace {

class DividerHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::composite(Theme::separator(palette()), Theme::windowBackground(palette())));
    }
};

} // namespace

SplitPane::SplitPane(
    Qt::Orientation orientation, QWidget *leading, QWidget *trailing, int idealLeadingSize, QWidget *parent)
    : QSplitter(orientation, parent), m_idealLeadingSize(idealLeadingSize)
{
    setChildrenCollapsible(false);
    setHandleWidth(1);
    addWidget(leading);
    addWidget(trailing);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
}

SplitPane *SplitPane::listAndDetail(QWidget *list, int minimum, int ideal, int maximum, QWidget *detail)
{
    list->setMinimumWidth(minimum);
    list->setMaximumWidth(maximum);
    detail->setMinimumWidth(420);
    return new SplitPane(Qt::Horizontal, list, detail, ideal);
}

QSplitterHandle *SplitPane::createHandle()
{
    return new DividerHandle(orientation(), this);
}

void SplitPane::applyIdealSize()
{
    if (m_applied || !isVisible())
        return;
    const int total = (orientation() == Qt::Horizontal ? width() : height()) - handleWidth();
    if (total <= 0)
        return;
    m_applied = true;
    setSizes({m_idealLeadingSize, qMax(0, total - m_idealLeadingSize)});
}

void SplitPane::showEvent(QShowEvent *event)
{
    QSplitter::showEvent(event);
    applyIdealSize();
}

void SplitPane::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    applyIdealSize();
}
