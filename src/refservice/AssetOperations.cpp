// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/AssetRecordWriter.h"
#include "refservice/AssetStore.h"
#include "refservice/OperationContext.h"
#include "refservice/Renditions.h"
#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"

#include <QStringList>

namespace pondrel::refservice {

namespace {

const QStringList kRatings
    = {QStringLiteral("Unrated"), QStringLiteral("Poor"), QStringLiteral("Fair"),
        QStringLiteral("Good"), QStringLiteral("Excellent"), QStringLiteral("Outstanding")};

const QStringList kThumbnailOptions = {QStringLiteral("ThumbnailNone"),
    QStringLiteral("ThumbnailFirstImage"), QStringLiteral("ThumbnailFirstImages"),
    QStringLiteral("ThumbnailLastImage"), QStringLiteral("ThumbnailLastImages")};

const QStringList kRotateFlipTypes = {QStringLiteral("RotateNoneFlipNone"),
    QStringLiteral("Rotate90FlipNone"), QStringLiteral("Rotate180FlipNone"),
    QStringLiteral("Rotate270FlipNone"), QStringLiteral("RotateNoneFlipX"),
    QStringLiteral("Rotate90FlipX"), QStringLiteral("Rotate180FlipX"),
    QStringLiteral("Rotate270FlipX"), QStringLiteral("RotateNoneFlipY"),
    QStringLiteral("Rotate90FlipY"), QStringLiteral("Rotate180FlipY"),
    QStringLiteral("Rotate270FlipY"), QStringLiteral("RotateNoneFlipXY"),
    QStringLiteral("Rotate90FlipXY"), QStringLiteral("Rotate180FlipXY"),
    QStringLiteral("Rotate270FlipXY"), QStringLiteral("Nada")};

// An empty text means the first name of the list (the service's default).
QString oneOf(const QStringList &names, const QString &given, const QString &what)
{
    const QString trimmed = given.trimmed();
    if (trimmed.isEmpty())
        return names.first();
    for (const QString &name : names) {
        if (name.compare(trimmed, Qt::CaseInsensitive) == 0)
            return name;
    }
    throw ServiceFault(QStringLiteral("%1 is not a known %2.").arg(trimmed, what));
}

qint64 permissionsParameter(const SoapRequest &request, const QString &name)
{
    bool ok = false;
    const qint64 value = request.text(name).trimmed().toLongLong(&ok);
    if (!ok || value < 0 || value > 0xFFFFFFFFLL)
        throw ServiceFault(
            QStringLiteral("The parameter %1 must be an unsigned 32-bit number.").arg(name));
    return value;
}

QString requireName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        throw ServiceFault(QStringLiteral("The name must not be empty."));
    return trimmed;
}

void getAssets(OperationContext &context)
{
    const Session session = context.requireSession();
    Database &database = context.database();
    const QString parent = context.request().text(QStringLiteral("parentIdentifier")).trimmed();
    AssetRecordWriter writer(database, context.config(), session);
    writer.setIncludedLinks(context.request().boolean(QStringLiteral("includeExportLinks"), true),
        context.request().boolean(QStringLiteral("includeSymbolicLinks"), true));
    const std::optional<AssetStore::ImportedView> imported
        = AssetStore::findImported(database, session.accountId, parent);
    if (!imported)
        AssetStore::requireAlbumOrRoot(database, session.accountId, parent);
    const qint64 owner = imported ? imported->album.accountId : session.accountId;
    const QString listed = imported ? imported->album.id : parent;
    const QList<AssetRow> importedAlbums = !imported && parent.isEmpty()
        ? AssetStore::importedAlbums(database, session.accountId)
        : QList<AssetRow>();
    // Some 1,700 bytes a picture: a listing is written into one buffer that rarely grows.
    constexpr qsizetype kBytesPerRecord = 1800;
    QByteArray &markup = context.reply().resultMarkup();
    const qsizetype start = markup.size();
    markup.reserve(start
        + (AssetStore::childCount(database, owner, listed) + importedAlbums.size())
            * kBytesPerRecord
        + 64);
    MarkupWriter assets(markup);
    assets.open("Assets");
    const qsizetype written
        = writer.writeChildren(assets, owner, listed, !imported || imported->includeSubFolders);
    for (const AssetRow &album : importedAlbums)
        writer.writeFolder(assets, album);
    if (written + importedAlbums.size() == 0) {
        markup.truncate(start);
        assets.element("Assets", QStringView());
        return;
    }
    assets.close("Assets");
}

// A new asset of this kind under the album (or the top level) that the request's
// parentIdentifier names; throws ServiceFault when that is not the account's.
AssetRow newAsset(OperationContext &context, const Session &session, const QString &kind)
{
    const QString parent = context.request().text(QStringLiteral("parentIdentifier")).trimmed();
    AssetStore::requireAlbumOrRoot(context.database(), session.accountId, parent);
    AssetRow row;
    row.id = AssetStore::newIdentifier();
    row.accountId = session.accountId;
    row.parentId = parent;
    row.kind = kind;
    row.originComputer = session.computerId;
    row.created = ServiceDates::now();
    row.modified = row.created;
    return row;
}

void createFolderAsset(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    AssetRow row = newAsset(context, session, QStringLiteral("folder"));
    row.name = requireName(request.text(QStringLiteral("folderName")));
    row.description = request.textOr(QStringLiteral("folderDescription"), {});
    row.rating
        = oneOf(kRatings, request.textOr(QStringLiteral("rating"), {}), QStringLiteral("rating"));
    row.thumbnailOptions
        = oneOf(kThumbnailOptions, request.textOr(QStringLiteral("automaticThumbnailOptions"), {}),
            QStringLiteral("thumbnail option"));
    row.permissions = request.has(QStringLiteral("sharingPermissions"))
        ? permissionsParameter(request, QStringLiteral("sharingPermissions"))
        : 0;
    AssetStore::insert(context.database(), row);
    context.reply().setResultText(row.id);
}

qint64 nonNegative(const SoapRequest &request, const QString &name)
{
    const qint64 value = request.integer(name);
    if (value < 0)
        throw ServiceFault(QStringLiteral("The parameter %1 must not be negative.").arg(name));
    return value;
}

void createPictureFileAsset(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    AssetRow row = newAsset(context, session, QStringLiteral("picture"));
    row.name = requireName(request.text(QStringLiteral("pictureName")));
    row.description = request.textOr(QStringLiteral("pictureDescription"), {});
    row.mediaType = request.text(QStringLiteral("mediaType")).trimmed();
    row.rating = oneOf(kRatings, request.text(QStringLiteral("rating")), QStringLiteral("rating"));
    row.fileCreated = ServiceDates::normalize(
        request.text(QStringLiteral("creationDateUtc")), QStringLiteral("creationDateUtc"));
    row.fileModified
        = ServiceDates::normalize(request.text(QStringLiteral("lastModificationDateUtc")),
            QStringLiteral("lastModificationDateUtc"));
    row.fileSize = nonNegative(request, QStringLiteral("fileSize"));
    row.hash = request.text(QStringLiteral("hash")).trimmed();
    row.moniker = request.text(QStringLiteral("moniker")).trimmed();
    if (row.moniker.isEmpty())
        throw ServiceFault(QStringLiteral("The moniker must not be empty."));
    row.permissions = permissionsParameter(request, QStringLiteral("sharingPermissions"));
    row.width = nonNegative(request, QStringLiteral("width"));
    row.height = nonNegative(request, QStringLiteral("height"));
    row.rotateFlip = oneOf(kRotateFlipTypes, request.text(QStringLiteral("rotateFlipType")),
        QStringLiteral("rotate-and-flip type"));
    row.dateTaken
        = ServiceDates::normalize(request.textOr(QStringLiteral("datePictureTakenUtc"), {}),
            QStringLiteral("datePictureTakenUtc"));
    AssetStore::insert(context.database(), row);
    Renditions::queue(
        context.database(), row.id, QStringLiteral("Thumbnail"), 200, 200, Renditions::kCropFit);
    Renditions::queue(
        context.database(), row.id, QStringLiteral("Preview"), 1024, 1024, Renditions::kCropFit);
    context.reply().setResultText(row.id);
}

void renameAsset(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    const AssetRow row = AssetStore::require(context.database(), session.accountId,
        request.text(QStringLiteral("namedAssetIdentifier")));
    context.database()
        .prepare("UPDATE assets SET name = ?1, description = ?2 WHERE id = ?3")
        .bind(1, requireName(request.text(QStringLiteral("name"))))
        .bind(2, request.textOr(QStringLiteral("description"), {}))
        .bind(3, row.id)
        .run();
    AssetStore::touch(context.database(), row.id);
    context.reply().setResultText(QStringLiteral("true"));
}

void setAssetRating(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    const AssetRow row = AssetStore::require(
        context.database(), session.accountId, request.text(QStringLiteral("assetIdentifier")));
    context.database()
        .prepare("UPDATE assets SET rating = ?1 WHERE id = ?2")
        .bind(1, oneOf(kRatings, request.text(QStringLiteral("rating")), QStringLiteral("rating")))
        .bind(2, row.id)
        .run();
    AssetStore::touch(context.database(), row.id);
    context.reply().setResultText(QStringLiteral("true"));
}

Operation setPermissions(const QString &identifierParameter, const QString &kind)
{
    return [identifierParameter, kind](OperationContext &context) {
        const Session session = context.requireSession();
        const SoapRequest &request = context.request();
        const AssetRow row = AssetStore::require(
            context.database(), session.accountId, request.text(identifierParameter), kind);
        context.database()
            .prepare("UPDATE assets SET permissions = ?1 WHERE id = ?2")
            .bind(1, permissionsParameter(request, QStringLiteral("sharingPermissions")))
            .bind(2, row.id)
            .run();
        AssetStore::touch(context.database(), row.id);
        context.reply().setResultText(QStringLiteral("true"));
    };
}

void setThumbnailOptions(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    const AssetRow row = AssetStore::require(context.database(), session.accountId,
        request.text(QStringLiteral("folderIdentifier")), QStringLiteral("folder"));
    const QString options = request.text(QStringLiteral("automaticThumbnailOptions"));
    if (options.trimmed().isEmpty())
        throw ServiceFault(QStringLiteral("The thumbnail option must not be empty."));
    context.database()
        .prepare("UPDATE assets SET thumbnail_options = ?1 WHERE id = ?2")
        .bind(1, oneOf(kThumbnailOptions, options, QStringLiteral("thumbnail option")))
        .bind(2, row.id)
        .run();
    AssetStore::touch(context.database(), row.id);
    context.reply().setResultText(QStringLiteral("true"));
}

Operation destroyAsset(const QString &identifierParameter, const QString &kind)
{
    return [identifierParameter, kind](OperationContext &context) {
        const Session session = context.requireSession();
        const AssetRow row = AssetStore::require(context.database(), session.accountId,
            context.request().text(identifierParameter), kind);
        const QStringList files
            = AssetStore::destroy(context.database(), session.accountId, row.id);
        for (const QString &file : files)
            context.removeAfterCommit(Renditions::filePath(context.config(), file));
        context.reply().setResultText(QStringLiteral("true"));
    };
}

} // namespace

