// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace pondrel {

// One photo library in the shape every source yields, that of an album data file:
//   "List of Albums": [{"AlbumName", "Album Type", "KeyList": [image keys]}, ...]
//   "Master Image List": {image key: {"MediaType" (optional), "ImagePath"}}
// digiKam and Shotwell databases are read into the same shape, so that the filtering rules and
// the import treat every library alike.
struct PhotoLibrary
{
    static inline const QString kAlbumsKey = QStringLiteral("List of Albums");
    static inline const QString kImagesKey = QStringLiteral("Master Image List");
    static inline const QString kAlbumNameKey = QStringLiteral("AlbumName");
    static inline const QString kAlbumTypeKey = QStringLiteral("Album Type");
    static inline const QString kKeyListKey = QStringLiteral("KeyList");
    static inline const QString kMediaTypeKey = QStringLiteral("MediaType");
    static inline const QString kImagePathKey = QStringLiteral("ImagePath");
    static inline const QString kImageMediaType = QStringLiteral("Image");
    // Where a database's album lies in its library ("2024/Vacation"), shown instead of the bare
    // name so that two albums of one name can be told apart.
    static inline const QString kAlbumPlaceKey = QStringLiteral("AlbumPlace");

    // The source's name for the user ("digiKam", "Shotwell"), empty for album data files.
    QString source;
    QVariantMap dictionary;

    QVariantList albums() const { return dictionary.value(kAlbumsKey).toList(); }
    // Albums of these types are never offered: they are layouts, not collections of pictures.
    static bool isOffered(const QVariantMap &album);
    // The picture paths of the album, in its key order: images without a "MediaType" are
    // pictures too; other media and keys without an image are left out.
    QStringList picturePaths(const QVariantMap &album) const;

    static QVariantMap album(const QString &name, const QString &type, const QStringList &keys);
    static QVariantMap image(const QString &path, const QString &mediaType);
};

// Why a source could not be read, for the user; a source that is simply not there says so too.
struct UnavailableSource
{
    QString source;
    QString reason;
};

} // namespace pondrel
