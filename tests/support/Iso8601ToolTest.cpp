#include "ProgramRun.h"
#include "QtPrinters.h"

#include <QDate>

#include <gtest/gtest.h>

namespace {

// pondrel-tool iso8601 ARGUMENTS with TZ set; the printed line without its line end.
ProgramRun iso8601(const QStringList &arguments, const QString &zone = QStringLiteral("UTC0"))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), zone);
    ProgramRun result
        = ProgramRun::tool(QStringList {QStringLiteral("iso8601")} + arguments, environment);
    result.standardOutput = result.standardOutput.trimmed();
    return result;
}

QString parsed(const QStringList &arguments, const QString &zone = QStringLiteral("UTC0"))
{
    return iso8601(QStringList {QStringLiteral("parse")} + arguments, zone).standardOutput;
}

QString formatted(const QStringList &arguments)
{
    return iso8601(QStringList {QStringLiteral("format")} + arguments).standardOutput;
}

} // namespace

TEST(Iso8601Tool, ParsesCalendarDatesWithAndWithoutZone)
{
    EXPECT_EQ(parsed({"2008-03-12T10:11:12Z"}), "2008-03-12T10:11:12Z 0 20");
    EXPECT_EQ(parsed({"2008-03-12T10:11:12+01:00"}), "2008-03-12T09:11:12Z 0 25");
    // Without a zone the text is local time, and TZ says what local is.
    EXPECT_EQ(parsed({"2008-03-12T10:11:12"}, "JST-9"), "2008-03-12T01:11:12Z 0 19");
    EXPECT_EQ(parsed({"2008-03-12T10:11:12"}, "EST5"), "2008-03-12T15:11:12Z 0 19");
    EXPECT_EQ(
        parsed({"2008-07-01T10:00:00"}, "CET-1CEST,M3.5.0,M10.5.0/3"), "2008-07-01T08:00:00Z 0 19");
    EXPECT_EQ(
        parsed({"2008-01-01T10:00:00"}, "CET-1CEST,M3.5.0,M10.5.0/3"), "2008-01-01T09:00:00Z 0 19");
    EXPECT_EQ(parsed({"2008-03-12T10:11:12.750+01:00"}), "2008-03-12T09:11:12Z 0 29");
    EXPECT_EQ(parsed({"2008-03-12T10:11.5"}), "2008-03-12T10:11:30Z 0 18");
    EXPECT_EQ(parsed({"0001-01-01T00:00:00+00:00"}), "0001-01-01T00:00:00Z 0 25");
}

TEST(Iso8601Tool, ParsesWeekAndOrdinalDates)
{
    EXPECT_EQ(parsed({"2008-W01-1"}), "2007-12-31T00:00:00Z 0 10");
    EXPECT_EQ(parsed({"2010-W01-1"}), "2010-01-04T00:00:00Z 0 10");
    EXPECT_EQ(parsed({"2008-060"}), "2008-02-29T00:00:00Z 0 8");
    EXPECT_EQ(parsed({"--strict", "2008-060"}), "2008-02-29T00:00:00Z 0 8");
    const ProgramRun strictLeapDay = iso8601({"parse", "--strict", "2007-366"});
    EXPECT_EQ(strictLeapDay.standardOutput, "none 2147483647 0");
    EXPECT_EQ(strictLeapDay.exitCode, 1);
}

TEST(Iso8601Tool, LeadingBlanksAndDigitRuns)
{
    EXPECT_EQ(parsed({"   2008-03-12"}), "2008-03-12T00:00:00Z 3 10");
    EXPECT_EQ(parsed({"--strict", "   2008-03-12"}), "none 2147483647 0");
    EXPECT_EQ(parsed({"20080312"}), parsed({"2008-03-12"}).replace(" 10", " 8"));
    const int century = QDate::currentDate().year() / 100 * 100;
    EXPECT_EQ(parsed({"200803"}),
        QStringLiteral("%1-08-03T00:00:00Z 0 6").arg(century + 20, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(parsed({"20083"}), "none 2147483647 0");
}

TEST(Iso8601Tool, ReducedFormsAndTextsThatBeginWithAHyphen)
{
    const int year = QDate::currentDate().year();
    const int century = year / 100 * 100;
    EXPECT_EQ(parsed({"--", "-08"}), QStringLiteral("%1-01-01T00:00:00Z 0 3").arg(century + 8));
    EXPECT_EQ(
        parsed({"--", "-8-3"}), QStringLiteral("%1-03-01T00:00:00Z 0 4").arg(year / 10 * 10 + 8));
    EXPECT_EQ(parsed({"--", "--03"}), QStringLiteral("%1-03-01T00:00:00Z 0 4").arg(year));
    EXPECT_EQ(
        parsed({"--", "--03-12T10:00+02:00"}), QStringLiteral("%1-03-12T08:00:00Z 0 19").arg(year));
    EXPECT_EQ(parsed({"T"}), "none 2147483647 0");
    EXPECT_EQ(parsed({"Tea"}), "none 2147483647 0");
    EXPECT_EQ(parsed({"--separator", ".", "2008-03-12T10.11.12Z"}), "2008-03-12T10:11:12Z 0 20");
}

TEST(Iso8601Tool, FormatsAnInstantInTheGivenZone)
{
    EXPECT_EQ(formatted({"--zone", "-03:30", "2008-03-12T09:11:12Z"}), "2008-03-12T05:41:12-03:30");
    EXPECT_EQ(formatted({"--zone", "+00:00", "2008-03-12T09:11:12Z"}), "2008-03-12T09:11:12Z");
    EXPECT_EQ(formatted({"--zone", "Z", "--no-time", "2008-03-12T09:11:12Z"}), "2008-03-12");
    EXPECT_EQ(formatted({"--form", "ordinal", "--zone", "+01:00", "2008-03-12T09:11:12Z"}),
        "2008-072T10:11:12+0100");
    EXPECT_EQ(
        formatted({"--form", "week", "--zone", "+01:00", "--no-time", "2008-12-28T23:30:00Z"}),
        "2009-W01-1");
    EXPECT_EQ(formatted({"--form", "week", "--separator", ".", "--zone", "-05:00",
                  "2010-01-04T04:00:00Z"}),
        "2009-W53-7T23.00.00-0500");
}

TEST(Iso8601Tool, RefusesBadUsage)
{
    EXPECT_EQ(iso8601({"format", "2008-03-12T09:11:12Z"}).exitCode, 2);
    EXPECT_EQ(iso8601({"format", "--zone", "+1", "2008-03-12T09:11:12Z"}).exitCode, 2);
    EXPECT_EQ(iso8601({"format", "--zone", "Z", "--form", "julian", "2008-03-12"}).exitCode, 2);
    EXPECT_EQ(iso8601({"parse", "--separator", "::", "2008"}).exitCode, 2);
    EXPECT_EQ(iso8601({"parse", "-08"}).exitCode, 2);
    EXPECT_EQ(iso8601({"parse"}).exitCode, 2);
    const ProgramRun help = iso8601({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.standardOutput.contains("iso8601 parse"));
}
