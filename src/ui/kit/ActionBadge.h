#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

class QPainter;

// The colour of a path's change action: exact, case-sensitive letters; anything else is secondary.
QColor actionTint(const QString &action, const QPalette &palette);
// The action as shown: verbatim, "?" when empty.
QString actionBadgeText(const QString &action);
// Draws the action's badge centred in `rect` over `background`, for list delegates.
void paintActionBadge(
    QPainter &painter, const QRectF &rect, const QString &action, const QPalette &palette, const QColor &background);

// How one path was changed in one revision, as a white letter on a tinted 22 × 20 box.
class ActionBadge : public QWidget {
    Q_OBJECT

public:
    explicit ActionBadge(const QString &action = QString(), QWidget *parent = nullptr);

    const QString &action() const { return m_action; }
    void setAction(const QString &action);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_action;
};
