// Names, messages and output that a repository controls show as they stand, in every dialog and in
// the window: a label that guesses its format loads the file an <img> names and makes <a href> a link.
#include "ModalAnswers.h"
#include "RealWindow.h"

#include "ui/window/CommandOutputView.h"
#include "ui/window/QtDialogs.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <functional>
#include <vector>

using namespace TestSupport;

namespace {

// Far taller than a line of text: a label that loaded the picture grows to its height.
constexpr int pictureHeight = 900;

QString writePicture(const QString &path)
{
    QImage picture(8, pictureHeight, QImage::Format_RGB32);
    picture.fill(Qt::red);
    EXPECT_TRUE(picture.save(path, "PNG"));
    return path;
}

// Markup as one file or folder name can carry it: "&#47;" stands for the "/" a name cannot hold. No
// quotes, which Qt's file dialog reads as separating several names.
QString markupName(const QString &picturePath)
{
    QString source = picturePath;
    source.replace(u'/', QStringLiteral("&#47;"));
    return QStringLiteral("<img src=") + source + QStringLiteral("><a href=https:&#47;&#47;example.com>notes.txt");
}

// What under the widget Qt renders as markup: labels (Qt's own inside message boxes and file dialogs
// included), tooltips and the tooltips of list rows.
QStringList renderedAsMarkup(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    QStringList found;
    for (QWidget *widget : std::as_const(widgets)) {
        const QString where = QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            const Qt::TextFormat format = label->textFormat();
            if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(label->text())))
                found << where + QStringLiteral(": ") + label->text();
            if (label->sizeHint().height() >= pictureHeight)
                found << where + QStringLiteral(" loaded the picture");
        }
        if (Qt::mightBeRichText(widget->toolTip()))
            found << where + QStringLiteral(" tooltip: ") + widget->toolTip();
        if (auto *view = qobject_cast<QAbstractItemView *>(widget); view && view->model()) {
            for (int row = 0; row < view->model()->rowCount(); ++row) {
                const QString tip = view->model()->index(row, 0).data(Qt::ToolTipRole).toString();
                if (Qt::mightBeRichText(tip))
                    found << where + QStringLiteral(" row tooltip: ") + tip;
            }
        }
    }
    return found;
}

bool aLabelShows(QWidget *root, const QString &text)
{
    const QList<QLabel *> labels = root->findChildren<QLabel *>();
    return std::any_of(labels.begin(), labels.end(), [&](QLabel *label) { return label->text().contains(text); });
}

} // namespace

TEST(PlainText, EveryDialogShowsMarkupInItsTextsAsText)
{
    QTemporaryDir dir;
    const QString name = markupName(writePicture(dir.filePath("picture.png")));
    QtDialogs dialogs;
    struct Opening {
        const char *dialog;
        std::function<void()> open;
        // Whether one of its labels holds the name; the branch choice shows it in its pop-up only.
        bool labelled;
    };
    const std::vector<Opening> openings{
        {"form", [&] { dialogs.prompt(name, {{"path", name, name}}); }, true},
        {"confirmation", [&] { dialogs.confirm(name, QStringLiteral("Replace ") + name + u'?'); }, true},
        {"save panel", [&] { dialogs.savePanel(SavePanelOptions{name, name, name, name, name, true}); }, true},
        {"branch choice", [&] { dialogs.chooseBranch(BranchChoiceRequest{{name}, 0, name}); }, false},
    };
    for (const Opening &opening : openings) {
        bool seen = false;
        whenModal([&](QWidget *dialog) {
            seen = true;
            EXPECT_EQ(renderedAsMarkup(dialog), QStringList()) << opening.dialog;
            if (opening.labelled) {
                EXPECT_TRUE(aLabelShows(dialog, name)) << opening.dialog;
            }
            dialog->close();
        });
        opening.open();
        EXPECT_TRUE(seen) << opening.dialog;
    }
}

