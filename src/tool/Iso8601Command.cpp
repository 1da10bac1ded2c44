// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "support/ISO8601Parsing.h"
#include "support/ISO8601Unparsing.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <optional>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool iso8601 parse [--strict] [--separator C] [--] TEXT\n"
    "  pondrel-tool iso8601 format [--form calendar|ordinal|week] [--no-time] [--separator C]\n"
    "                              --zone +HH:MM|-HH:MM|Z INSTANT\n\n"
    "'parse' reads TEXT as an ISO 8601 date and prints 'INSTANT LOCATION LENGTH': the date in\n"
    "UTC (2008-03-12T09:11:12Z) and where the date stands in TEXT, in UTF-8 bytes; or\n"
    "'none 2147483647 0' (exit status 1) when TEXT holds no date. A date without a zone is read\n"
    "in the local zone (TZ decides). Put '--' before a TEXT that begins with '-'.\n"
    "'format' writes the instant INSTANT (read as UTC when it names no zone) as seen in the\n"
    "given zone, in the calendar (default), ordinal or week form.\n");

// Options and the one free word, split at "--" or at the first word that is not an option.
struct Words
{
    QStringList options;
    QStringList free;
};

Words splitWords(const QStringList &arguments, const QStringList &optionsWithValue)
{
    Words words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (word == QStringLiteral("--")) {
            words.free += arguments.mid(i + 1);
            break;
        }
        if (!word.startsWith(QLatin1Char('-')) || word.size() == 1) {
            words.free.append(word);
            continue;
        }
        words.options.append(word);
        if (optionsWithValue.contains(word) && i + 1 < arguments.size())
            words.options.append(arguments.at(++i));
    }
    return words;
}

std::optional<char> separatorOption(const QString &value)
{
    if (value.size() != 1 || value.at(0).unicode() == 0 || value.at(0).unicode() > 127)
        return std::nullopt;
    return char(value.at(0).unicode());
}

std::optional<QTimeZone> zoneOption(const QString &value)
{
    if (value == QStringLiteral("Z"))
        return QTimeZone::utc();
    static const QRegularExpression offsetPattern(QStringLiteral("^([+-])(\\d\\d):?(\\d\\d)$"));
    const QRegularExpressionMatch match = offsetPattern.match(value);
    if (!match.hasMatch())
        return std::nullopt;
    const int seconds = match.captured(2).toInt() * 3600 + match.captured(3).toInt() * 60;
    const QTimeZone zone(match.captured(1) == QStringLiteral("-") ? -seconds : seconds);
    return zone.isValid() ? std::optional<QTimeZone>(zone) : std::nullopt;
}

int parseCommand(const ToolCommand &self, const QStringList &arguments)
{
    const Words words = splitWords(arguments, {QStringLiteral("--separator")});
    bool strict = false;
    char separator = ISO8601Parsing::ISO8601ParserDefaultTimeSeparatorCharacter;
    for (qsizetype i = 0; i < words.options.size(); ++i) {
        const QString &option = words.options.at(i);
        if (option == QStringLiteral("--strict")) {
            strict = true;
        } else if (option == QStringLiteral("--separator") && i + 1 < words.options.size()) {
            const std::optional<char> chosen = separatorOption(words.options.at(++i));
            if (!chosen)
                return self.badUsage(QStringLiteral("the separator is one ASCII character"));
            separator = *chosen;
        } else {
            return self.badUsage(QStringLiteral("unknown or incomplete option '%1'").arg(option));
        }
    }
    if (words.free.size() != 1)
        return self.badUsage(QStringLiteral("parse needs exactly one TEXT"));

    ISO8601Parsing::ParseRange range;
    const std::optional<QDateTime> date
        = ISO8601Parsing::calendarDateWithString(words.free.first(), strict, separator, &range);
    const QString instant = date
        ? date->toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"))
        : QStringLiteral("none");
    ToolOutput::out(QStringLiteral("%1 %2 %3").arg(instant).arg(range.location).arg(range.length));
    return date ? ToolCommand::kSuccess : ToolCommand::kFailure;
}

std::optional<QDateTime> instantArgument(const QString &text)
{
    const std::optional<QDateTime> date = ISO8601Parsing::calendarDateWithString(text);
    if (!date)
        return std::nullopt;
    if (date->timeSpec() == Qt::LocalTime)
        return QDateTime(date->date(), date->time(), QTimeZone::utc());
    return date;
}

int formatCommand(const ToolCommand &self, const QStringList &arguments)
{
    const Words words = splitWords(arguments,
        {QStringLiteral("--form"), QStringLiteral("--separator"), QStringLiteral("--zone")});
    QString form = QStringLiteral("calendar");
    bool includeTime = true;
    char separator = ISO8601Unparsing::ISO8601UnparserDefaultTimeSeparatorCharacter;
    std::optional<QTimeZone> zone;
    for (qsizetype i = 0; i < words.options.size(); ++i) {
        const QString &option = words.options.at(i);
        const bool hasValue = i + 1 < words.options.size();
        if (option == QStringLiteral("--no-time")) {
            includeTime = false;
        } else if (option == QStringLiteral("--form") && hasValue) {
            form = words.options.at(++i);
        } else if (option == QStringLiteral("--separator") && hasValue) {
            const std::optional<char> chosen = separatorOption(words.options.at(++i));
            if (!chosen)
                return self.badUsage(QStringLiteral("the separator is one ASCII character"));
            separator = *chosen;
        } else if (option == QStringLiteral("--zone") && hasValue) {
            zone = zoneOption(words.options.at(++i));
            if (!zone)
                return self.badUsage(QStringLiteral("the zone reads +HH:MM, -HH:MM or Z"));
        } else {
            return self.badUsage(QStringLiteral("unknown or incomplete option '%1'").arg(option));
        }
    }
    if (!zone)
        return self.badUsage(QStringLiteral("format needs --zone"));
    if (words.free.size() != 1)
        return self.badUsage(QStringLiteral("format needs exactly one INSTANT"));
    const std::optional<QDateTime> instant = instantArgument(words.free.first());
    if (!instant) {
        ToolOutput::err(QStringLiteral("'%1' is not an ISO 8601 date").arg(words.free.first()));
        return ToolCommand::kFailure;
    }

    const QDateTime shown = instant->toTimeZone(*zone);
    if (form == QStringLiteral("calendar"))
        ToolOutput::out(ISO8601Unparsing::ISO8601DateStringWithTime(shown, includeTime, separator));
    else if (form == QStringLiteral("ordinal"))
        ToolOutput::out(
            ISO8601Unparsing::ISO8601OrdinalDateStringWithTime(shown, includeTime, separator));
    else if (form == QStringLiteral("week"))
        ToolOutput::out(
            ISO8601Unparsing::ISO8601WeekDateStringWithTime(shown, includeTime, separator));
    else
        return self.badUsage(QStringLiteral("unknown form '%1'").arg(form));
    return ToolCommand::kSuccess;
}

int runIso8601(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.isEmpty())
        return self.badUsage(QStringLiteral("missing action (parse or format)"));
    const QString action = arguments.first();
    if (action == QStringLiteral("parse"))
        return parseCommand(self, arguments.mid(1));
    if (action == QStringLiteral("format"))
        return formatCommand(self, arguments.mid(1));
    return self.badUsage(QStringLiteral("unknown action '%1'").arg(action));
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("iso8601"),
    QStringLiteral("parse and format ISO 8601 dates"), kUsage, runIso8601}};

} // namespace

} // namespace pondrel
