#pragma once

#include "state/AppDialogs.h"

#include <QPointer>

class QWidget;

// The modal questions of the actions as Qt dialogs, each run with exec() over the main window.
class QtDialogs : public AppDialogs {
public:
    // The window the dialogs belong to and that bringToFront() raises; may be set later.
    explicit QtDialogs(QWidget *window = nullptr);
    void setWindow(QWidget *window) { m_window = window; }

    std::optional<QStringList> prompt(const QString &title, const QList<PromptField> &fields) override;
    bool confirm(const QString &title, const QString &message) override;
    std::optional<QString> openPanel(const OpenPanelOptions &options) override;
    std::optional<QString> savePanel(const SavePanelOptions &options) override;
    void rememberFolder(const QString &folder) override { m_lastFolder = folder; }
    std::optional<BranchChoiceAnswer> chooseBranch(const BranchChoiceRequest &request) override;
    void bringToFront() override;

private:
    // Where a panel opens: the folder last chosen in any panel (or remembered in its place) while it
    // still stands, else the home folder. Never Qt's default, the process's working directory, where a
    // Return would create or save something the user did not look at.
    QString startFolder() const;

    QPointer<QWidget> m_window;
    QString m_lastFolder;
};
