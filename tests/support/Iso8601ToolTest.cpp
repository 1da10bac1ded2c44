// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"

#include <QDate>

#include <gtest/gtest.h>

namespace pondrel {

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

} // namespace

TEST(Iso8601Tool, ParsesAndFormatsEveryExampleWithTheRightExitStatus)
{
    const int year = QDate::currentDate().year();
    const int century = year / 100 * 100;
    const QString none = QStringLiteral("none 2147483647 0");
    const QString cet = QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3");
    const struct
    {
        QStringList arguments;
        QString printed;
        int exitCode = 0;
        QString zone = QStringLiteral("UTC0");
    } cases[] = {
        {{"parse", "2008-03-12T10:11:12Z"}, "2008-03-12T10:11:12Z 0 20"},
        {{"parse", "2008-03-12T10:11:12+01:00"}, "2008-03-12T09:11:12Z 0 25"},
        // Without a zone the text is local time, and TZ says what local is.
        {{"parse", "2008-03-12T10:11:12"}, "2008-03-12T01:11:12Z 0 19", 0, "JST-9"},
        {{"parse", "2008-03-12T10:11:12"}, "2008-03-12T15:11:12Z 0 19", 0, "EST5"},
        {{"parse", "2008-07-01T10:00:00"}, "2008-07-01T08:00:00Z 0 19", 0, cet},
        {{"parse", "2008-01-01T10:00:00"}, "2008-01-01T09:00:00Z 0 19", 0, cet},
        {{"parse", "2008-03-12T10:11:12.750+01:00"}, "2008-03-12T09:11:12Z 0 29"},
        {{"parse", "2008-03-12T10:11.5"}, "2008-03-12T10:11:30Z 0 18"},
        {{"parse", "0001-01-01T00:00:00+00:00"}, "0001-01-01T00:00:00Z 0 25"},
        {{"parse", "2008-W01-1"}, "2007-12-31T00:00:00Z 0 10"},
        {{"parse", "2010-W01-1"}, "2010-01-04T00:00:00Z 0 10"},
        {{"parse", "2008-060"}, "2008-02-29T00:00:00Z 0 8"},
        {{"parse", "--strict", "2008-060"}, "2008-02-29T00:00:00Z 0 8"},
        {{"parse", "--strict", "2007-366"}, none, 1},
        {{"parse", "   2008-03-12"}, "2008-03-12T00:00:00Z 3 10"},
        {{"parse", "--strict", "   2008-03-12"}, none, 1},
        {{"parse", "20080312"}, "2008-03-12T00:00:00Z 0 8"},
        {{"parse", "200803"},
            QStringLiteral("%1-08-03T00:00:00Z 0 6").arg(century + 20, 4, 10, QLatin1Char('0'))},
        {{"parse", "20083"}, none, 1},
        {{"parse", "--", "-08"}, QStringLiteral("%1-01-01T00:00:00Z 0 3").arg(century + 8)},
        {{"parse", "--", "-8-3"}, QStringLiteral("%1-03-01T00:00:00Z 0 4").arg(year / 10 * 10 + 8)},
        {{"parse", "--", "--03"}, QStringLiteral("%1-03-01T00:00:00Z 0 4").arg(year)},
        {{"parse", "--", "--03-12T10:00+02:00"},
            QStringLiteral("%1-03-12T08:00:00Z 0 19").arg(year)},
        {{"parse", "T"}, none, 1},
        {{"parse", "Tea"}, none, 1},
        {{"parse", "--separator", ".", "2008-03-12T10.11.12Z"}, "2008-03-12T10:11:12Z 0 20"},
        {{"format", "--zone", "-03:30", "2008-03-12T09:11:12Z"}, "2008-03-12T05:41:12-03:30"},
        {{"format", "--zone", "+00:00", "2008-03-12T09:11:12Z"}, "2008-03-12T09:11:12Z"},
        {{"format", "--zone", "Z", "--no-time", "2008-03-12T09:11:12Z"}, "2008-03-12"},
        {{"format", "--form", "ordinal", "--zone", "+01:00", "2008-03-12T09:11:12Z"},
            "2008-072T10:11:12+0100"},
        {{"format", "--form", "week", "--zone", "+01:00", "--no-time", "2008-12-28T23:30:00Z"},
            "2009-W01-1"},
        {{"format", "--form", "week", "--separator", ".", "--zone", "-05:00",
             "2010-01-04T04:00:00Z"},
            "2009-W53-7T23.00.00-0500"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + " TZ=" + c.zone.toStdString());
        const ProgramRun run = iso8601(c.arguments, c.zone);
        EXPECT_EQ(run.standardOutput.toStdString(), c.printed.toStdString());
        EXPECT_EQ(run.exitCode, c.exitCode);
    }
}

TEST(Iso8601Tool, RefusesBadUsage)
{
    for (const QStringList &arguments : QList<QStringList> {{"format", "2008-03-12T09:11:12Z"},
             {"format", "--zone", "+1", "2008-03-12T09:11:12Z"},
             {"format", "--zone", "Z", "--form", "julian", "2008-03-12"},
             {"parse", "--separator", "::", "2008"}, {"parse", "-08"}, {"parse"}})
        EXPECT_EQ(iso8601(arguments).exitCode, 2) << arguments.join(' ').toStdString();
    const ProgramRun help = iso8601({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.standardOutput.contains("iso8601 parse"));
}

} // namespace pondrel
