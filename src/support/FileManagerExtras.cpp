// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/FileManagerExtras.h"

#include <QFileInfo>

namespace pondrel {

namespace FileManagerExtras {

std::optional<QString> linkChainEnd(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    // exists() follows the whole chain: false for a dangling link anywhere in it and for a loop.
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return std::nullopt;
    return target;
}

QString pathResolved(const QString &path)
{
    return linkChainEnd(path).value_or(path);
}

} // namespace FileManagerExtras

} // namespace pondrel
