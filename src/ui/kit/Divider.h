#pragma once

#include <QWidget>

// A one-pixel horizontal line in the separator colour, optionally faded.
class Divider : public QWidget {
    Q_OBJECT

public:
    explicit Divider(QWidget *parent = nullptr, qreal opacity = 1.0);

    QSize sizeHint() const override { return {1, 1}; }
    QSize minimumSizeHint() const override { return {0, 1}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_opacity;
};
