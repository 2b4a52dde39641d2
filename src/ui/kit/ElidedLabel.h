#pragma once

#include <QLabel>

// A label of one line that cuts its text with an ellipsis when it does not fit: at its end unless told
// otherwise. Line breaks in the text are drawn as spaces, so it never takes a second line.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text = QString(), QWidget *parent = nullptr);

    void setElideMode(Qt::TextElideMode mode);
    // A palette function for the text colour (a secondary style that follows light and dark);
    // none means the label's foreground role.
    void setColor(QColor (*color)(const QPalette &));

    // The text as drawn at the current width.
    QString elidedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode m_mode = Qt::ElideRight;
    QColor (*m_color)(const QPalette &) = nullptr;
};