// A cloned repository whose folder, file, branch and commit message hold markup, in the real window;
// the questions of Pull File, Create Archive Zip and Remove Project name them through the real dialogs.
TEST(PlainText, RepositoryNamesShowAsTextInTheWindowAndInTheQuestionsOfItsActions)
{
    Sandbox sandbox;
    const QString name = markupName(writePicture(sandbox.filePath("picture.png")));
    const GitFixture git = GitFixture::create(sandbox.path(), name);
    writeFile(git.path + u'/' + name, "one\n");
    git.commitAll(QStringLiteral("<b>bold</b> ") + name);
    git.git({"checkout", "-q", "-b", "<b>bold</b>"});
    writeFile(git.path + u'/' + name, "two\n");

    RealWindow app(sandbox.filePath("settings.ini"), {Project{QUuid::createUuid(), name, git.path, RepositoryKind::git}});
    AppState &state = app.state();
    ASSERT_TRUE(app.lists(name));
    state.setSelectedChangeID(name);
    state.selectedChangeChanged();
    for (WorkflowTab tab : {WorkflowTab::history, WorkflowTab::incoming, WorkflowTab::archives, WorkflowTab::changes}) {
        state.setSelectedTab(tab);
        state.refreshAll();
        ASSERT_TRUE(app.settle());
        EXPECT_EQ(renderedAsMarkup(&app.window()), QStringList()) << int(tab);
    }
    EXPECT_TRUE(aLabelShows(&app.window(), name));

    QtDialogs dialogs(&app.window());
    state.setDialogs(&dialogs);
    QStringList asked;
    // Each question is checked, must name the file, and is answered with "Continue" or closed.
    const auto question = [&](const QString &title, bool proceed) {
        whenModal([&, title, proceed](QWidget *dialog) {
            asked << title;
            EXPECT_EQ(renderedAsMarkup(dialog), QStringList()) << title.toStdString();
            EXPECT_TRUE(aLabelShows(dialog, name)) << title.toStdString();
            if (proceed)
                button(dialog, QStringLiteral("Continue"))->click();
            else
                dialog->close();
        });
    };

    // Pull File over the local change: the form holds the selected file, the question names it.
    whenModal([&](QWidget *form) {
        EXPECT_EQ(renderedAsMarkup(form), QStringList());
        const QList<QLineEdit *> fields = form->findChildren<QLineEdit *>();
        ASSERT_EQ(fields.size(), 2);
        EXPECT_EQ(fields[0]->text(), name);
        fields[1]->setText(QStringLiteral("HEAD"));
        question(QStringLiteral("Pull File"), false);
        button(form, QStringLiteral("OK"))->click();
    });
    EXPECT_EQ(app.choose("History", "Pull File At Revision..."), "ok");
    EXPECT_EQ(readFile(git.path + u'/' + name), "two\n");

    question(QStringLiteral("Remove Project"), false);
    EXPECT_EQ(app.choose("Repository", "Remove Project"), "ok");
    EXPECT_EQ(state.projects().size(), 1);

    // A zip chosen without its extension where one with it exists: the question names that file, and
    // the output sheet shows the command line that names it again.
    ASSERT_FALSE(state.archiveEntries().isEmpty());
    state.setSelectedArchiveEntryID(state.archiveEntries().first().id());
    const QString folder = sandbox.filePath("zips");
    writeFile(folder + u'/' + name + QStringLiteral(".zip"), "old");
    whenModal([&](QWidget *dialog) {
        EXPECT_EQ(renderedAsMarkup(dialog), QStringList());
        auto *panel = dialog->findChild<QFileDialog *>();
        ASSERT_TRUE(panel);
        panel->setDirectory(folder);
        // selectFile leaves the name field alone once it has the focus, which it may get before this
        // runs or after: the name is typed into the field instead.
        auto *nameField = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(nameField);
        nameField->setText(name);
        question(QStringLiteral("Create Archive Zip"), true);
        static_cast<QDialog *>(panel)->accept();
    });
    EXPECT_EQ(app.choose("History", "Create Archive Zip..."), "output:Create Archive Zip") << app.details();
    EXPECT_NE(readFile(folder + u'/' + name + QStringLiteral(".zip")), "old");
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(renderedAsMarkup(&app.window()), QStringList());
    EXPECT_TRUE(aLabelShows(app.window().findChild<CommandOutputSheet *>(), name));

    EXPECT_EQ(asked, QStringList({"Pull File", "Remove Project", "Create Archive Zip"}));
    state.setDialogs(&app.dialogs);
}
