#pragma once

#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;

// The line over a revision's detail: the revision (monospaced semibold caption), the author
// (secondary caption), a spacer and, where the pane shows one, the date.
class RevisionHeaderRow : public QWidget {
    Q_OBJECT

public:
    explicit RevisionHeaderRow(QWidget *parent = nullptr);

    // A date that is absent leaves no element behind.
    void setTexts(const QString &revision, const QString &author, const std::optional<QString> &date = std::nullopt);

    QLabel *revisionLabel() const { return m_revision; }
    ElidedLabel *authorLabel() const { return m_author; }
    ElidedLabel *dateLabel() const { return m_date; }

private:
    QLabel *m_revision;
    ElidedLabel *m_author;
    ElidedLabel *m_date;
};
