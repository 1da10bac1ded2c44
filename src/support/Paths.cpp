// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pondrel {

namespace {

QString xdgFolder(const char *variable, const QString &fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return Paths::homeFolder() + fallbackBelowHome;
}

// The folder exists, is no link, belongs to this user and only this user may enter it. Renditions
// of private pictures pass through it, and the shared temporary folder is open to everyone.
bool makePrivateFolder(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::geteuid())
        return false;
    return (status.st_mode & 07777) == 0700 || ::chmod(name.constData(), 0700) == 0;
}

} // namespace

namespace Paths {

QString homeFolder()
{
    return QDir::homePath();
}

QString preferencesFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config")) + QStringLiteral("/trevane");
}

QString applicationSupportFolder()
{
    return xdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share")) + QStringLiteral("/Trevane");
}

QString cachesFolder()
{
    return xdgFolder("XDG_CACHE_HOME", QStringLiteral("/.cache")) + QStringLiteral("/Trevane");
}

QString desktopFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString temporaryFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool hasRuntime
        = !runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir();
    const QString folder = hasRuntime
        ? QDir::cleanPath(runtime) + QStringLiteral("/pondrel-renditions")
        : cachesFolder() + QStringLiteral("/renditions");
    return makePrivateFolder(folder) ? folder : QString();
}

bool ensureFolder(const QString &path)
{
    return QDir().mkpath(path);
}

std::unique_ptr<QFile> createPrivateFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int descriptor = ::open(name.constData(), kFlags, 0600);
    if (descriptor < 0 && errno == EEXIST && ::unlink(name.constData()) == 0)
        descriptor = ::open(name.constData(), kFlags, 0600);
    if (descriptor < 0)
        return nullptr;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return nullptr;
    }
    return file;
}

} // namespace Paths

} // namespace pondrel
