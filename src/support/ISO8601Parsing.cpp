// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ISO8601Parsing.h"

#include <QTimeZone>

#include <limits>
#include <utility>

namespace pondrel {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A run of decimal digits: its value (only the first nine digits count, enough for every field
// and safe from overflow) and how many digits it had.
struct DigitRun
{
    int value = 0;
    int length = 0;
};

class Scanner
{
public:
    explicit Scanner(QByteArray bytes)
        : m_bytes(std::move(bytes))
    { }

    char peek(qsizetype ahead = 0) const
    {
        const qsizetype at = m_position + ahead;
        return at < m_bytes.size() ? m_bytes.at(at) : '\0';
    }
    bool digitAt(qsizetype ahead = 0) const { return isDigit(peek(ahead)); }

    bool consume(char c)
    {
        if (m_position >= m_bytes.size() || m_bytes.at(m_position) != c)
            return false;
        ++m_position;
        return true;
    }
    bool consumeSpace()
    {
        if (!isSpace(peek()))
            return false;
        ++m_position;
        return true;
    }

    DigitRun digits(int maximumLength = std::numeric_limits<int>::max())
    {
        DigitRun run;
        while (run.length < maximumLength && digitAt()) {
            if (run.length < 9)
                run.value = run.value * 10 + (peek() - '0');
            ++run.length;
            ++m_position;
        }
        return run;
    }

    // The digits after a decimal mark, as a fraction numerator/denominator (at most nine
    // digits count; the rest are skipped).
    std::pair<qint64, qint64> fraction()
    {
        qint64 numerator = 0;
        qint64 denominator = 1;
        for (int count = 0; digitAt(); ++count, ++m_position) {
            if (count < 9) {
                numerator = numerator * 10 + (peek() - '0');
                denominator *= 10;
            }
        }
        return {numerator, denominator};
    }

    qsizetype position() const { return m_position; }
    void rewind(qsizetype position) { m_position = position; }

private:
    QByteArray m_bytes;
    qsizetype m_position = 0;
};

enum class DateForm { Calendar, Ordinal, Week };

struct DateFields
{
    DateForm form = DateForm::Calendar;
    int year = 0;
    int month = 1;
    int day = 1;
    int dayOfYear = 1;
    int week = 1;
    int weekday = 1;
};

struct TimeFields
{
    int hour = 0;
    int minute = 0;
    int second = 0;
};

int yearLength(int year)
{
    return QDate::isLeapYear(year) ? 366 : 365;
}

class Parser
{
public:
    Parser(const QString &text, bool strict, char separator)
        : m_scanner(text.toUtf8())
        , m_strict(strict)
        , m_separator(strict ? ':' : separator)
        , m_today(QDate::currentDate())
    { }

    std::optional<QDateTime> parse(ISO8601Parsing::ParseRange *range)
    {
        std::optional<QDateTime> result = parseDateAndTime();
        if (range) {
            *range = result
                ? ISO8601Parsing::ParseRange {m_location, m_scanner.position() - m_location}
                : ISO8601Parsing::ParseRange {};
        }
        return result;
    }

private:
    std::optional<QDateTime> parseDateAndTime()
    {
        if (isSpace(m_scanner.peek()) && m_strict)
            return std::nullopt;
        while (m_scanner.consumeSpace())
            ++m_location;
        if (!parseDate())
            return std::nullopt;
        parseTime();
        return build();
    }

    // --- date part -----------------------------------------------------------------------

    bool parseDate()
    {
        if (m_scanner.consume('T')) {
            setCalendar(m_today.year(), m_today.month(), m_today.day());
            return m_scanner.digitAt();
        }
        int hyphens = 0;
        while (m_scanner.consume('-'))
            ++hyphens;
        const DigitRun run = m_scanner.digits();
        if (run.length == 5 || run.length > 8)
            return false;
        switch (hyphens) {
        case 0:
            return parseWithoutHyphen(run);
        case 1:
            return parseAfterOneHyphen(run);
        case 2:
            return parseAfterTwoHyphens(run);
        case 3:
            return parseAfterThreeHyphens(run);
        default:
            return false;
        }
    }

    int century() const { return m_today.year() / 100 * 100; }
    int decade() const { return m_today.year() / 10 * 10; }

    bool parseWithoutHyphen(const DigitRun &run)
    {
        const int v = run.value;
        switch (run.length) {
        case 8:
            setCalendar(v / 10000, v / 100 % 100, v % 100);
            return true;
        case 7:
            setOrdinal(v / 1000, v % 1000);
            return true;
        case 6:
            setCalendar(century() + v / 10000, v / 100 % 100, v % 100);
            return true;
        case 4:
            return parseAfterYear(v);
        case 2:
        case 1:
            return parseAfterYear(century() + v);
        default:
            return false;
        }
    }

    // After YYYY or YY: -MM[-DD], -MMDD, -DDD, [-]Www[-d], or the year alone.
    bool parseAfterYear(int year)
    {
        if (m_scanner.peek() == 'W')
            return parseWeek(year);
        if (m_scanner.peek() == '-' && m_scanner.peek(1) == 'W') {
            m_scanner.consume('-');
            return parseWeek(year);
        }
        if (m_scanner.peek() != '-' || !m_scanner.digitAt(1)) {
            setCalendar(year, 1, 1);
            return true;
        }
        m_scanner.consume('-');
        const DigitRun run = m_scanner.digits();
        switch (run.length) {
        case 4:
            setCalendar(year, run.value / 100, run.value % 100);
            return true;
        case 3:
            setOrdinal(year, run.value);
            return true;
        case 2:
        case 1:
            return !(m_strict && run.length == 1) && parseOptionalDay(year, run.value);
        default:
            return false;
        }
    }

    bool parseOptionalDay(int year, int month)
    {
        int day = 1;
        if (m_scanner.peek() == '-' && m_scanner.digitAt(1)) {
            m_scanner.consume('-');
            const DigitRun run = m_scanner.digits(2);
            if (m_strict && run.length != 2)
                return false;
            day = run.value;
        }
        setCalendar(year, month, day);
        return true;
    }

    // At "W": ww then an optional "-" and the weekday, or wwd.
    bool parseWeek(int year)
    {
        m_scanner.consume('W');
        const DigitRun run = m_scanner.digits(3);
        switch (run.length) {
        case 0:
            if (m_strict)
                return false;
            setCalendar(year, 1, 1);
            return true;
        case 3:
            setWeek(year, run.value / 10, run.value % 10);
            return true;
        default:
            if (m_strict && run.length == 1)
                return false;
            setWeek(year, run.value, parseOptionalWeekday());
            return true;
        }
    }

    int parseOptionalWeekday()
    {
        if (m_scanner.peek() != '-' || !m_scanner.digitAt(1))
            return 1;
        m_scanner.consume('-');
        return m_scanner.digits(1).value;
    }

    // "-W-d": weekday d of week 1 of this year.
    bool parseWeekdayOfFirstWeek()
    {
        if (m_scanner.peek() != 'W' || m_scanner.peek(1) != '-' || !m_scanner.digitAt(2))
            return false;
        m_scanner.consume('W');
        m_scanner.consume('-');
        setWeek(m_today.year(), 1, m_scanner.digits(1).value);
        return true;
    }

    bool parseAfterOneHyphen(const DigitRun &run)
    {
        const int v = run.value;
        switch (run.length) {
        case 4:
            setCalendar(century() + v / 100, v % 100, 1);
            return true;
        case 3:
            setOrdinal(m_today.year(), v);
            return true;
        case 2:
            return parseReducedYear(century() + v);
        case 1:
            if (m_scanner.peek() == 'W')
                return parseWeek(decade() + v);
            return parseReducedYear(decade() + v);
        case 0:
            if (parseWeekdayOfFirstWeek())
                return true;
            return m_scanner.peek() == 'W' && parseWeek(m_today.year());
        default:
            return false;
        }
    }

    // After "-YY" or "-Y": an optional "-MM"; the year alone means January.
    bool parseReducedYear(int year)
    {
        int month = 1;
        if (m_scanner.peek() == '-' && m_scanner.digitAt(1)) {
            m_scanner.consume('-');
            const DigitRun run = m_scanner.digits(2);
            if (m_strict && run.length != 2)
                return false;
            month = run.value;
        }
        setCalendar(year, month, 1);
        return true;
    }

    bool parseAfterTwoHyphens(const DigitRun &run)
    {
        const int v = run.value;
        switch (run.length) {
        case 4:
            setCalendar(m_today.year(), v / 100, v % 100);
            return true;
        case 3:
            setOrdinal(m_today.year(), v);
            return true;
        case 2:
        case 1:
            return !(m_strict && run.length == 1) && parseOptionalDay(m_today.year(), v);
        case 0:
            return !m_strict && parseWeekdayOfFirstWeek();
        default:
            return false;
        }
    }

    bool parseAfterThreeHyphens(const DigitRun &run)
    {
        if (run.length != 2 && !(run.length == 1 && !m_strict))
            return false;
        setCalendar(m_today.year(), m_today.month(), run.value);
        return true;
    }

    void setCalendar(int year, int month, int day)
    {
        m_date.form = DateForm::Calendar;
        m_date.year = year;
        m_date.month = month;
        m_date.day = day;
    }
    void setOrdinal(int year, int dayOfYear)
    {
        m_date.form = DateForm::Ordinal;
        m_date.year = year;
        m_date.dayOfYear = dayOfYear;
    }
    void setWeek(int year, int week, int weekday)
    {
        m_date.form = DateForm::Week;
        m_date.year = year;
        m_date.week = week;
        m_date.weekday = weekday;
    }

    // --- time part -----------------------------------------------------------------------

    void parseTime()
    {
        const qsizetype beforeTime = m_scanner.position();
        if (!m_scanner.consume('T'))
            m_scanner.consumeSpace();
        const DigitRun hour = m_scanner.digits(2);
        if (hour.length == 0) {
            m_scanner.rewind(beforeTime);
            return;
        }
        m_time.hour = hour.value;
        if (m_scanner.peek() == m_separator && m_scanner.digitAt(1)) {
            m_scanner.consume(m_separator);
            if (m_separator == '.' || m_separator == ',')
                parseShortMinutesAndSeconds();
            else
                parseDecimalMinutesAndSeconds();
        } else if (m_scanner.digitAt() && m_scanner.digitAt(1)) {
            parseBasicMinutesAndSeconds();
        }
        parseZone();
    }

    static bool isDecimalMark(char c) { return c == '.' || c == ','; }

    void parseDecimalMinutesAndSeconds()
    {
        m_time.minute = m_scanner.digits().value;
        if (isDecimalMark(m_scanner.peek()) && m_scanner.digitAt(1)) {
            m_scanner.consume(m_scanner.peek());
            const auto [numerator, denominator] = m_scanner.fraction();
            m_time.second = int(numerator * 60 / denominator);
            return;
        }
        if (m_scanner.peek() == m_separator && m_scanner.digitAt(1)) {
            m_scanner.consume(m_separator);
            m_time.second = m_scanner.digits().value;
            skipFractionOfSecond();
        }
    }

    void parseShortMinutesAndSeconds()
    {
        m_time.minute = m_scanner.digits(2).value;
        if (m_scanner.peek() == m_separator && m_scanner.digitAt(1)) {
            m_scanner.consume(m_separator);
            m_time.second = m_scanner.digits(2).value;
        }
    }

    // hhmm[ss]: the basic format, which needs no separator.
    void parseBasicMinutesAndSeconds()
    {
        m_time.minute = m_scanner.digits(2).value;
        if (m_scanner.digitAt() && m_scanner.digitAt(1)) {
            m_time.second = m_scanner.digits(2).value;
            skipFractionOfSecond();
        }
    }

    void skipFractionOfSecond()
    {
        if (isDecimalMark(m_scanner.peek()) && m_scanner.digitAt(1)) {
            m_scanner.consume(m_scanner.peek());
            m_scanner.fraction();
        }
    }

    void parseZone()
    {
        if (m_scanner.consume('Z')) {
            m_zone = QTimeZone::utc();
            return;
        }
        const char sign = m_scanner.peek();
        if ((sign != '+' && sign != '-') || !m_scanner.digitAt(1))
            return;
        m_scanner.consume(sign);
        const int hours = m_scanner.digits(2).value;
        int minutes = 0;
        const qsizetype beforeMinutes = m_scanner.position();
        if (!m_scanner.consume(m_separator))
            m_scanner.consume(':');
        const DigitRun minuteRun = m_scanner.digits(2);
        if (minuteRun.length == 0)
            m_scanner.rewind(beforeMinutes);
        else
            minutes = minuteRun.value;
        m_zoneMinutes = minutes;
        const int offset = (hours * 3600 + minutes * 60) * (sign == '-' ? -1 : 1);
        m_zone = QTimeZone(offset);
    }

    // --- the result ----------------------------------------------------------------------

    bool strictRangesHold() const
    {
        if (m_time.hour > 24 || m_time.minute > 59 || m_time.second > 60 || m_zoneMinutes > 59)
            return false;
        if (m_time.hour == 24 && (m_time.minute != 0 || m_time.second != 0))
            return false;
        switch (m_date.form) {
        case DateForm::Ordinal:
            return m_date.dayOfYear >= 1 && m_date.dayOfYear <= yearLength(m_date.year);
        case DateForm::Week:
            return m_date.week >= 1 && m_date.week <= QDate(m_date.year, 12, 28).weekNumber()
                && m_date.weekday >= 1 && m_date.weekday <= 7;
        case DateForm::Calendar:
            return true;
        }
        return true;
    }

    QDate date() const
    {
        switch (m_date.form) {
        case DateForm::Calendar:
            return QDate(m_date.year, m_date.month, m_date.day);
        case DateForm::Ordinal:
            return QDate(m_date.year, 1, 1).addDays(m_date.dayOfYear - 1);
        case DateForm::Week:
            return QDate(m_date.year, 1, 1).addDays(dayOfYearOfWeekDate() - 1);
        }
        return {};
    }

    // Week 1 is the week (Monday first) that holds the year's first Thursday.
    int dayOfYearOfWeekDate() const
    {
        const int weekdayOfFirstJanuary = QDate(m_date.year, 1, 1).dayOfWeek();
        const int mondayOfWeekOne
            = weekdayOfFirstJanuary <= 4 ? 2 - weekdayOfFirstJanuary : 9 - weekdayOfFirstJanuary;
        return mondayOfWeekOne + (m_date.week - 1) * 7 + (m_date.weekday - 1);
    }

    std::optional<QDateTime> build() const
    {
        if (m_strict && !strictRangesHold())
            return std::nullopt;
        QDate day = date();
        if (!day.isValid())
            return std::nullopt;
        // Hours past 23 and minutes past 59 roll over; the wall-clock time is kept exact
        // rather than added to midnight, which would be off by an hour on daylight-saving days.
        const qint64 seconds
            = qint64(m_time.hour) * 3600 + qint64(m_time.minute) * 60 + m_time.second;
        day = day.addDays(seconds / 86400);
        const QTime time = QTime::fromMSecsSinceStartOfDay(int(seconds % 86400) * 1000);
        const QDateTime result
            = m_zone ? QDateTime(day, time, *m_zone) : QDateTime(day, time, Qt::LocalTime);
        if (!result.isValid())
            return std::nullopt;
        return result;
    }

    Scanner m_scanner;
    const bool m_strict;
    const char m_separator;
    const QDate m_today;
    qsizetype m_location = 0;
    DateFields m_date;
    TimeFields m_time;
    std::optional<QTimeZone> m_zone;
    int m_zoneMinutes = 0;
};

} // namespace

namespace ISO8601Parsing {

std::optional<QDateTime> calendarDateWithString(const QString &text)
{
    return calendarDateWithString(text, false, ISO8601ParserDefaultTimeSeparatorCharacter, nullptr);
}

std::optional<QDateTime> calendarDateWithString(const QString &text, bool strictly)
{
    return calendarDateWithString(
        text, strictly, ISO8601ParserDefaultTimeSeparatorCharacter, nullptr);
}

std::optional<QDateTime> calendarDateWithString(const QString &text, ParseRange *range)
{
    return calendarDateWithString(text, false, ISO8601ParserDefaultTimeSeparatorCharacter, range);
}

std::optional<QDateTime> calendarDateWithString(const QString &text, char timeSeparator)
{
    return calendarDateWithString(text, false, timeSeparator, nullptr);
}

std::optional<QDateTime> calendarDateWithString(
    const QString &text, char timeSeparator, ParseRange *range)
{
    return calendarDateWithString(text, false, timeSeparator, range);
}

std::optional<QDateTime> calendarDateWithString(
    const QString &text, bool strictly, ParseRange *range)
{
    return calendarDateWithString(
        text, strictly, ISO8601ParserDefaultTimeSeparatorCharacter, range);
}

std::optional<QDateTime> calendarDateWithString(
    const QString &text, bool strictly, char timeSeparator, ParseRange *range)
{
    Q_ASSERT_X(timeSeparator != '\0', "calendarDateWithString", "Time separator must not be NUL.");
    if (text.isEmpty() || timeSeparator == '\0') {
        if (range)
            *range = ParseRange {};
        return std::nullopt;
    }
    return Parser(text, strictly, timeSeparator).parse(range);
}

} // namespace ISO8601Parsing

} // namespace pondrel
