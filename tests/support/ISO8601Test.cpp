// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/QtPrinters.h"
#include "support/ISO8601Parsing.h"
#include "support/ISO8601Unparsing.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace pondrel {

using namespace ISO8601Parsing;
using namespace ISO8601Unparsing;

namespace {

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

// The parsed instant in UTC, or "none", so that a failure message shows both sides readably.
QString parsedInUtc(const QString &text, bool strictly = false, char separator = ':')
{
    const std::optional<QDateTime> date
        = calendarDateWithString(text, strictly, separator, nullptr);
    return date ? date->toUTC().toString(Qt::ISODate) : QStringLiteral("none");
}

QString iso(const QDateTime &date)
{
    return date.toUTC().toString(Qt::ISODate);
}

int thisYear()
{
    return QDate::currentDate().year();
}

QDate weekDate(int year, int week, int weekday)
{
    // Independent of the parser: step back from 4 January, which is always in week 1.
    const QDate fourth(year, 1, 4);
    return fourth.addDays(1 - fourth.dayOfWeek() + (week - 1) * 7 + (weekday - 1));
}

} // namespace

TEST(ISO8601Parsing, ReadsEveryLenientFormOfTheDate)
{
    const int year = thisYear();
    const int century = year / 100 * 100;
    const int decade = year / 10 * 10;
    const QDate today = QDate::currentDate();
    const struct
    {
        const char *text;
        QDate date;
    } cases[] = {
        {"20080312", {2008, 3, 12}},
        {"2008072", {2008, 3, 12}},
        {"080312", {century + 8, 3, 12}},
        {"2008", {2008, 1, 1}},
        {"2008-03-12", {2008, 3, 12}},
        {"2008-0312", {2008, 3, 12}},
        {"2008-03", {2008, 3, 1}},
        {"2008-3-5", {2008, 3, 5}},
        {"2008-072", {2008, 3, 12}},
        {"2008-W11-3", {2008, 3, 12}},
        {"2008W113", {2008, 3, 12}},
        {"2008-W11", {2008, 3, 10}},
        {"2008-W", {2008, 1, 1}},
        {"08", {century + 8, 1, 1}},
        {"08-03-12", {century + 8, 3, 12}},
        {"08-0312", {century + 8, 3, 12}},
        {"08-072", {century + 8, 3, 12}},
        {"08-W11-3", {century + 8, 3, 12}},
        {"08W11-3", {century + 8, 3, 12}},
        {"8-03-12", {century + 8, 3, 12}},
        {"-08-03", {century + 8, 3, 1}},
        {"-08", {century + 8, 1, 1}},
        {"-0803", {century + 8, 3, 1}},
        {"-8-03", {decade + 8, 3, 1}},
        {"-8", {decade + 8, 1, 1}},
        {"-8W11-3", weekDate(decade + 8, 11, 3)},
        {"-072", QDate(year, 1, 1).addDays(71)},
        {"-W11-3", weekDate(year, 11, 3)},
        {"-W113", weekDate(year, 11, 3)},
        {"-W-3", weekDate(year, 1, 3)},
        {"--0312", {year, 3, 12}},
        {"--03-12", {year, 3, 12}},
        {"--3-5", {year, 3, 5}},
        {"--03", {year, 3, 1}},
        {"--072", QDate(year, 1, 1).addDays(71)},
        {"--W-3", weekDate(year, 1, 3)},
        {"---12", {year, today.month(), 12}},
    };
    for (const auto &form : cases) {
        const QString text = QString::fromLatin1(form.text) + QStringLiteral("T10:11:12Z");
        EXPECT_EQ(parsedInUtc(text), iso(QDateTime(form.date, QTime(10, 11, 12), QTimeZone::utc())))
            << form.text;
    }
}

TEST(ISO8601Parsing, RejectsRunsOfFiveOrMoreThanEightDigitsAndAnEmptyTime)
{
    for (const char *text : {"20083", "200803120", "-20083", "T", "Tx", "T:10", "", "   ", "x2008",
             "2008-13-01", "2008-02-30", "----12", "--W11-3", "0000-01-01"}) {
        ParseRange range {0, 99};
        EXPECT_FALSE(calendarDateWithString(QString::fromLatin1(text), &range)) << text;
        EXPECT_EQ(range, (ParseRange {ParseRange::kNotFound, 0})) << text;
    }
    EXPECT_FALSE(calendarDateWithString(QString()));
}

