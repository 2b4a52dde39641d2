// The Qt dialogs, opened offscreen and answered by a timer while their modal loop runs.
#include "ui/window/QtDialogs.h"
#include "ModalAnswers.h"
#include "support/FakeClients.h"
#include "ui/kit/ElidedLabel.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

QStringList buttonTexts(QWidget *dialog)
{
    QStringList texts;
    if (auto *box = dialog->findChild<QDialogButtonBox *>()) {
        for (QAbstractButton *candidate : box->buttons())
            texts << candidate->text();
    }
    return texts;
}

} // namespace

TEST(QtDialogs, PromptShowsOneRowPerFieldAndReturnsTheRawTexts)
{
    QtDialogs dialogs;
    const QString longLabel = "A label far too long to fit into the narrow column before the field";
    bool checked = false;
    whenModal([&](QWidget *dialog) {
        QWidget *form = dialog->findChild<QWidget *>("form");
        ASSERT_TRUE(form);
        EXPECT_EQ(form->size(), QSize(520, 100));
        EXPECT_EQ(dialog->findChild<QLabel *>("heading")->text(), "Checkout");
        EXPECT_TRUE(dialog->findChild<QLabel *>("heading")->font().bold());
        EXPECT_EQ(buttonTexts(dialog), QStringList({"OK", "Cancel"}));
        EXPECT_TRUE(button(dialog, "OK")->isDefault());

        const QList<QLineEdit *> edits = form->findChildren<QLineEdit *>();
        const QList<ElidedLabel *> labels = form->findChildren<ElidedLabel *>();
        ASSERT_EQ(edits.size(), 3);
        ASSERT_EQ(labels.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(edits[i]->width(), 382);
            EXPECT_GE(edits[i]->height(), 22);
            EXPECT_EQ(labels[i]->width(), 126);
            EXPECT_EQ(labels[i]->alignment(), Qt::AlignRight | Qt::AlignVCenter);
            EXPECT_EQ(edits[i]->placeholderText(), labels[i]->text());
            EXPECT_LT(labels[i]->geometry().right(), edits[i]->geometry().left());
        }
        EXPECT_EQ(labels[0]->text(), "Repository URL");
        EXPECT_EQ(labels[0]->elidedText(), "Repository URL");
        EXPECT_TRUE(labels[2]->elidedText().endsWith(QChar(0x2026)));
        EXPECT_LT(labels[2]->elidedText().size(), longLabel.size());
        EXPECT_EQ(edits[0]->text(), "preset");
        EXPECT_EQ(dialog->focusWidget(), edits[0]);

        edits[0]->setText("  https://host/repo  ");
        edits[2]->setText("third");
        button(dialog, "OK")->click();
        checked = true;
    });
    const auto texts = dialogs.prompt(
        "Checkout", {{"url", "Repository URL", "preset"}, {"message", "Message", ""}, {"long", longLabel, ""}});
    ASSERT_TRUE(checked);
    ASSERT_TRUE(texts);
    EXPECT_EQ(*texts, QStringList({"  https://host/repo  ", "", "third"}));
}

TEST(QtDialogs, PromptCancelledAfterEditingGivesNothingAndHeightFollowsTheRows)
{
    QtDialogs dialogs;
    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QWidget *>("form")->size(), QSize(520, 28));
        dialog->findChild<QLineEdit *>()->setText("typed");
        button(dialog, "Cancel")->click();
    });
    EXPECT_FALSE(dialogs.prompt("Folder", {{"name", "Folder Name", "x"}}));

    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QWidget *>("form")->size(), QSize(520, 64));
        dialog->close();
    });
    EXPECT_FALSE(dialogs.prompt("Two", {{"a", "A", ""}, {"b", "B", ""}}));

    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QWidget *>("form")->size(), QSize(520, 0));
        button(dialog, "OK")->click();
    });
    EXPECT_EQ(dialogs.prompt("None", {}), QStringList());
}

TEST(QtDialogs, ConfirmationIsAWarningAndOnlyContinueCounts)
{
    QtDialogs dialogs;
    whenModal([](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->text(), "Remove Project");
        EXPECT_EQ(box->informativeText(), "Remove A from the list?");
        EXPECT_EQ(box->defaultButton()->text(), "Continue");
        EXPECT_EQ(box->escapeButton()->text(), "Cancel");
        // An alert: wide enough for a path on one line, its title in bold.
        EXPECT_GE(box->width(), 420);
        auto *title = box->findChild<QLabel *>("qt_msgbox_label");
        ASSERT_TRUE(title);
        EXPECT_GE(title->font().weight(), QFont::Bold);
        button(box, "Continue")->click();
    });
    EXPECT_TRUE(dialogs.confirm("Remove Project", "Remove A from the list?"));

    whenModal([](QWidget *dialog) { button(dialog, "Cancel")->click(); });
    EXPECT_FALSE(dialogs.confirm("Remove Project", "Remove A from the list?"));

    whenModal([](QWidget *dialog) { dialog->close(); });
    EXPECT_FALSE(dialogs.confirm("Remove Project", "Remove A from the list?"));
}

