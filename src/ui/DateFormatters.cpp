#include "DateFormatters.h"

#include <QLocale>
#include <QRegularExpression>

namespace DateFormatters {

namespace {

struct Formats {
    QLocale locale;
    QString shortDateTime;
    QString mediumDateTime;
};

// Qt has a long and a short date format but no medium one: the long one without its weekday and with
// the month's abbreviated name ("Jan 5, 2024" from "Monday, January 5, 2024").
QString mediumDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{3,4}[,.]?\\s*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

const Formats &formats()
{
    static const Formats shared = [] {
        const QLocale locale;
        const QString time = locale.timeFormat(QLocale::ShortFormat);
        return Formats{locale, locale.dateTimeFormat(QLocale::ShortFormat), mediumDateFormat(locale) + u' ' + time};
    }();
    return shared;
}

} // namespace

QString shortDateShortTime(const QDateTime &date)
{
    const Formats &shared = formats();
    return shared.locale.toString(date.toLocalTime(), shared.shortDateTime);
}

QString mediumDateShortTime(const QDateTime &date)
{
    const Formats &shared = formats();
    return shared.locale.toString(date.toLocalTime(), shared.mediumDateTime);
}

} // namespace DateFormatters
