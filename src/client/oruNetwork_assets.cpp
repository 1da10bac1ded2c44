// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "support/Values.h"
#include "support/oruLog.h"

#include <QCoreApplication>

namespace pondrel {

namespace {

const QString kFolderAsset = QStringLiteral("FolderAsset");
const QString kPictureFileAsset = QStringLiteral("PictureFileAsset");
const QString kAssetKindKey = QStringLiteral("CS_AssetKind");

std::optional<quint32> permissionsValue(const QVariant &permissions)
{
    bool ok = false;
    const qulonglong value = permissions.metaType() == QMetaType::fromType<QString>()
        ? permissions.toString().trimmed().toULongLong(&ok)
        : permissions.toULongLong(&ok);
    if (!ok || value > 0xFFFFFFFFULL)
        return std::nullopt;
    return quint32(value);
}

// The dictionary under the key, moved out of its parent so that it is its data's only holder.
QVariantMap takeMap(QVariantMap &parent, const QString &key)
{
    return parent.take(key).toMap();
}

} // namespace

// The records are taken out of the reply instead of copied from it: each is then the only holder
// of its dictionary, and adding its kind does not copy two dozen entries per picture.
std::optional<QVariantList> oruNetwork::getAssets(const QString &parentIdentifier)
{
    QVariantMap reply = m_publishingServices->GetAssets(
        {m_sessionIdentifier, parentIdentifier, QStringLiteral("IncludeComments"), true, true});
    if (!succeeded(reply))
        return std::nullopt;
    QVariantMap result = takeMap(reply, QStringLiteral("GetAssetsResult"));
    QVariantMap byKind = takeMap(result, QStringLiteral("Assets"));
    QVariantList records;
    for (const QString &kind : {kFolderAsset, kPictureFileAsset}) {
        QVariantList assets = Values::asList(byKind.take(kind));
        records.reserve(records.size() + assets.size());
        for (QVariant &asset : assets) {
            QVariantMap record = asset.toMap();
            asset = QVariant();
            record.insert(kAssetKindKey, kind);
            records.append(record);
        }
    }
    return records;
}

bool oruNetwork::renameAsset(const QString &assetId, const QString &name, const QString &desc)
{
    return succeeded(m_publishingServices->RenameAsset({m_sessionIdentifier, assetId, name, desc}));
}

bool oruNetwork::setAssetRating(const QString &assetId, int rating)
{
    if (rating < 0 || rating >= ratingType().size())
        return failWith(QStringLiteral("There is no rating %1.").arg(rating));
    return succeeded(m_publishingServices->SetAssetRating(
        {m_sessionIdentifier, assetId, ratingType().at(rating)}));
}

bool oruNetwork::setPictureAssetPermissions(const QString &assetId, const QVariant &permissions)
{
    const std::optional<quint32> value = permissionsValue(permissions);
    if (!value)
        return failWith(
            QStringLiteral("Invalid sharing permissions %1.").arg(permissions.toString()));
    return succeeded(m_publishingServices->SetPictureFileAssetSharingPermissions(
        {m_sessionIdentifier, assetId, *value}));
}

bool oruNetwork::setFolderAssetPermissions(const QString &albumId, const QVariant &permissions)
{
    const std::optional<quint32> value = permissionsValue(permissions);
    if (!value)
        return failWith(
            QStringLiteral("Invalid sharing permissions %1.").arg(permissions.toString()));
    return succeeded(m_publishingServices->SetFolderAssetSharingPermissions(
        {m_sessionIdentifier, albumId, *value}));
}

bool oruNetwork::setFolderThumbnailOptions(const QString &albumId, int options)
{
    if (options < 0 || options >= thumbnailOptionsType().size())
        return failWith(QStringLiteral("There is no thumbnail option %1.").arg(options));
    return succeeded(m_publishingServices->SetFolderAssetAutomaticThumbnailOptions(
        {m_sessionIdentifier, albumId, thumbnailOptionsType().at(options)}));
}

bool oruNetwork::destroyFolderAsset(const QString &albumId)
{
    return succeeded(m_publishingServices->DestroyFolderAsset({m_sessionIdentifier, albumId}));
}

bool oruNetwork::destroyPictureAsset(const QString &pictureId)
{
    return succeeded(
        m_publishingServices->DestroyPictureFileAsset({m_sessionIdentifier, pictureId}));
}

QSize oruNetwork::wallpaperSize(const QSizeF &screen)
{
    if (screen.width() > kWallpaperMaxWidth || screen.height() > kWallpaperMaxHeight)
        return {kWallpaperMaxWidth, kWallpaperMaxHeight};
    return {int(screen.width()), int(screen.height())};
}

bool oruNetwork::requestWallpaper(const oruAssetItem &item)
{
    static const char *const kWallpaperFailed
        = QT_TRANSLATE_NOOP("oruNetwork", "Request for wallpaper has failed.");
    if (!m_screenSize)
        return failWithAlert(
            QStringLiteral("The size of the screen is not known."), kWallpaperFailed);
    const QSizeF screen = m_screenSize();
    ORU_LOG(QStringLiteral("item size (wxh): %1x%2").arg(item.pixelsWidth).arg(item.pixelsHeight));
    ORU_LOG(QStringLiteral("item orientation : %1").arg(item.orientation));
    const QSize size = wallpaperSize(screen);
    ORU_LOG(QStringLiteral("Will request wallpaper of size (wxh) %1x%2")
                .arg(size.width())
                .arg(size.height()));
    return succeededOrAlert(m_publishingServices->RequestPictureFileAssetWallpaperRendition(
                                {m_sessionIdentifier, item.uniqueID, size.width(), size.height()}),
        kWallpaperFailed);
}

} // namespace pondrel
