// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace pondrel {

// Writes dates as ISO 8601 texts in the calendar, ordinal and week forms, always in the date's
// own zone. The calendar form ends in "Z" or "+hh:mm"; the ordinal and week forms in "+hhmm".
namespace ISO8601Unparsing {

inline constexpr char ISO8601UnparserDefaultTimeSeparatorCharacter = ':';

// "2008-03-12T10:11:12+01:00"; without time "2008-03-12".
QString ISO8601DateString(const QDateTime &date);
QString ISO8601DateStringWithTime(const QDateTime &date, bool includeTime);
QString ISO8601DateStringWithTimeSeparator(const QDateTime &date, char timeSeparator);
QString ISO8601DateStringWithTime(const QDateTime &date, bool includeTime, char timeSeparator);

// "2008-072T10:11:12+0100"; without time "2008-072".
QString ISO8601OrdinalDateString(const QDateTime &date);
QString ISO8601OrdinalDateStringWithTime(const QDateTime &date, bool includeTime);
QString ISO8601OrdinalDateStringWithTimeSeparator(const QDateTime &date, char timeSeparator);
QString ISO8601OrdinalDateStringWithTime(
    const QDateTime &date, bool includeTime, char timeSeparator);

// "2008-W11-3T10:11:12+0100", with the ISO week-numbering year, which differs from the calendar
// year in the first and last days of a year.
QString ISO8601WeekDateString(const QDateTime &date);
QString ISO8601WeekDateStringWithTime(const QDateTime &date, bool includeTime);
QString ISO8601WeekDateStringWithTimeSeparator(const QDateTime &date, char timeSeparator);
QString ISO8601WeekDateStringWithTime(const QDateTime &date, bool includeTime, char timeSeparator);

// The format with every ":" replaced by the separator (unchanged for ":").
QString prepareDateFormatWithTimeSeparator(const QString &format, char timeSeparator);

} // namespace ISO8601Unparsing

} // namespace pondrel
