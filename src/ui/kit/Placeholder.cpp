#include "ui/kit/Placeholder.h"

#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/Theme.h"

#include <QVBoxLayout>

Placeholder::Placeholder(const QString &text, QWidget *parent) : QWidget(parent)
{
    m_text = new LimitedLinesLabel;
    m_text->setFont(Theme::body());
    m_text->setColor(&Theme::secondary);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_text->setFullText(text);
    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_text, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

QString Placeholder::text() const
{
    return m_text->fullText();
}
