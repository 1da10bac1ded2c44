// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// Diagnostics of both programs. Diagnostic lines and activity rows are written only while
// "Debug" is true in the shared preferences domain, read afresh on every call, so switching it
// on takes effect at once. Fatal-condition lines are written always. Callable from any thread.
class oruLog
{
public:
    oruLog() = delete;

    // "file:line function; message" behind the platform prefix; file is reduced to its name.
    static void file(
        const char *sourcePath, const char *function, int lineNumber, const QString &message);

    // Appends "date,message" to the activity file on the desktop.
    static void add2csv(const QString &message);

    // "FATAL: condition in class:method (in file at line)", whatever "Debug" says.
    static void fatal(const QString &condition, const char *prettyFunction, const char *sourcePath,
        int lineNumber);

    // The platform log line: "YYYY-MM-DD HH:MM:SS.mmm program[pid:tid] text" on standard error,
    // written with one system call so lines from different threads never interleave.
    static void platformLog(const QString &text);

    static bool isDebugEnabled();
    static QString activityFilePath();

    // "Class::method" from a compiler's pretty function name, for log lines.
    static QString shortFunctionName(const char *prettyFunction);
};

#define ORU_LOG(message)                                                                           \
    oruLog::file(__FILE__, oruLog::shortFunctionName(__PRETTY_FUNCTION__).toUtf8().constData(),    \
        __LINE__, (message))

#define ORU_FATAL(condition) oruLog::fatal((condition), __PRETTY_FUNCTION__, __FILE__, __LINE__)

} // namespace pondrel
