#include "ui/changes/ChangesView.h"

#include "ui/changes/ChangeListView.h"
#include "ui/changes/CommitPanelView.h"
#include "ui/changes/DiffPreviewView.h"
#include "ui/kit/Divider.h"
#include "ui/kit/Theme.h"

#include <QPaintEvent>
#include <QPainter>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

// A one-pixel divider between the panes; with a handle this thin QSplitter widens the grab area by
// contents margins and masks the painting to the middle.
class HairlineHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(
            event->rect(), Theme::composite(Theme::separator(palette()), Theme::windowBackground(palette())));
    }
};

class HairlineSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle *createHandle() override { return new HairlineHandle(orientation(), this); }
};

} // namespace

ChangesView::ChangesView(AppState &state, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ChangesView"));
    m_list = new ChangeListView(state);
    m_list->setMinimumWidth(listMinimumWidth);
    m_list->setMaximumWidth(listMaximumWidth);
    m_preview = new DiffPreviewView(state);
    m_preview->setMinimumWidth(previewMinimumWidth);
    m_commit = new CommitPanelView(state);

    m_split = new HairlineSplitter(Qt::Horizontal);
    m_split->setHandleWidth(1);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_list);
    m_split->addWidget(m_preview);
    // The list keeps its ideal width; the preview takes what the window gives or takes.
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_split, 1);
    layout->addWidget(new Divider);
    layout->addWidget(m_commit);
}
