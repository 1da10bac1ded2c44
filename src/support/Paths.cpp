// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace pondrel {

namespace {

QString xdgFolder(const char *variable, const QString &fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return Paths::homeFolder() + fallbackBelowHome;
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
    return QDir::tempPath();
}

bool ensureFolder(const QString &path)
{
    return QDir().mkpath(path);
}

} // namespace Paths

} // namespace pondrel
