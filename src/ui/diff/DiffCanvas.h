#pragma once

#include "ui/diff/DiffLayout.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <compare>

// The file cards of a diff, painted row by row: only the rows and the columns in view are drawn, and the
// code text can be selected and copied. No widget or object exists per card, hunk or line.
class DiffCanvas : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A caret position in the code text: a code-line row and a character index in its text.
    struct TextPosition {
        int row = -1;
        qsizetype index = 0;
        friend auto operator<=>(const TextPosition &, const TextPosition &) = default;
    };

    explicit DiffCanvas(QWidget *parent = nullptr);

    // Shows a diff: replaces everything, clears the selection and scrolls to the top.
    void setDiff(const ParsedDiff &diff);
    void setLayout(DiffLayout layout);
    void clear();

    const DiffLayout &diffLayout() const { return m_layout; }
    const DiffMetrics &metrics() const { return m_metrics; }
    // The content coordinate at the viewport's top-left corner.
    QPoint contentOffset() const;
    // The caret position nearest a viewport point; a point off the code lines snaps to the next line.
    TextPosition positionAt(QPoint point) const;

    bool hasSelection() const { return m_anchor.row >= 0 && m_anchor != m_cursor; }
    // The selected part of the lines' real text (tabs and carriage returns as they are), joined by line feeds.
    QString selectedText() const;
    void copy() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void updateScrollBars();
    void dragTo(QPoint point);

    DiffMetrics m_metrics;
    DiffLayout m_layout;
    TextPosition m_anchor;
    TextPosition m_cursor;
    bool m_selecting = false;
    QPoint m_dragPoint;
    QBasicTimer m_autoScroll;
};
