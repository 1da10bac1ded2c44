// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/oruLog.h"

#include "support/Paths.h"
#include "support/Preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <mutex>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pondrel {

namespace {

QString programName()
{
    const QString name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    QFile comm(QStringLiteral("/proc/self/comm"));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromUtf8(comm.readAll().trimmed());
    return QStringLiteral("pondrel");
}

// The classic date text of the platform: "2026-12-06 19:18:33 +0000".
QString activityDateText()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const QChar sign = offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+');
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
        + QStringLiteral("%1%2%3")
              .arg(sign)
              .arg(qAbs(offsetMinutes) / 60, 2, 10, QLatin1Char('0'))
              .arg(qAbs(offsetMinutes) % 60, 2, 10, QLatin1Char('0'));
}

// What tells one state of the preferences file from another: a write replaces the file, so
// its inode changes even when the clock's resolution hides the new modification time.
struct FileStamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};

    static FileStamp of(const QString &path)
    {
        struct stat status {};
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return {};
        return {true, status.st_dev, status.st_ino, status.st_size, status.st_mtim};
    }

    bool operator==(const FileStamp &other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode
            && size == other.size && modified.tv_sec == other.modified.tv_sec
            && modified.tv_nsec == other.modified.tv_nsec;
    }
};

class DebugSwitch
{
public:
    static DebugSwitch &instance()
    {
        static DebugSwitch debugSwitch;
        return debugSwitch;
    }

    bool isOn()
    {
        if (nowMilliseconds() >= m_nextLook.load(std::memory_order_acquire))
            look();
        return m_on.load(std::memory_order_relaxed);
    }

    void forget() { m_nextLook.store(0, std::memory_order_release); }

private:
    static constexpr qint64 kLookInterval = 1000;

    static qint64 nowMilliseconds()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    void look()
    {
        // Until the switch has been read once, everyone waits for it; afterwards a thread that
        // finds another one looking goes on with the value in hand.
        std::unique_lock lock(m_looking, std::defer_lock);
        if (m_known.load(std::memory_order_acquire)) {
            if (!lock.try_lock())
                return;
        } else {
            lock.lock();
        }
        const qint64 now = nowMilliseconds();
        if (m_known.load(std::memory_order_relaxed) && now < m_nextLook.load())
            return;
        m_nextLook.store(now + kLookInterval, std::memory_order_release);
        const Preferences shared = Preferences::shared();
        const QString path = shared.filePath();
        const FileStamp stamp = FileStamp::of(path);
        if (m_known.load(std::memory_order_relaxed) && path == m_path && stamp == m_stamp)
            return;
        m_path = path;
        m_stamp = stamp;
        m_on.store(shared.value(QStringLiteral("Debug")).toBool(), std::memory_order_relaxed);
        m_known.store(true, std::memory_order_release);
    }

    std::atomic<bool> m_on {false};
    std::atomic<bool> m_known {false};
    std::atomic<qint64> m_nextLook {0};
    std::mutex m_looking;
    QString m_path;
    FileStamp m_stamp;
};

} // namespace

void oruLog::file(const char *sourcePath, const char *prettyFunction, int lineNumber,
    const QString &message)
{
    if (!isDebugEnabled())
        return;
    const QString fileName = QFileInfo(QString::fromUtf8(sourcePath)).fileName();
    platformLog(QStringLiteral("%1:%2 %3; %4")
                    .arg(fileName)
                    .arg(lineNumber)
                    .arg(shortFunctionName(prettyFunction), message));
}

void oruLog::add2csv(const QString &message)
{
    if (!isDebugEnabled())
        return;
    QFile activity(activityFilePath());
    if (!activity.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    activity.write(QStringLiteral("%1,%2\n").arg(activityDateText(), message).toUtf8());
}

void oruLog::fatal(
    const QString &condition, const char *prettyFunction, const char *sourcePath, int lineNumber)
{
    const QString function = shortFunctionName(prettyFunction);
    const qsizetype separator = function.lastIndexOf(QStringLiteral("::"));
    const QString className = separator < 0 ? QString() : function.left(separator);
    const QString method = separator < 0 ? function : function.mid(separator + 2);
    platformLog(QStringLiteral("FATAL: %1 in %2:%3 (in %4 at %5)")
                    .arg(condition, className, method, QString::fromUtf8(sourcePath))
                    .arg(lineNumber));
}

void oruLog::platformLog(const QString &text)
{
    const QString line
        = QStringLiteral("%1 %2[%3:%4] %5\n")
              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                  programName())
              .arg(qint64(getpid()))
              .arg(qint64(syscall(SYS_gettid)))
              .arg(text);
    const QByteArray bytes = line.toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result
            = ::write(STDERR_FILENO, bytes.constData() + written, size_t(bytes.size() - written));
        if (result <= 0)
            return;
        written += result;
    }
}

bool oruLog::isDebugEnabled()
{
    return DebugSwitch::instance().isOn();
}

void oruLog::debugSwitchChanged()
{
    DebugSwitch::instance().forget();
}

QString oruLog::activityFilePath()
{
    return Paths::desktopFolder() + QStringLiteral("/pondrel_files.csv");
}

QString oruLog::shortFunctionName(const char *prettyFunction)
{
    QString name = QString::fromLatin1(prettyFunction);
    const qsizetype parameters = name.indexOf(QLatin1Char('('));
    if (parameters >= 0)
        name.truncate(parameters);
    const qsizetype returnType = name.lastIndexOf(QLatin1Char(' '));
    if (returnType >= 0)
        name = name.mid(returnType + 1);
    // Every name of ours carries the project namespace; log lines name the class alone.
    for (const QLatin1String scope : {QLatin1String("pondrel::refservice::"),
             QLatin1String("pondrel::")}) {
        if (name.startsWith(scope))
            return name.mid(scope.size());
    }
    return name;
}

} // namespace pondrel
