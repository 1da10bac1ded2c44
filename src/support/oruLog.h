// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// Diagnostics of both programs. Diagnostic lines and activity rows are written only while
// "Debug" is true in the shared preferences domain. The switch is kept in memory and read again
// when the preferences file has changed, which is looked at no more than once a second: a
// diagnostic costs one clock reading while "Debug" is off, and switching it on from another
// process still takes effect within a second. Fatal-condition lines are written always.
// Callable from any thread.
class oruLog
{
public:
    oruLog() = delete;

    // "file:line function; message" behind the platform prefix; file is reduced to its name and
    // the compiler's pretty function name to "Class::method".
    static void file(const char *sourcePath, const char *prettyFunction, int lineNumber,
        const QString &message);

    // Appends "date,message" to the activity file on the desktop.
    static void add2csv(const QString &message);

    // "FATAL: condition in class:method (in file at line)", whatever "Debug" says.
    static void fatal(const QString &condition, const char *prettyFunction, const char *sourcePath,
        int lineNumber);

    // The platform log line: "YYYY-MM-DD HH:MM:SS.mmm program[pid:tid] text" on standard error,
    // written with one system call so lines from different threads never interleave.
    static void platformLog(const QString &text);

    static bool isDebugEnabled();
    // Reads the switch again at the next diagnostic: this process has just written the shared
    // preferences, so waiting for the next look at the file would be a needless delay.
    static void debugSwitchChanged();
    static QString activityFilePath();

    // "Class::method" from a compiler's pretty function name, for log lines.
    static QString shortFunctionName(const char *prettyFunction);
};

// The message is built only while "Debug" is on.
#define ORU_LOG(message)                                                                           \
    do {                                                                                           \
        if (::pondrel::oruLog::isDebugEnabled())                                                   \
            ::pondrel::oruLog::file(__FILE__, __PRETTY_FUNCTION__, __LINE__, (message));           \
    } while (false)

#define ORU_FATAL(condition)                                                                       \
    ::pondrel::oruLog::fatal((condition), __PRETTY_FUNCTION__, __FILE__, __LINE__)

} // namespace pondrel
