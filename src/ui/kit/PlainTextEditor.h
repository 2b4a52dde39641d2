#pragma once

#include <QPlainTextEdit>

// An editable plain-text field that takes only text from the clipboard or a drop: plain text as it
// is, links as their addresses, anything else (an image, rich text alone, data with no format at
// all) not at all. Qt 6.4's own paste reads the first format of the data without asking whether there
// is one, so Ctrl+V on a fresh session's empty clipboard crashed in QWidgetTextControl.
class PlainTextEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};
