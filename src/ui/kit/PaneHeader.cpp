#include "ui/kit/PaneHeader.h"

#include "ui/kit/FocusRing.h"
#include "ui/workflow/WorkflowSymbols.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PaneHeader::PaneHeader(QWidget *parent) : QWidget(parent)
{
    m_texts = new QVBoxLayout;
    m_texts->setSpacing(2);
    m_texts->setContentsMargins(0, 0, 0, 0);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(12, 8, 12, 8);
    m_row->setSpacing(8);
    // The texts may wrap or elide; the buttons keep their size.
    m_row->addLayout(m_texts, 1);
    m_row->setAlignment(m_texts, Qt::AlignVCenter);
    m_row->addStretch(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PaneHeader::addText(QWidget *text)
{
    m_texts->addWidget(text);
}

QPushButton *PaneHeader::addButton(const QString &title, const QString &symbol, const QString &help)
{
    auto *button = new QPushButton(workflowSymbolIcon(symbol), title);
    button->setIconSize(QSize(15, 15));
    button->setToolTip(help);
    button->setAutoDefault(false);
    FocusRing::attachToButton(button);
    m_row->addWidget(button, 0, Qt::AlignVCenter);
    return button;
}

void PaneHeader::setSpacing(int spacing)
{
    m_row->setSpacing(spacing);
}