TEST(ISO8601Parsing, StrictModeRefusesWhatLenientModeStretches)
{
    const struct
    {
        const char *text;
        const char *lenient;
    } cases[] = {
        {"   2008-03-12T10:00Z", "2008-03-12T10:00:00Z"},
        {"2007-366T10:00Z", "2008-01-01T10:00:00Z"},
        {"2008-367T10:00Z", "2009-01-01T10:00:00Z"},
        {"2008-WT10:00Z", "2008-01-01T10:00:00Z"},
        {"08-3-12T10:00Z", "2008-03-12T10:00:00Z"},
        {"2008-W01-8T10:00Z", "2008-01-07T10:00:00Z"},
        {"2008-W53-1T10:00Z", "2008-12-29T10:00:00Z"},
        {"2008-03-12T25:00Z", "2008-03-13T01:00:00Z"},
        {"2008-03-12T10:61Z", "2008-03-12T11:01:00Z"},
        {"2008-03-12T24:30Z", "2008-03-13T00:30:00Z"},
        {"2008-03-12T10:00+01:75", "2008-03-12T07:45:00Z"},
    };
    for (const auto &form : cases) {
        const QString text = QString::fromLatin1(form.text);
        EXPECT_EQ(parsedInUtc(text), QString::fromLatin1(form.lenient)) << form.text;
        EXPECT_EQ(parsedInUtc(text, true), "none") << form.text;
    }
    const QString weekOfTwoHyphens = QStringLiteral("--W-3T10:00Z");
    EXPECT_NE(parsedInUtc(weekOfTwoHyphens), "none");
    EXPECT_EQ(parsedInUtc(weekOfTwoHyphens, true), "none");

    // What strict mode still takes: leap days, week 53 of a long year, midnight at 24:00.
    EXPECT_EQ(parsedInUtc("2008-366T10:00Z", true), iso(utc(2008, 12, 31, 10)));
    EXPECT_EQ(parsedInUtc("2000-366T10:00Z", true), iso(utc(2000, 12, 31, 10)));
    EXPECT_EQ(parsedInUtc("1900-366T10:00Z", true), "none");
    EXPECT_EQ(parsedInUtc("2009-W53-7T10:00Z", true), iso(utc(2010, 1, 3, 10)));
    EXPECT_EQ(parsedInUtc("2008-03-12T24:00:00Z", true), iso(utc(2008, 3, 13)));
}

TEST(ISO8601Parsing, StrictModeAlwaysSeparatesTimeWithColons)
{
    EXPECT_EQ(parsedInUtc("2008-03-12T10.11.12Z", false, '.'), iso(utc(2008, 3, 12, 10, 11, 12)));
    // Strict mode ignores the "." and sees only the hour, then no zone it knows.
    const std::optional<QDateTime> strict
        = calendarDateWithString(QStringLiteral("2008-03-12T10.11.12Z"), true, '.', nullptr);
    ASSERT_TRUE(strict);
    EXPECT_EQ(strict->time(), QTime(10, 0));
    EXPECT_EQ(strict->timeSpec(), Qt::LocalTime);
}

TEST(ISO8601Parsing, WeekDatesCrossYearBoundaries)
{
    EXPECT_EQ(parsedInUtc("2008-W01-1T00:00Z"), iso(utc(2007, 12, 31)));
    EXPECT_EQ(parsedInUtc("2010-W01-1T00:00Z"), iso(utc(2010, 1, 4)));
    EXPECT_EQ(parsedInUtc("2009-W53-7T00:00Z"), iso(utc(2010, 1, 3)));
    EXPECT_EQ(parsedInUtc("2004-W53-6T00:00Z"), iso(utc(2005, 1, 1)));
    EXPECT_EQ(parsedInUtc("2015-W53-5T00:00Z"), iso(utc(2016, 1, 1)));
    EXPECT_EQ(parsedInUtc("2026-W01-1T00:00Z"), iso(utc(2025, 12, 29)));
    // A year whose 1 January is a Thursday starts week 1 on the Monday before it.
    EXPECT_EQ(parsedInUtc("2015-W01-1T00:00Z"), iso(utc(2014, 12, 29)));
    // A Friday 1 January belongs to the last week of the year before.
    EXPECT_EQ(parsedInUtc("2021-W01-1T00:00Z"), iso(utc(2021, 1, 4)));
}

