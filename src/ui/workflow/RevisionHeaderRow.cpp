#include "ui/workflow/RevisionHeaderRow.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

RevisionHeaderRow::RevisionHeaderRow(QWidget *parent) : QWidget(parent)
{
    m_revision = new QLabel;
    m_revision->setTextFormat(Qt::PlainText);
    m_revision->setFont(Theme::monospaced(Theme::captionSize, QFont::DemiBold));
    m_author = new ElidedLabel;
    m_author->setFont(Theme::caption());
    m_author->setColor(&Theme::secondary);
    m_date = new ElidedLabel;
    m_date->setFont(Theme::caption());
    m_date->setColor(&Theme::secondary);
    m_date->hide();

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_revision, 0, Qt::AlignVCenter);
    row->addWidget(m_author, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_date, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void RevisionHeaderRow::setTexts(const QString &revision, const QString &author, const std::optional<QString> &date)
{
    m_revision->setText(revision);
    m_author->setText(author);
    m_date->setText(date.value_or(QString()));
    m_date->setVisible(date.has_value());
}
