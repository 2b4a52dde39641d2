#pragma once

#include <QWidget>

class LimitedLinesLabel;

// What a detail with nothing to show holds: one secondary text in the middle of the pane.
class Placeholder : public QWidget {
    Q_OBJECT

public:
    explicit Placeholder(const QString &text, QWidget *parent = nullptr);

    QString text() const;

private:
    LimitedLinesLabel *m_text;
};
