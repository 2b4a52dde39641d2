#include "ui/kit/PlainText.h"

#include <QLabel>

void showLabelsAsPlainText(QWidget &root)
{
    QList<QLabel *> labels = root.findChildren<QLabel *>();
    if (auto *label = qobject_cast<QLabel *>(&root))
        labels.prepend(label);
    for (QLabel *label : std::as_const(labels)) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
}
