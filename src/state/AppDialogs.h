#pragma once

#include <QList>
#include <QString>

#include <optional>

// One labelled text field of a modal form.
struct PromptField {
    QString key;
    QString label;
    QString value;
};

// What an open panel offers.
struct OpenPanelOptions {
    QString title;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool canCreateDirectories = false;
};

// What a save panel offers.
struct SavePanelOptions {
    QString title;
    QString message;
    QString prompt;
    QString nameFieldLabel;
    QString nameFieldValue;
    bool canCreateDirectories = false;
};

// The branch dialog: a pop-up of branch titles above a free text field.
struct BranchChoiceRequest {
    QStringList itemTitles;
    // The pop-up's selected item when the dialog opens; absent keeps the pop-up's own default (the first).
    std::optional<int> preselectedIndex;
    QString textPlaceholder;
};

struct BranchChoiceAnswer {
    // The pop-up's selected item; absent when there was no pop-up.
    std::optional<int> selectedIndex;
    // The free text as typed, untrimmed.
    QString text;
};

// Every modal question the actions ask. The answers are raw: trimming, "empty means cancelled" and
// every other rule live in the state, so a scripted implementation exercises them in tests.
class AppDialogs {
public:
    virtual ~AppDialogs() = default;

    // The texts of the fields, in field order, as typed; nothing when the form was cancelled.
    virtual std::optional<QStringList> prompt(const QString &title, const QList<PromptField> &fields) = 0;
    // True only when the user chose "Continue".
    virtual bool confirm(const QString &title, const QString &message) = 0;
    // The chosen path; nothing when cancelled.
    virtual std::optional<QString> openPanel(const OpenPanelOptions &options) = 0;
    virtual std::optional<QString> savePanel(const SavePanelOptions &options) = 0;
    // The folder the next panel opens in, in place of the one last chosen: the state names the parent
    // of a folder that became a project, so that one Return there makes nothing inside the project.
    virtual void rememberFolder(const QString &folder) = 0;
    // Nothing when cancelled.
    virtual std::optional<BranchChoiceAnswer> chooseBranch(const BranchChoiceRequest &request) = 0;
    // Brings the application's window to the front.
    virtual void bringToFront() = 0;
};
