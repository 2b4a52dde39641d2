#include "ui/workflow/DateFormatters.h"

#include "model/TextUtil.h"

#include <QLocale>
#include <QRegularExpression>

namespace DateFormatters {

namespace {

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

const Styles &formats()
{
    static const Styles shared = Styles::of(QLocale());
    return shared;
}

} // namespace

Styles Styles::of(const QLocale &user)
{
    const QLocale locale = TextUtil::workingLocale(user);
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    return Styles{locale, locale.dateTimeFormat(QLocale::ShortFormat), mediumDateFormat(locale) + u' ' + time};
}

QString shortDateShortTime(const QDateTime &date)
{
    const Styles &shared = formats();
    return shared.locale.toString(date.toLocalTime(), shared.shortDateTime);
}

QString mediumDateShortTime(const QDateTime &date)
{
    const Styles &shared = formats();
    return shared.locale.toString(date.toLocalTime(), shared.mediumDateTime);
}

} // namespace DateFormatters