TEST(QtDialogs, OpenPanelChoosesAFolderWithTheGivenTitle)
{
    QTemporaryDir dir;
    QtDialogs dialogs;
    whenModal([&](QWidget *dialog) {
        auto *panel = qobject_cast<QFileDialog *>(dialog);
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->windowTitle(), "Choose Checkout Parent Folder");
        EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(panel->testOption(QFileDialog::ShowDirsOnly));
        EXPECT_FALSE(panel->testOption(QFileDialog::ReadOnly));
        panel->setDirectory(dir.path());
        panel->selectFile(dir.path());
        static_cast<QDialog *>(panel)->accept();
    });
    OpenPanelOptions options;
    options.title = "Choose Checkout Parent Folder";
    options.canChooseFiles = false;
    options.canChooseDirectories = true;
    options.canCreateDirectories = true;
    EXPECT_EQ(dialogs.openPanel(options), dir.path());

    whenModal([](QWidget *dialog) {
        auto *panel = qobject_cast<QFileDialog *>(dialog);
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFile);
        EXPECT_TRUE(panel->testOption(QFileDialog::ReadOnly));
        panel->reject();
    });
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    options.canCreateDirectories = false;
    EXPECT_FALSE(dialogs.openPanel(options));
}

TEST(QtDialogs, SavePanelShowsMessagePromptAndNameAndGivesTheChosenPath)
{
    QTemporaryDir dir;
    QtDialogs dialogs;
    whenModal([&](QWidget *dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Create SVN Repository");
        EXPECT_EQ(dialog->findChild<QLabel *>("message")->text(), "Choose where to create a local SVN repository.");
        auto *panel = dialog->findChild<QFileDialog *>();
        ASSERT_TRUE(panel);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(panel->labelText(QFileDialog::Accept), "Create");
        EXPECT_EQ(panel->labelText(QFileDialog::FileName), "Repository Name:");
        EXPECT_FALSE(panel->testOption(QFileDialog::ReadOnly));
        auto *name = panel->findChild<QLineEdit *>("fileNameEdit");
        ASSERT_TRUE(name);
        EXPECT_EQ(name->text(), "NewRepository");
        panel->setDirectory(dir.path());
        panel->selectFile("NewRepository");
        static_cast<QDialog *>(panel)->accept();
    });
    SavePanelOptions options;
    options.title = "Create SVN Repository";
    options.message = "Choose where to create a local SVN repository.";
    options.prompt = "Create";
    options.nameFieldLabel = "Repository Name:";
    options.nameFieldValue = "NewRepository";
    options.canCreateDirectories = true;
    EXPECT_EQ(dialogs.savePanel(options), dir.filePath("NewRepository"));

    whenModal([](QWidget *dialog) {
        EXPECT_FALSE(dialog->findChild<QLabel *>("message"));
        dialog->findChild<QFileDialog *>()->reject();
    });
    EXPECT_FALSE(dialogs.savePanel(SavePanelOptions{"Save"}));
}

TEST(QtDialogs, BranchDialogOffersThePopUpAboveAFreeTextField)
{
    QtDialogs dialogs;
    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QLabel *>("heading")->text(), "Switch Branch");
        EXPECT_EQ(buttonTexts(dialog), QStringList({"Switch", "Cancel"}));
        EXPECT_EQ(dialog->findChild<QWidget *>("form")->size(), QSize(520, 64));
        auto *popUp = dialog->findChild<QComboBox *>("branchPopUp");
        auto *text = dialog->findChild<QLineEdit *>("branchText");
        ASSERT_TRUE(popUp && text);
        EXPECT_EQ(popUp->count(), 3);
        EXPECT_EQ(popUp->currentIndex(), 1);
        EXPECT_EQ(popUp->width(), 382);
        EXPECT_EQ(text->placeholderText(), "Optional branch name");
        EXPECT_EQ(dialog->focusWidget(), popUp);
        QStringList labels;
        for (ElidedLabel *label : dialog->findChildren<ElidedLabel *>())
            labels << label->text();
        EXPECT_EQ(labels, QStringList({"Branch", "Other"}));
        EXPECT_LT(popUp->mapTo(dialog, QPoint()).y(), text->mapTo(dialog, QPoint()).y());
        popUp->setCurrentIndex(2);
        text->setText(" feature ");
        button(dialog, "Switch")->click();
    });
    BranchChoiceRequest request{{"main", "dev (current)", "origin/main (remote)"}, 1, "Optional branch name"};
    const auto answer = dialogs.chooseBranch(request);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->selectedIndex, 2);
    EXPECT_EQ(answer->text, " feature ");

    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QWidget *>("form")->size(), QSize(520, 28));
        EXPECT_FALSE(dialog->findChild<QComboBox *>());
        auto *text = dialog->findChild<QLineEdit *>("branchText");
        EXPECT_EQ(text->placeholderText(), "Branch name");
        EXPECT_EQ(dialog->findChild<ElidedLabel *>()->text(), "Branch");
        EXPECT_EQ(dialog->focusWidget(), text);
        button(dialog, "Switch")->click();
    });
    const auto empty = dialogs.chooseBranch(BranchChoiceRequest{{}, std::nullopt, "Branch name"});
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->selectedIndex);
    EXPECT_EQ(empty->text, "");

    whenModal([](QWidget *dialog) {
        EXPECT_EQ(dialog->findChild<QComboBox *>()->currentIndex(), 0) << "an index outside the list keeps the first";
        button(dialog, "Cancel")->click();
    });
    EXPECT_FALSE(dialogs.chooseBranch(BranchChoiceRequest{{"a", "b"}, 7, {}}));
}

