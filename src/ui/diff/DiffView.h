#pragma once

#include "ui/diff/DiffLayout.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

class DiffCanvas;
class QPlainTextEdit;
class QStackedLayout;

// Draws one text that is expected to hold a unified diff: as file cards when the diff reader finds files in
// it, otherwise as plain text (the placeholder when the text is blank). The callers set the same text again
// on every refresh, so an unchanged text is recognised and keeps its scroll position and selection.
class DiffView : public QWidget {
    Q_OBJECT

public:
    explicit DiffView(QWidget *parent = nullptr);

    // The text in UTF-8, as the state keeps it; shared, not copied.
    void setContent(const QByteArray &diffText, const QString &emptyText);
    void setContent(const QString &diffText, const QString &emptyText) { setContent(diffText.toUtf8(), emptyText); }

    bool showsCards() const;
    DiffCanvas *canvas() const { return m_canvas; }
    QPlainTextEdit *plainTextView() const { return m_plainText; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void showLayout(DiffLayout layout);
    void showPlainText();
    void applyPlainTextColor();

    QStackedLayout *m_stack = nullptr;
    DiffCanvas *m_canvas = nullptr;
    QPlainTextEdit *m_plainText = nullptr;
    QByteArray m_diffText;
    QString m_emptyText;
    bool m_hasContent = false;
    bool m_showsPlaceholder = false;
    // Counts the texts given; a layout made on a worker for an older one is dropped.
    quint64 m_textSerial = 0;
};
