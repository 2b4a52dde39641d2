#include "ui/kit/PlainTextEditor.h"

#include <QMimeData>
#include <QUrl>

namespace {

// What a paste or drop of the data inserts; empty for data that holds no text.
QString insertedText(const QMimeData *source)
{
    if (!source)
        return QString();
    if (source->hasText())
        return source->text();
    QStringList addresses;
    for (const QUrl &url : source->urls())
        addresses.push_back(url.toString());
    return addresses.join(u'\n');
}

} // namespace

bool PlainTextEditor::canInsertFromMimeData(const QMimeData *source) const
{
    return !isReadOnly() && !insertedText(source).isEmpty();
}

void PlainTextEditor::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    const QString text = insertedText(source);
    if (text.isEmpty())
        return;
    insertPlainText(text);
}
