#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The dates of the workflow lists and details, in the user's locale and time zone. The formats are
// worked out once, on first use, and shared by every row and pane.
namespace DateFormatters {

// Short date and short time: list rows.
QString shortDateShortTime(const QDateTime &date);
// Medium date (abbreviated month, no weekday) and short time: the archive entry detail.
QString mediumDateShortTime(const QDateTime &date);

// The two styles of one locale; the C locale gives those of US English.
struct Styles {
    QLocale locale;
    QString shortDateTime;
    QString mediumDateTime;

    static Styles of(const QLocale &locale);
};

} // namespace DateFormatters
