// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/PhotoLibrary.h"

#include "support/oruLog.h"

namespace pondrel {

bool PhotoLibrary::isOffered(const QVariantMap &album)
{
    const QString type = album.value(kAlbumTypeKey).toString();
    return type != QLatin1String("Book") && type != QLatin1String("Slideshow");
}

QStringList PhotoLibrary::picturePaths(const QVariantMap &album) const
{
    const QVariantMap images = dictionary.value(kImagesKey).toMap();
    QStringList paths;
    for (const QVariant &key : album.value(kKeyListKey).toList()) {
        const QVariantMap image = images.value(key.toString()).toMap();
        if (image.contains(kMediaTypeKey) && image.value(kMediaTypeKey) != kImageMediaType)
            continue;
        const QString path = image.value(kImagePathKey).toString();
        if (path.isEmpty())
            continue;
        ORU_LOG(QStringLiteral("Will import photo: %1").arg(path));
        paths.append(path);
    }
    return paths;
}

QVariantMap PhotoLibrary::album(const QString &name, const QString &type, const QStringList &keys)
{
    QVariantList keyList;
    keyList.reserve(keys.size());
    for (const QString &key : keys)
        keyList.append(key);
    return {{kAlbumNameKey, name}, {kAlbumTypeKey, type}, {kKeyListKey, keyList}};
}

QVariantMap PhotoLibrary::image(const QString &path, const QString &mediaType)
{
    return {{kImagePathKey, path}, {kMediaTypeKey, mediaType}};
}

} // namespace pondrel
