// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/ItemEdits.h"

#include "support/oruLog.h"

#include <QCoreApplication>

namespace pondrel::ItemEdits {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ItemEdits", text);
}

// Name, description and rating are edited alike in both dialogs.
void applyCommonChanges(oruItem &item, QVariantMap &record, const oruItem &edited,
    std::vector<ServiceCall> &calls)
{
    const QString id = item.uniqueID();
    if (edited.name() != item.name() || edited.comment() != item.comment()) {
        calls.push_back({QStringLiteral("RenameAsset"),
            [id, name = edited.name(), comment = edited.comment()](oruNetwork &service) {
                return service.renameAsset(id, name, comment);
            }});
        item.setName(edited.name());
        item.setComment(edited.comment());
        record.insert(QStringLiteral("Name"), edited.name());
        record.insert(QStringLiteral("Description"), edited.comment());
    }
    if (edited.rating() != item.rating()) {
        calls.push_back({QStringLiteral("SetAssetRating"),
            [id, rating = int(edited.rating())](oruNetwork &service) {
                return service.setAssetRating(id, rating);
            }});
        item.setRating(edited.rating());
        record.insert(QStringLiteral("Rating"), oruItem::ratingName(edited.rating()));
    }
}

std::vector<ServiceCall> onlyForTheService(const oruItem &item, std::vector<ServiceCall> calls)
{
    if (item.isDraft())
        calls.clear();
    return calls;
}

} // namespace

std::vector<ServiceCall> applyAlbumChanges(oruItem &item, QVariantMap &record, const oruItem &edited)
{
    std::vector<ServiceCall> calls;
    const QString id = item.uniqueID();
    applyCommonChanges(item, record, edited, calls);
    if (edited.thumbnailOptions() != item.thumbnailOptions()) {
        calls.push_back({QStringLiteral("SetFolderThumbnailOptions"),
            [id, options = int(edited.thumbnailOptions())](oruNetwork &service) {
                return service.setFolderThumbnailOptions(id, options);
            }});
        item.setItemDownloaded(false);
        item.setThumbnailPic(std::nullopt);
        item.setThumbnailOptions(edited.thumbnailOptions());
        record.insert(
            QStringLiteral("CS_ThumbnailOptions"), QString::number(edited.thumbnailOptions()));
    }
    if (edited.permissions() != item.permissions()) {
        calls.push_back({QStringLiteral("SetFolderAssetPermissions"),
            [id, permissions = edited.permissions()](oruNetwork &service) {
                return service.setFolderAssetPermissions(id, qint64(permissions));
            }});
        item.setPermissions(edited.permissions());
        record.insert(QStringLiteral("FolderAssetSharingPermissions"),
            QString::number(edited.permissions()));
    }
    return onlyForTheService(item, std::move(calls));
}

std::vector<ServiceCall> applyPictureChanges(
    oruItem &item, QVariantMap &record, const oruItem &edited)
{
    std::vector<ServiceCall> calls;
    const QString id = item.uniqueID();
    applyCommonChanges(item, record, edited, calls);
    if (edited.permissions() != item.permissions()) {
        calls.push_back({QStringLiteral("SetPictureAssetPermissions"),
            [id, permissions = edited.permissions()](oruNetwork &service) {
                return service.setPictureAssetPermissions(id, qint64(permissions));
            }});
        item.setPermissions(edited.permissions());
        record.insert(QStringLiteral("PictureFileAssetSharingPermissions"),
            QString::number(edited.permissions()));
    }
    return onlyForTheService(item, std::move(calls));
}

quint32 rotatedLeft(quint32 orientation)
{
    switch (orientation) {
    case 1: return 8;
    case 8: return 3;
    case 3: return 6;
    case 6: return 1;
    default: return orientation;
    }
}

quint32 rotatedRight(quint32 orientation)
{
    switch (orientation) {
    case 1: return 6;
    case 6: return 3;
    case 3: return 8;
    case 8: return 1;
    default: return orientation;
    }
}

QString removalPhrase(int albums, int pictures)
{
    QString phrase;
    if (albums > 1)
        phrase = tr("these albums");
    else if (albums == 1)
        phrase = tr("this album");
    if (pictures > 0) {
        if (!phrase.isEmpty())
            phrase += tr(" and ");
        phrase += pictures > 1 ? tr("these pictures") : tr("this picture");
    }
    return phrase;
}

QString removalQuestion(int albums, int pictures)
{
    return tr("Are you sure you want to permanently delete %1?")
        .arg(removalPhrase(albums, pictures));
}

} // namespace pondrel::ItemEdits
