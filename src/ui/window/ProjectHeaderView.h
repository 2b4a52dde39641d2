#pragma once

#include "model/LogEntry.h"
#include "model/Project.h"

#include <QWidget>

#include <optional>

class AppState;
class ElidedLabel;
class QHBoxLayout;
class QLabel;
class QPushButton;
class Spinner;

// The line under the project's name: the kind with the revision the working copy is at, when known.
QString repositorySubtitle(std::optional<RepositoryKind> kind, const RepositoryInfo &info);

// The selected project's name, subtitle and path, the busy indicator, and Refresh, Branch and Update.
class ProjectHeaderView : public QWidget {
    Q_OBJECT

public:
    explicit ProjectHeaderView(AppState &state, QWidget *parent = nullptr);

    void render();
    // Extra room on the leading side, kept free for a control floating over the header.
    void setLeadingInset(int inset);

    ElidedLabel *nameLabel() const { return m_name; }
    ElidedLabel *subtitleLabel() const { return m_subtitle; }
    ElidedLabel *pathLabel() const { return m_path; }
    Spinner *spinner() const { return m_spinner; }
    ElidedLabel *busyLabel() const { return m_busy; }
    // Beside the busy text while an action the user started runs.
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *refreshButton() const { return m_refresh; }
    QPushButton *branchButton() const { return m_branch; }
    QPushButton *updateButton() const { return m_update; }

private:
    AppState &m_state;
    QHBoxLayout *m_row;
    ElidedLabel *m_name;
    ElidedLabel *m_subtitle;
    ElidedLabel *m_path;
    Spinner *m_spinner;
    ElidedLabel *m_busy;
    QPushButton *m_stop;
    QPushButton *m_refresh;
    QPushButton *m_branch;
    QPushButton *m_update;
};

// What the detail pane shows while no project is selected.
class EmptyProjectView : public QWidget {
    Q_OBJECT

public:
    explicit EmptyProjectView(AppState &state, QWidget *parent = nullptr);

    QPushButton *addButton() const { return m_add; }
    QPushButton *newButton() const { return m_new; }
    QPushButton *checkoutButton() const { return m_checkout; }

private:
    QPushButton *m_add;
    QPushButton *m_new;
    QPushButton *m_checkout;
};