void registerAssetOperations(OperationTable &table)
{
    table.insert(QStringLiteral("GetAssets"), getAssets);
    table.insert(QStringLiteral("CreateFolderAsset"), createFolderAsset);
    table.insert(QStringLiteral("CreatePictureFileAsset"), createPictureFileAsset);
    table.insert(QStringLiteral("RenameAsset"), renameAsset);
    table.insert(QStringLiteral("SetAssetRating"), setAssetRating);
    table.insert(QStringLiteral("SetPictureFileAssetSharingPermissions"),
        setPermissions(QStringLiteral("pictureFileAssetIdentifier"), QStringLiteral("picture")));
    table.insert(QStringLiteral("SetFolderAssetSharingPermissions"),
        setPermissions(QStringLiteral("folderAssetIdentifier"), QStringLiteral("folder")));
    table.insert(QStringLiteral("SetFolderAssetAutomaticThumbnailOptions"), setThumbnailOptions);
    table.insert(QStringLiteral("DestroyFolderAsset"),
        destroyAsset(QStringLiteral("folderIdentifier"), QStringLiteral("folder")));
    table.insert(QStringLiteral("DestroyPictureFileAsset"),
        destroyAsset(QStringLiteral("assetIdentifier"), QStringLiteral("picture")));
}

} // namespace pondrel::refservice
