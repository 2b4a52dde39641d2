#include "ui/window/QtDialogs.h"

#include "ui/kit/ElidedLabel.h"
#include "ui/kit/PlainText.h"
#include "ui/kit/Theme.h"
#include "ui/window/AlertStyle.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int formWidth = 520;
constexpr int rowHeight = 28;
constexpr int rowSpacing = 8;
constexpr int labelWidth = 126;
constexpr int controlSpacing = 10;
constexpr int controlWidth = 382;
constexpr int fieldMinimumHeight = 22;

// The area holding the rows: its size is fixed by the number of rows, whatever the rows ask for.
QWidget *makeForm(int rows, QWidget *parent)
{
    auto *form = new QWidget(parent);
    form->setObjectName(QStringLiteral("form"));
    form->setFixedSize(formWidth, rowHeight * rows + rowSpacing * std::max(rows - 1, 0));
    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(rowSpacing);
    layout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return form;
}

void addRow(QWidget *form, const QString &label, QWidget *control)
{
    auto *row = new QWidget(form);
    row->setFixedHeight(rowHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(controlSpacing);
    auto *text = new ElidedLabel(label, row);
    text->setFixedWidth(labelWidth);
    text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(text, 0, Qt::AlignVCenter);
    control->setParent(row);
    control->setFixedWidth(controlWidth);
    layout->addWidget(control, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    form->layout()->addWidget(row);
}

QLineEdit *makeField(const QString &value, const QString &placeholder)
{
    auto *field = new QLineEdit(value);
    field->setPlaceholderText(placeholder);
    QPalette palette = field->palette();
    palette.setColor(QPalette::PlaceholderText, Theme::placeholderText(palette));
    field->setPalette(palette);
    field->setMinimumHeight(fieldMinimumHeight);
    return field;
}

// An alert-like dialog: the title as a bold heading, the form below it, then the accepting button
// (the default) and "Cancel".
void buildAlert(QDialog &dialog, const QString &heading, QWidget *form, const QString &acceptText)
{
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    auto *layout = new QVBoxLayout(&dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *title = new QLabel(heading, &dialog);
    title->setObjectName(QStringLiteral("heading"));
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    title->setWordWrap(true);
    title->setMaximumWidth(formWidth);
    layout->addWidget(title);
    layout->addWidget(form);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *accept = buttons->addButton(acceptText, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    accept->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    showLabelsAsPlainText(dialog);
}

} // namespace

QtDialogs::QtDialogs(QWidget *window) : m_window(window)
{ }

std::optional<QStringList> QtDialogs::prompt(const QString &title, const QList<PromptField> &fields)
{
    QDialog dialog(m_window);
    QWidget *form = makeForm(static_cast<int>(fields.size()), &dialog);
    QList<QLineEdit *> edits;
    for (const PromptField &field : fields) {
        QLineEdit *edit = makeField(field.value, field.label);
        addRow(form, field.label, edit);
        edits.push_back(edit);
    }
    buildAlert(dialog, title, form, QStringLiteral("OK"));
    if (!edits.isEmpty())
        edits.first()->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QStringList texts;
    for (const QLineEdit *edit : std::as_const(edits))
        texts.push_back(edit->text());
    return texts;
}

bool QtDialogs::confirm(const QString &title, const QString &message)
{
    QMessageBox box(m_window);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(QMessageBox::Warning);
    box.setText(title);
    box.setInformativeText(message);
    AlertStyle::apply(box);
    QPushButton *proceed = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(proceed);
    box.setEscapeButton(cancel);
    showLabelsAsPlainText(box);
    box.exec();
    return box.clickedButton() == proceed;
}

std::optional<QString> QtDialogs::openPanel(const OpenPanelOptions &options)
{
    QFileDialog dialog(m_window, options.title);
    dialog.setDirectory(startFolder());
    const bool choosesFolder = options.canChooseDirectories && !options.canChooseFiles;
    if (choosesFolder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
    showLabelsAsPlainText(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    m_lastFolder = choosesFolder ? chosen.first() : QFileInfo(chosen.first()).absolutePath();
    return chosen.first();
}

std::optional<QString> QtDialogs::savePanel(const SavePanelOptions &options)
{
    // Qt's file dialog has no place for a message: it is embedded below one.
    QDialog dialog(m_window);
    dialog.setWindowTitle(options.title);
    auto *layout = new QVBoxLayout(&dialog);
    if (!options.message.isEmpty()) {
        auto *message = new QLabel(options.message, &dialog);
        message->setObjectName(QStringLiteral("message"));
        message->setWordWrap(true);
        layout->addWidget(message);
    }
    auto *files = new QFileDialog(&dialog, options.title);
    files->setWindowFlags(Qt::Widget);
    // The labels and the message only show in Qt's own dialog.
    files->setOption(QFileDialog::DontUseNativeDialog);
    files->setAcceptMode(QFileDialog::AcceptSave);
    files->setFileMode(QFileDialog::AnyFile);
    files->setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
    files->setDirectory(startFolder());
    if (!options.prompt.isEmpty())
        files->setLabelText(QFileDialog::Accept, options.prompt);
    if (!options.nameFieldLabel.isEmpty())
        files->setLabelText(QFileDialog::FileName, options.nameFieldLabel);
    if (!options.nameFieldValue.isEmpty())
        files->selectFile(options.nameFieldValue);
    layout->addWidget(files);
    QObject::connect(files, &QDialog::finished, &dialog, &QDialog::done);
    showLabelsAsPlainText(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = files->selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    m_lastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen.first();
}

std::optional<BranchChoiceAnswer> QtDialogs::chooseBranch(const BranchChoiceRequest &request)
{
    const bool hasPopUp = !request.itemTitles.isEmpty();
    QDialog dialog(m_window);
    QWidget *form = makeForm(hasPopUp ? 2 : 1, &dialog);
    QComboBox *popUp = nullptr;
    if (hasPopUp) {
        popUp = new QComboBox;
        popUp->setObjectName(QStringLiteral("branchPopUp"));
        popUp->addItems(request.itemTitles);
        if (request.preselectedIndex && *request.preselectedIndex >= 0
            && *request.preselectedIndex < request.itemTitles.size())
            popUp->setCurrentIndex(*request.preselectedIndex);
        addRow(form, QStringLiteral("Branch"), popUp);
    }
    QString placeholder = request.textPlaceholder;
    if (placeholder.isEmpty())
        placeholder = hasPopUp ? QStringLiteral("Optional branch name") : QStringLiteral("Branch name");
    QLineEdit *text = makeField(QString(), placeholder);
    text->setObjectName(QStringLiteral("branchText"));
    addRow(form, hasPopUp ? QStringLiteral("Other") : QStringLiteral("Branch"), text);
    buildAlert(dialog, QStringLiteral("Switch Branch"), form, QStringLiteral("Switch"));
    if (popUp)
        popUp->setFocus();
    else
        text->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    BranchChoiceAnswer answer;
    if (popUp)
        answer.selectedIndex = popUp->currentIndex();
    answer.text = text->text();
    return answer;
}

QString QtDialogs::startFolder() const
{
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir())
        return m_lastFolder;
    return QDir::homePath();
}

void QtDialogs::bringToFront()
{
    if (!m_window)
        return;
    m_window->raise();
    m_window->activateWindow();
}
