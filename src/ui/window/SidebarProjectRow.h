#pragma once

#include "model/Project.h"

#include <QAbstractButton>

class AppState;

// The small kind label beside a project's name: "SVN" or "Git" on a faint rounded box.
class RepositoryBadge {
public:
    static QFont font();
    static QSize size(RepositoryKind kind);
    // `row` is the opaque colour the badge stands on.
    static void paint(
        QPainter &painter, const QPointF &topLeft, RepositoryKind kind, const QPalette &palette, const QColor &row);
};

// One project in the sidebar: folder symbol, name with its kind badge, and the path cut in the middle.
// A click selects the project; a click on the selected row does nothing. Focused, it is chosen with
// Space or Return.
class SidebarProjectRow : public QAbstractButton {
    Q_OBJECT

public:
    SidebarProjectRow(AppState &state, const Project &project, QWidget *parent = nullptr);

    const Project &project() const { return m_project; }
    void setProject(const Project &project);
    bool isSelected() const;
    // The path as drawn at the current width.
    QString displayedPath() const;
    // Where the kind badge stands beside the name.
    QRectF badgeRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void choose();
    int textLeft() const;
    int contentTop() const;
    QString shownName() const;
    // Beside the name as shown.
    QRectF badgeRect(const QString &name) const;

    AppState &m_state;
    Project m_project;
};
