#pragma once

#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// The header of a workflow pane: a leading stack of title and subtitle (spacing 2), a flexible
// spacer and the pane's buttons, padded 12 on the sides and 8 above and below.
class PaneHeader : public QWidget {
    Q_OBJECT

public:
    explicit PaneHeader(QWidget *parent = nullptr);

    // Adds a line to the leading stack (the title first).
    void addText(QWidget *text);
    // Adds a button of a title and a symbol, with its help text, after the spacer.
    QPushButton *addButton(const QString &title, const QString &symbol, const QString &help);
    void setSpacing(int spacing);

private:
    QHBoxLayout *m_row;
    QVBoxLayout *m_texts;
};
