// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace pondrel::refservice {

// One album ("folder") or picture of an account as stored.
struct AssetRow
{
    QString id;
    qint64 accountId = 0;
    QString parentId;
    QString kind; // "folder" or "picture"
    QString originComputer;
    QString name;
    QString description;
    QString rating;
    QString thumbnailOptions;
    qint64 permissions = 0;
    QString created;
    QString modified;
    QString mediaType;
    QString fileCreated;
    QString fileModified;
    qint64 fileSize = 0;
    QString hash;
    QString moniker;
    qint64 width = 0;
    qint64 height = 0;
    QString rotateFlip;
    QString dateTaken;
    bool retrievalFailed = false;

    bool isFolder() const { return kind == QLatin1String("folder"); }
};

// The asset tree of the accounts. Lookups are always scoped to one account, so an identifier
// of another account is indistinguishable from one that does not exist.
namespace AssetStore {

// The columns of a whole row, in the order of RowColumn.
extern const char *const kRowColumns;
enum class RowColumn : int {
    Id,
    AccountId,
    ParentId,
    Kind,
    OriginComputer,
    Name,
    Description,
    Rating,
    ThumbnailOptions,
    Permissions,
    Created,
    Modified,
    MediaType,
    FileCreated,
    FileModified,
    FileSize,
    Hash,
    Moniker,
    Width,
    Height,
    RotateFlip,
    DateTaken,
    RetrievalFailed,
    Count
};

// A row selected with kRowColumns first.
AssetRow readRow(const Statement &query);

std::optional<AssetRow> find(Database &database, qint64 accountId, const QString &id);

// An album another account published and this one imported, or an album inside it when the
// web address includes sub-albums: readable, never changeable.
struct ImportedView
{
    AssetRow album;
    bool includeSubFolders = false;
};
std::optional<ImportedView> findImported(Database &database, qint64 accountId, const QString &id);
// The albums the account imported, in import order.
QList<AssetRow> importedAlbums(Database &database, qint64 accountId);
// Faults with "Unknown ..." when the asset is not the account's or not of the wanted kind
// (empty kind: any).
AssetRow require(Database &database, qint64 accountId, const QString &id, const QString &kind = {});
// Faults unless parentId is the root (empty) or one of the account's albums.
void requireAlbumOrRoot(Database &database, qint64 accountId, const QString &parentId);
// Albums first, then pictures, each in creation order.
QList<AssetRow> children(Database &database, qint64 accountId, const QString &parentId);
qint64 childCount(Database &database, qint64 accountId, const QString &parentId);
// childCount of every album directly under parentId, by album; albums without children are
// left out. One query for a whole listing.
QHash<QString, qint64> childCountsOfAlbumsIn(
    Database &database, qint64 accountId, const QString &parentId);
void insert(Database &database, const AssetRow &row);
// The asset and, for an album, everything below it. Returns the names of the stored files
// (renditions, uploads) that belonged to them, for removal once committed.
QStringList destroy(Database &database, qint64 accountId, const QString &id);
void touch(Database &database, const QString &id);

QString newIdentifier();

} // namespace AssetStore

} // namespace pondrel::refservice
