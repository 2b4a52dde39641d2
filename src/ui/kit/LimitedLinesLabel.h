#pragma once

#include <QLabel>
#include <QPalette>

// The lines `text` takes at `width` in `font`, at most `maxLines` of them (0: no limit). When the text
// does not fit, the last line kept ends in an ellipsis; one line may instead be cut in its middle.
// Line breaks in the text start new lines.
QStringList limitedLines(
    const QString &text, const QFont &font, int width, int maxLines, Qt::TextElideMode mode = Qt::ElideRight);

// A text of at most a given number of lines that wraps at the label's width and ends in an ellipsis
// where it is cut. Optionally selectable: a selection of everything that is shown copies the whole
// text, so a cut path or message is copied in full.
class LimitedLinesLabel : public QLabel {
    Q_OBJECT

public:
    explicit LimitedLinesLabel(int maxLines = 0, QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }
    void setElideMode(Qt::TextElideMode mode);
    void setSelectable(bool selectable);
    // A palette function for the text colour; none means the label's own foreground.
    void setColor(QColor (*color)(const QPalette &));
    // Puts the selected text on the clipboard (the whole text when everything shown is selected).
    void copySelection() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QStringList linesAt(int width) const;
    void relayout();
    void applyColor();

    QString m_fullText;
    int m_maxLines;
    Qt::TextElideMode m_mode = Qt::ElideRight;
    QColor (*m_color)(const QPalette &) = nullptr;
    bool m_applyingColor = false;
};
