#pragma once

#include "model/CommandOutput.h"

#include <QDialog>
#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;

// The exit status, then standard output and standard error as captured, in one text.
QString renderedOutput(const CommandOutput &output);

// One finished command: its title, command line and everything it printed, with "Done".
class CommandOutputView : public QWidget {
    Q_OBJECT

public:
    CommandOutputView(const CommandOutput &output, std::function<void()> dismiss, QWidget *parent = nullptr);

    QPlainTextEdit *outputArea() const { return m_outputArea; }
    QPushButton *doneButton() const { return m_doneButton; }

private:
    QPlainTextEdit *m_outputArea;
    QPushButton *m_doneButton;
};

// The window-modal sheet around a CommandOutputView. Done, Return, Escape and closing all finish it.
class CommandOutputSheet : public QDialog {
    Q_OBJECT

public:
    CommandOutputSheet(const CommandOutput &output, QWidget *parent);

    const QUuid &outputID() const { return m_outputID; }
    CommandOutputView *view() const { return m_view; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QUuid m_outputID;
    CommandOutputView *m_view;
};