TEST(ISO8601Parsing, TimesFractionsAndZones)
{
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11:12.750+01:00"), iso(utc(2008, 3, 12, 9, 11, 12)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11.5Z"), iso(utc(2008, 3, 12, 10, 11, 30)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11,25Z"), iso(utc(2008, 3, 12, 10, 11, 15)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11:12,999Z"), iso(utc(2008, 3, 12, 10, 11, 12)));
    EXPECT_EQ(parsedInUtc("2008-03-12 10:11:12Z"), iso(utc(2008, 3, 12, 10, 11, 12)));
    EXPECT_EQ(parsedInUtc("20080312T101112Z"), iso(utc(2008, 3, 12, 10, 11, 12)));
    EXPECT_EQ(parsedInUtc("2008-03-12T9Z"), iso(utc(2008, 3, 12, 9)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11:12-03:30"), iso(utc(2008, 3, 12, 13, 41, 12)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11:12+0530"), iso(utc(2008, 3, 12, 4, 41, 12)));
    EXPECT_EQ(parsedInUtc("2008-03-12T10:11:12-05"), iso(utc(2008, 3, 12, 15, 11, 12)));
    EXPECT_EQ(parsedInUtc("0001-01-01T00:00:00+00:00"), iso(utc(1, 1, 1)));
    // A time-zone offset with a colon reads also when another character separates the time.
    EXPECT_EQ(
        parsedInUtc("2008-03-12T10.11.12+05:30", false, '.'), iso(utc(2008, 3, 12, 4, 41, 12)));
    EXPECT_EQ(
        parsedInUtc("2008-03-12T10h11h12+05h30", false, 'h'), iso(utc(2008, 3, 12, 4, 41, 12)));

    const std::optional<QDateTime> offset
        = calendarDateWithString(QStringLiteral("2008-03-12T10:11:12-03:30"));
    ASSERT_TRUE(offset);
    EXPECT_EQ(offset->offsetFromUtc(), -(3 * 3600 + 30 * 60));
    EXPECT_EQ(offset->time(), QTime(10, 11, 12));
    const std::optional<QDateTime> zulu
        = calendarDateWithString(QStringLiteral("2008-03-12T10:11Z"));
    ASSERT_TRUE(zulu);
    EXPECT_EQ(zulu->timeZone(), QTimeZone::utc());
}

TEST(ISO8601Parsing, RangeCoversTheRecognisedBytesOnly)
{
    const struct
    {
        const char *text;
        ParseRange range;
    } cases[] = {
        {"2008-03-12T10:11:12Z", {0, 20}},
        {"   2008-03-12T10:11:12Z and more", {3, 20}},
        {"\t2008-03-12T10:11:12+01:00!", {1, 25}},
        {"2008-03-12T10:11:12.750+01:00", {0, 29}},
        {"2008-03-12T", {0, 10}},
        {"2008-03-12 ", {0, 10}},
        {"2008-03-12T10:11:12+", {0, 19}},
        {"2008-", {0, 4}},
        {"T10:11Zé", {0, 7}},
    };
    for (const auto &form : cases) {
        ParseRange range;
        EXPECT_TRUE(calendarDateWithString(QString::fromUtf8(form.text), &range)) << form.text;
        EXPECT_EQ(range.location, form.range.location) << form.text;
        EXPECT_EQ(range.length, form.range.length) << form.text;
    }
    ParseRange strictRange {0, 0};
    EXPECT_FALSE(calendarDateWithString(QStringLiteral("  2008-03-12"), true, &strictRange));
    EXPECT_EQ(strictRange.location, 2147483647);
}

