#include "ui/workflow/WorkflowPanes.h"

#include "ui/kit/Divider.h"
#include "ui/kit/EmptyStateView.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/LimitedLinesLabel.h"
#include "ui/kit/PaneHeader.h"
#include "ui/kit/Placeholder.h"
#include "ui/kit/Theme.h"
#include "ui/workflow/RevisionHeaderRow.h"
#include "ui/workflow/RevisionRowDelegate.h"
#include "ui/workflow/WorkflowListView.h"

#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

// WorkflowListPane

WorkflowListPane::WorkflowListPane(
    const QString &emptySymbol, const QString &emptyText, const QString &listName, QWidget *parent)
    : QWidget(parent)
{
    m_header = new PaneHeader;
    m_empty = new EmptyStateView(emptySymbol, emptyText);
    m_list = new WorkflowListView;
    m_list->setObjectName(listName);

    m_body = new QStackedWidget;
    m_body->addWidget(m_empty);
    m_body->addWidget(m_list);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addWidget(new Divider);
    layout->addWidget(m_body, 1);
}

LimitedLinesLabel *WorkflowListPane::addTitle()
{
    auto *title = new LimitedLinesLabel;
    title->setFont(Theme::headline());
    m_header->addText(title);
    return title;
}

LimitedLinesLabel *WorkflowListPane::addCaption()
{
    auto *caption = new LimitedLinesLabel;
    caption->setFont(Theme::caption());
    caption->setColor(&Theme::secondary);
    m_header->addText(caption);
    return caption;
}

QPushButton *WorkflowListPane::addButton(const QString &title, const QString &symbol, const QString &help)
{
    QPushButton *button = m_header->addButton(title, symbol, help);
    setTabOrder(button, m_list);
    return button;
}

bool WorkflowListPane::showsList() const
{
    return m_body->currentWidget() == m_list;
}

void WorkflowListPane::showList(bool shown)
{
    m_body->setCurrentWidget(shown ? static_cast<QWidget *>(m_list) : m_empty);
}

// RevisionListPane

RevisionListPane::RevisionListPane(const QString &emptySymbol, const QString &emptyText, const QString &listName,
    std::function<void(std::optional<qint64>)> select, QWidget *parent)
    : WorkflowListPane(emptySymbol, emptyText, listName, parent)
{
    m_model = makeLogEntryListModel(this);
    list()->setItemDelegate(new RevisionRowDelegate(list()));
    m_binder = new SelectionBinder<qint64>(list(), m_model, m_model, std::move(select));
}

void RevisionListPane::showEntries(const QList<LogEntry> &entries, const std::optional<qint64> &selected)
{
    // Rows of their own heights cost the list a text layout of every summary whenever it lays them out:
    // a long list gives every row the room of two lines instead.
    constexpr qsizetype uniformFrom = 500;
    const bool longList = entries.size() >= uniformFrom;
    list()->setUniformItemSizes(longList);
    list()->expectRows(entries.size());
    // A long list, newest first as the tools give it, finds a revision's row by a search: shown in place
    // of an empty one, it costs no table of its revisions made here.
    const auto notFalling = [](const LogEntry &a, const LogEntry &b) { return a.revision <= b.revision; };
    if (longList && m_model->items().isEmpty()
        && std::adjacent_find(entries.cbegin(), entries.cend(), notFalling) == entries.cend()) {
        m_model->setItems(entries, [entries](qint64 revision) -> qsizetype {
            const auto found = std::lower_bound(entries.cbegin(), entries.cend(), revision,
                [](const LogEntry &entry, qint64 sought) { return entry.revision > sought; });
            return found != entries.cend() && found->revision == revision ? found - entries.cbegin() : -1;
        });
    } else {
        m_model->setItems(entries);
    }
    m_binder->show(selected);
    showList(!entries.isEmpty());
}

// RevisionDetailPane

RevisionDetailPane::RevisionDetailPane(
    const QString &placeholderText, int summaryLines, QWidget *line, QWidget *body, QWidget *parent)
    : QWidget(parent)
{
    m_placeholder = new Placeholder(placeholderText);

    m_header = new RevisionHeaderRow;
    // In line with the selectable summary's letters, which keep clear of its focus ring.
    m_header->layout()->setContentsMargins(FocusRing::clearance, 0, FocusRing::clearance, 0);
    m_summary = new LimitedLinesLabel(summaryLines);
    m_summary->setFont(Theme::body());
    m_summary->setSelectable(true);
    auto *block = new QVBoxLayout;
    block->setContentsMargins(12, 12, 12, 12);
    block->setSpacing(8);
    block->addWidget(m_header);
    block->addWidget(m_summary);
    if (line)
        block->addWidget(line);

    m_content = new QWidget;
    auto *column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(block);
    column->addWidget(new Divider);
    column->addWidget(body, 1);

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_placeholder);
    m_pages->addWidget(m_content);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
}

bool RevisionDetailPane::showsRevision() const
{
    return m_pages->currentWidget() == m_content;
}

void RevisionDetailPane::showNoRevision()
{
    m_pages->setCurrentWidget(m_placeholder);
}

void RevisionDetailPane::showRevision(
    const QString &revision, const QString &author, const QString &summary, const std::optional<QString> &date)
{
    m_header->setTexts(revision, author, date);
    m_summary->setFullText(summary);
    m_pages->setCurrentWidget(m_content);
}
