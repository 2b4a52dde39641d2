#pragma once

#include "ui/kit/Binding.h"

#include <QAbstractButton>

// The 30 × 28 glass tile with the sidebar symbol that shows or hides the sidebar.
class SidebarToggleButton : public QAbstractButton {
    Q_OBJECT

public:
    SidebarToggleButton(Binding<bool> isVisible, QWidget *parent = nullptr);

    // Follows the bound value: the tooltip says what a click will do.
    void render();

    QSize sizeHint() const override { return {30, 28}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Binding<bool> m_isVisible;
};
