#include "FileManagerExtras.h"

#include <QFileInfo>

namespace FileManagerExtras {

std::optional<QString> linkChainEnd(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.exists() ? std::optional<QString>(path) : std::nullopt;
    // Fails (empty) for a dangling link anywhere in the chain and for a loop.
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
