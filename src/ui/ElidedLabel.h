#pragma once

#include <QLabel>

// A one-line label that cuts its text at the end with an ellipsis when it does not fit.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);

    // The text as drawn at the current width.
    QString elidedText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
