// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/AliasFiles.h"

#include "support/FileManagerExtras.h"
#include "support/oruLog.h"

namespace pondrel {

namespace AliasFiles {

QString resolveAliasFile(const QString &path)
{
    const std::optional<QString> target = FileManagerExtras::linkChainEnd(path);
    if (!target) {
        oruLog::platformLog(QStringLiteral("Failed to resolve file %1 as alias file").arg(path));
        return path;
    }
    if (target->toUtf8().size() > kMaximumPathBytes)
        return path;
    return *target;
}

} // namespace AliasFiles

} // namespace pondrel
