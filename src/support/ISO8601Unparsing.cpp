// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ISO8601Unparsing.h"

namespace pondrel {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Four digits at least: a shorter year would read back as a year of this century.
QString yearText(int year)
{
    return QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

QString timeText(const QTime &time, char separator)
{
    const QChar mark = QLatin1Char(separator);
    return twoDigits(time.hour()) + mark + twoDigits(time.minute()) + mark
        + twoDigits(time.second());
}

int offsetMinutes(const QDateTime &date)
{
    return date.offsetFromUtc() / 60;
}

// "Z" for UTC, else "+hh:mm" (always with a colon, whatever separates the time).
QString zoneWithColon(const QDateTime &date)
{
    const int minutes = offsetMinutes(date);
    if (minutes == 0)
        return QStringLiteral("Z");
    return (minutes < 0 ? QStringLiteral("-") : QStringLiteral("+")) + twoDigits(qAbs(minutes) / 60)
        + QLatin1Char(':') + twoDigits(qAbs(minutes) % 60);
}

// "+hhmm", also for UTC.
QString zoneWithoutColon(const QDateTime &date)
{
    const int minutes = offsetMinutes(date);
    return (minutes < 0 ? QStringLiteral("-") : QStringLiteral("+")) + twoDigits(qAbs(minutes) / 60)
        + twoDigits(qAbs(minutes) % 60);
}

QString ordinalOrWeekTime(const QDateTime &date, bool includeTime, char separator)
{
    if (!includeTime)
        return {};
    return QLatin1Char('T') + timeText(date.time(), separator) + zoneWithoutColon(date);
}

} // namespace

namespace ISO8601Unparsing {

QString ISO8601DateString(const QDateTime &date)
{
    return ISO8601DateStringWithTime(date, true, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601DateStringWithTime(const QDateTime &date, bool includeTime)
{
    return ISO8601DateStringWithTime(
        date, includeTime, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601DateStringWithTimeSeparator(const QDateTime &date, char timeSeparator)
{
    return ISO8601DateStringWithTime(date, true, timeSeparator);
}

QString ISO8601DateStringWithTime(const QDateTime &date, bool includeTime, char timeSeparator)
{
    const QDate day = date.date();
    const QString calendar = yearText(day.year()) + QLatin1Char('-') + twoDigits(day.month())
        + QLatin1Char('-') + twoDigits(day.day());
    if (!includeTime)
        return calendar;
    return calendar + QLatin1Char('T') + timeText(date.time(), timeSeparator) + zoneWithColon(date);
}

QString ISO8601OrdinalDateString(const QDateTime &date)
{
    return ISO8601OrdinalDateStringWithTime(
        date, true, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601OrdinalDateStringWithTime(const QDateTime &date, bool includeTime)
{
    return ISO8601OrdinalDateStringWithTime(
        date, includeTime, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601OrdinalDateStringWithTimeSeparator(const QDateTime &date, char timeSeparator)
{
    return ISO8601OrdinalDateStringWithTime(date, true, timeSeparator);
}

QString ISO8601OrdinalDateStringWithTime(
    const QDateTime &date, bool includeTime, char timeSeparator)
{
    const QDate day = date.date();
    return yearText(day.year()) + QLatin1Char('-')
        + QStringLiteral("%1").arg(day.dayOfYear(), 3, 10, QLatin1Char('0'))
        + ordinalOrWeekTime(date, includeTime, timeSeparator);
}

QString ISO8601WeekDateString(const QDateTime &date)
{
    return ISO8601WeekDateStringWithTime(date, true, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601WeekDateStringWithTime(const QDateTime &date, bool includeTime)
{
    return ISO8601WeekDateStringWithTime(
        date, includeTime, ISO8601UnparserDefaultTimeSeparatorCharacter);
}

QString ISO8601WeekDateStringWithTimeSeparator(const QDateTime &date, char timeSeparator)
{
    return ISO8601WeekDateStringWithTime(date, true, timeSeparator);
}

// The weekday is one digit: "2008-W01-01" would read back as weekday 0.
QString ISO8601WeekDateStringWithTime(const QDateTime &date, bool includeTime, char timeSeparator)
{
    const QDate day = date.date();
    int weekYear = 0;
    const int week = day.weekNumber(&weekYear);
    return yearText(weekYear) + QStringLiteral("-W") + twoDigits(week) + QLatin1Char('-')
        + QString::number(day.dayOfWeek()) + ordinalOrWeekTime(date, includeTime, timeSeparator);
}

QString prepareDateFormatWithTimeSeparator(const QString &format, char timeSeparator)
{
    if (timeSeparator == ':')
        return format;
    QString prepared = format;
    return prepared.replace(QLatin1Char(':'), QLatin1Char(timeSeparator));
}

} // namespace ISO8601Unparsing

} // namespace pondrel
