#pragma once

// The real window over the real tools, its modal questions answered from a script: what the
// end-to-end tests drive. Every wait is bounded, so a hanging action fails its test instead of
// stopping the suite.
#include "support/FakeClients.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include "state/AppState.h"
#include "ui/window/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class RealWindow {
public:
    // Long enough for a checkout under the sanitizers, short enough that a hang ends the test.
    static constexpr int actionTimeoutMs = 30000;

    RealWindow(const QString &settingsFile, const QList<Project> &projects)
        : m_settings(settingsFile, QSettings::IniFormat)
    {
        ProjectStore(&m_settings).save(projects);
        m_state = std::make_unique<AppState>(&m_settings);
        m_state->setDialogs(&dialogs);
        m_window = std::make_unique<MainWindow>(*m_state);
        m_window->resize(1280, 800);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        EXPECT_TRUE(settle());
    }

    ~RealWindow()
    {
        // Nothing may outlive the window still running.
        EXPECT_TRUE(settle());
        m_window.reset();
        m_state.reset();
    }

    AppState &state() { return *m_state; }
    MainWindow &window() { return *m_window; }
    QSettings &settings() { return m_settings; }

    // Lets every started task end and the queued renders run; false when a task still runs at the limit.
    bool settle(int timeoutMs = actionTimeoutMs)
    {
        bool idle = waitUntilIdle(*m_state, timeoutMs);
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        idle = waitUntilIdle(*m_state, timeoutMs) && idle;
        QCoreApplication::processEvents();
        return idle;
    }

    QAction *menuItem(const QString &menu, const QString &item) const
    {
        for (QAction *menuAction : m_window->menuBar()->actions()) {
            if (TestSupport::withoutMnemonic(menuAction->text()) != menu || !menuAction->menu())
                continue;
            for (QAction *action : menuAction->menu()->actions()) {
                if (action->text() == item)
                    return action;
            }
        }
        return nullptr;
    }

    // Chooses the menu item, waits until what it started has ended, and tells how it ended:
    // "alert:<title>", else "output:<title>", else "ok". It must not leave the busy message standing.
    std::string choose(const QString &menu, const QString &item)
    {
        dismiss();
        QAction *action = menuItem(menu, item);
        if (!action) {
            ADD_FAILURE() << "no menu item " << menu.toStdString() << " > " << item.toStdString();
            return "missing";
        }
        action->trigger();
        EXPECT_TRUE(settle()) << item.toStdString() << " still runs";
        EXPECT_FALSE(m_state->busyMessage().has_value())
            << item.toStdString() << " left the busy message " << m_state->busyMessage().value_or("").toStdString();
        return outcome();
    }

    std::string outcome() const
    {
        if (m_state->alert())
            return "alert:" + m_state->alert()->title.toStdString();
        if (m_state->commandOutput())
            return "output:" + m_state->commandOutput()->title.toStdString();
        return "ok";
    }

    // What the last action reported, for failure messages.
    std::string details() const
    {
        std::string text;
        if (m_state->alert())
            text += "alert message: " + m_state->alert()->message.toStdString() + "\n";
        if (m_state->commandOutput()) {
            text += "command: " + m_state->commandOutput()->commandLine.toStdString() + "\n";
            text += "stdout: " + m_state->commandOutput()->stdout.toStdString() + "\n";
            text += "stderr: " + m_state->commandOutput()->stderr.toStdString() + "\n";
        }
        return text;
    }

    // Closes the alert and the sheet, as the user's OK and Done do.
    void dismiss()
    {
        m_state->setAlert(std::nullopt);
        m_state->setCommandOutput(std::nullopt);
        QCoreApplication::processEvents();
    }

    // Selects the project as its sidebar row does, and waits for its loads.
    void selectProject(const QUuid &id)
    {
        if (m_state->selectedProjectID() != id) {
            m_state->setSelectedProjectID(id);
            m_state->projectSelectionChanged();
        }
        EXPECT_TRUE(settle());
    }

    std::optional<Project> projectAt(const QString &path) const
    {
        for (const Project &project : m_state->projects()) {
            if (project.path == path)
                return project;
        }
        return std::nullopt;
    }

    bool lists(const QString &path) const
    {
        for (const WorkingCopyItem &item : m_state->changes()) {
            if (item.path == path)
                return true;
        }
        return false;
    }

    template <typename T> T *find(const QString &objectName) const { return m_window->findChild<T *>(objectName); }

    ScriptedDialogs dialogs;

private:
    QSettings m_settings;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MainWindow> m_window;
};