TEST(ISO8601Unparsing, CalendarFormEndsInTheZoneOfTheDate)
{
    const QDateTime instant = utc(2008, 3, 12, 9, 11, 12);
    EXPECT_EQ(ISO8601DateString(instant), "2008-03-12T09:11:12Z");
    const QDateTime westOfUtc = instant.toTimeZone(QTimeZone(-(3 * 3600 + 30 * 60)));
    EXPECT_EQ(ISO8601DateString(westOfUtc), "2008-03-12T05:41:12-03:30");
    EXPECT_EQ(ISO8601DateStringWithTime(westOfUtc, false), "2008-03-12");
    EXPECT_EQ(ISO8601DateStringWithTimeSeparator(westOfUtc, '.'), "2008-03-12T05.41.12-03:30");
    const QDateTime nepal = instant.toTimeZone(QTimeZone(5 * 3600 + 45 * 60));
    EXPECT_EQ(ISO8601DateStringWithTime(nepal, true, ','), "2008-03-12T14,56,12+05:45");
    // An offset with seconds is cut to whole minutes toward zero.
    const QDateTime oddOffset = instant.toTimeZone(QTimeZone(-(3600 + 30 * 60 + 30)));
    EXPECT_TRUE(ISO8601DateString(oddOffset).endsWith("-01:30"));
    EXPECT_EQ(ISO8601DateString(utc(1, 1, 1)), "0001-01-01T00:00:00Z");
    // The day may change with the zone.
    EXPECT_EQ(
        ISO8601DateStringWithTime(utc(2008, 12, 31, 23, 30).toTimeZone(QTimeZone(3600)), false),
        "2009-01-01");
}

TEST(ISO8601Unparsing, OrdinalAndWeekForms)
{
    const QDateTime instant = utc(2008, 3, 12, 9, 11, 12).toTimeZone(QTimeZone(3600));
    EXPECT_EQ(ISO8601OrdinalDateString(instant), "2008-072T10:11:12+0100");
    EXPECT_EQ(ISO8601OrdinalDateStringWithTime(instant, false), "2008-072");
    EXPECT_EQ(ISO8601OrdinalDateStringWithTimeSeparator(utc(2008, 12, 31, 1, 2, 3), '.'),
        "2008-366T01.02.03+0000");
    EXPECT_EQ(ISO8601WeekDateString(instant), "2008-W11-3T10:11:12+0100");
    EXPECT_EQ(ISO8601WeekDateStringWithTime(utc(2007, 12, 31), false), "2008-W01-1");
    EXPECT_EQ(ISO8601WeekDateStringWithTime(utc(2010, 1, 3), false), "2009-W53-7");
    EXPECT_EQ(ISO8601WeekDateStringWithTime(utc(2005, 1, 1), false), "2004-W53-6");
    EXPECT_EQ(ISO8601WeekDateStringWithTime(utc(2008, 12, 29), false), "2009-W01-1");
    EXPECT_EQ(ISO8601WeekDateStringWithTimeSeparator(
                  utc(2010, 1, 3, 23, 30).toTimeZone(QTimeZone(-5 * 3600)), '.'),
        "2009-W53-7T18.30.00-0500");
}

TEST(ISO8601Unparsing, EveryFormReadsBackAsTheSameInstant)
{
    const QTimeZone zones[]
        = {QTimeZone::utc(), QTimeZone(-(9 * 3600 + 30 * 60)), QTimeZone(13 * 3600)};
    for (QDate day(2003, 12, 20); day <= QDate(2012, 1, 10); day = day.addDays(1)) {
        for (const QTimeZone &zone : zones) {
            const QDateTime date(day, QTime(23, 59, 58), zone);
            const struct
            {
                QString text;
                bool strict;
                char separator;
            } forms[] = {
                {ISO8601DateString(date), true, ':'},
                {ISO8601OrdinalDateString(date), true, ':'},
                {ISO8601WeekDateString(date), true, ':'},
                {ISO8601DateStringWithTimeSeparator(date, '.'), false, '.'},
            };
            for (const auto &form : forms) {
                const std::optional<QDateTime> back
                    = calendarDateWithString(form.text, form.strict, form.separator, nullptr);
                ASSERT_TRUE(back) << qPrintable(form.text);
                ASSERT_EQ(*back, date) << qPrintable(form.text);
            }
        }
    }
}

} // namespace pondrel
