// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace pondrel {

// Reads ISO 8601 date texts as the service writes them, and the many truncated and reduced
// forms the standard allows. Lenient by default: leading white space is skipped and out-of-range
// ordinal days roll over into the next year. The result carries the zone of the text: UTC for
// "Z", a fixed offset for "+hh:mm", local time when the text names no zone.
namespace ISO8601Parsing {

inline constexpr char ISO8601ParserDefaultTimeSeparatorCharacter = ':';

// Where the recognised date stands in the text, counted in bytes of its UTF-8 form.
struct ParseRange
{
    static constexpr qint64 kNotFound = 2147483647;

    qint64 location = kNotFound;
    qint64 length = 0;

    bool operator==(const ParseRange &) const = default;
};

std::optional<QDateTime> calendarDateWithString(const QString &text);
std::optional<QDateTime> calendarDateWithString(const QString &text, bool strictly);
std::optional<QDateTime> calendarDateWithString(const QString &text, ParseRange *range);
std::optional<QDateTime> calendarDateWithString(const QString &text, char timeSeparator);
std::optional<QDateTime> calendarDateWithString(
    const QString &text, char timeSeparator, ParseRange *range);
std::optional<QDateTime> calendarDateWithString(
    const QString &text, bool strictly, ParseRange *range);

// The one that does the work; the others pass their defaults (lenient, ":", no range). Strict
// mode always separates with ":". The separator is one byte and must not be NUL. Characters
// after the date are ignored; *range says where the date ended.
std::optional<QDateTime> calendarDateWithString(
    const QString &text, bool strictly, char timeSeparator, ParseRange *range);

} // namespace ISO8601Parsing

} // namespace pondrel
