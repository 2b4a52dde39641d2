#pragma once

#include <QWidget>

class LimitedLinesLabel;

// What an empty list shows instead: a symbol over a short text, both secondary, in the middle of the pane.
class EmptyStateView : public QWidget {
    Q_OBJECT

public:
    EmptyStateView(const QString &symbol, const QString &text, QWidget *parent = nullptr);

    // Another symbol and text, for a list whose emptiness can mean more than one thing.
    void setContent(const QString &symbol, const QString &text);

    QString symbolName() const { return m_symbol; }
    LimitedLinesLabel *textLabel() const { return m_text; }

private:
    QString m_symbol;
    QWidget *m_image;
    LimitedLinesLabel *m_text;
};