TEST(QtDialogs, BringToFrontActivatesTheMainWindow)
{
    QMainWindow window;
    QWidget other;
    window.show();
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &other; }, 5000));
    QtDialogs dialogs(&window);
    dialogs.bringToFront();
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == &window; }, 5000));
}

// The state's removal through the real confirmation: the question names the project, Continue removes it.
TEST(QtDialogs, RemovingAProjectThroughTheRealConfirmation)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
    const Project project{QUuid::createUuid(), "Alpha", "/work/alpha", RepositoryKind::svn};
    ProjectStore(&settings).save({project});
    FakeClients fakes;
    AppState state(&settings, fakes.make());
    QtDialogs dialogs;
    state.setDialogs(&dialogs);
    QString shown;
    whenModal([&](QWidget *dialog) {
        shown = qobject_cast<QMessageBox *>(dialog)->informativeText();
        button(dialog, "Continue")->click();
    });
    state.removeSelectedProject();
    EXPECT_EQ(shown, "Remove Alpha from the project list? The working copy on disk will not be deleted.");
    EXPECT_TRUE(state.projects().isEmpty());
    EXPECT_TRUE(waitUntilIdle(state));
    EXPECT_TRUE(ProjectStore(&settings).load().isEmpty());
}

// Started from another folder, every panel opens in the home folder, and then where the user last chose.
TEST(QtDialogs, PanelsStartAtHomeThenInTheFolderLastChosen)
{
    QTemporaryDir sandbox;
    const QString home = sandbox.filePath("home");
    const QString started = sandbox.filePath("started");
    const QString chosen = sandbox.filePath("projects");
    const QString saved = sandbox.filePath("repositories");
    for (const QString &folder : {home, started, chosen, saved})
        ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray oldHome = qgetenv("HOME");
    const QString oldFolder = QDir::currentPath();
    qputenv("HOME", QFile::encodeName(home));
    ASSERT_TRUE(QDir::setCurrent(started));

    QtDialogs dialogs;
    QStringList startedIn;
    // Answers the next panel in the folder, with the name for a save panel.
    const auto choose = [&](const QString &folder, const QString &name) {
        whenModal([&startedIn, folder, name](QWidget *dialog) {
            auto *panel = name.isEmpty() ? qobject_cast<QFileDialog *>(dialog) : dialog->findChild<QFileDialog *>();
            ASSERT_TRUE(panel);
            startedIn << panel->directory().absolutePath();
            panel->setDirectory(folder);
            if (!name.isEmpty())
                panel->selectFile(name);
            static_cast<QDialog *>(panel)->accept();
        });
    };
    const auto open = [&](const QString &folder) {
        choose(folder, {});
        return dialogs.openPanel({.title = "Add Working Copy", .canChooseFiles = false, .canChooseDirectories = true});
    };
    const auto save = [&](const QString &folder) {
        choose(folder, "NewRepository");
        return dialogs.savePanel({.title = "Create SVN Repository", .nameFieldValue = "NewRepository"});
    };
    EXPECT_EQ(save(saved), saved + "/NewRepository");
    EXPECT_EQ(open(chosen), chosen);
    EXPECT_EQ(save(saved), saved + "/NewRepository");
    EXPECT_EQ(open(chosen), chosen);
    // A folder remembered in place of the one chosen (the parent of a folder that became a project).
    dialogs.rememberFolder(sandbox.path());
    EXPECT_EQ(save(saved), saved + "/NewRepository");
    EXPECT_EQ(open(chosen), chosen);
    ASSERT_TRUE(QDir(chosen).removeRecursively());
    EXPECT_EQ(save(saved), saved + "/NewRepository");
    EXPECT_EQ(startedIn, QStringList({home, saved, chosen, saved, sandbox.path(), saved, home}));

    ASSERT_TRUE(QDir::setCurrent(oldFolder));
    qputenv("HOME", oldHome);
}
