#pragma once

#include <QSet>
#include <QWidget>

class AppState;
class ElidedLabel;
class QPlainTextEdit;
class QPushButton;

// The Commit button's rule: something ticked, and a message that is more than white space.
bool commitButtonEnabled(const QSet<QString> &selectedCommitPaths, const QString &commitMessage);

// The panel under the Changes tab's split: the commit message editor over the number of ticked paths
// and the Commit button. Ctrl+Return belongs to the menu's Commit item, which calls the same action.
class CommitPanelView : public QWidget {
    Q_OBJECT

public:
    explicit CommitPanelView(AppState &state, QWidget *parent = nullptr);

    void render();

    QPlainTextEdit *editor() const { return m_editor; }
    QWidget *editorField() const { return m_field; }
    ElidedLabel *countLabel() const { return m_count; }
    QPushButton *commitButton() const { return m_commit; }

private:
    void editorTextChanged();

    AppState &m_state;
    QWidget *m_field;
    QPlainTextEdit *m_editor;
    ElidedLabel *m_count;
    QPushButton *m_commit;
    // The state's message that the editor holds; the editor is only written when the state moves away
    // from it, so typing never resets the cursor or the undo history.
    QString m_shownMessage;
    bool m_settingText = false;
};
