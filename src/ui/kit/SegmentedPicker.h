#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

// A segmented control: one segment per title, exactly one chosen. A click on a segment reports its
// index, also for the chosen one (the receiver decides whether anything changed). It is reached with
// Tab and moved along with the arrow keys, Home and End, as a tab bar is.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedPicker(QStringList titles, QWidget *parent = nullptr);

    void setCurrentIndex(int index);
    int currentIndex() const { return m_current; }
    const QStringList &titles() const { return m_titles; }
    QRect segmentRect(int index) const;
    void setOnChoose(std::function<void(int)> onChoose) { m_onChoose = std::move(onChoose); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int segmentAt(const QPoint &point) const;

    QStringList m_titles;
    int m_current = 0;
    int m_pressed = -1;
    std::function<void(int)> m_onChoose;
};
