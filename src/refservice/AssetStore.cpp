// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/AssetStore.h"

#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"

#include <QUuid>

namespace pondrel::refservice {

namespace AssetStore {

const char *const kRowColumns
    = "id, account_id, parent_id, kind, origin_computer, name, description, rating, "
      "thumbnail_options, permissions, created, modified, media_type, file_created, "
      "file_modified, file_size, hash, moniker, width, height, rotate_flip, date_taken, "
      "retrieval_failed";

AssetRow readRow(const Statement &query)
{
    const auto c = [](RowColumn column) { return int(column); };
    AssetRow row;
    row.id = query.text(c(RowColumn::Id));
    row.accountId = query.integer(c(RowColumn::AccountId));
    row.parentId = query.text(c(RowColumn::ParentId));
    row.kind = query.text(c(RowColumn::Kind));
    row.originComputer = query.text(c(RowColumn::OriginComputer));
    row.name = query.text(c(RowColumn::Name));
    row.description = query.text(c(RowColumn::Description));
    row.rating = query.text(c(RowColumn::Rating));
    row.thumbnailOptions = query.text(c(RowColumn::ThumbnailOptions));
    row.permissions = query.integer(c(RowColumn::Permissions));
    row.created = query.text(c(RowColumn::Created));
    row.modified = query.text(c(RowColumn::Modified));
    row.mediaType = query.text(c(RowColumn::MediaType));
    row.fileCreated = query.text(c(RowColumn::FileCreated));
    row.fileModified = query.text(c(RowColumn::FileModified));
    row.fileSize = query.integer(c(RowColumn::FileSize));
    row.hash = query.text(c(RowColumn::Hash));
    row.moniker = query.text(c(RowColumn::Moniker));
    row.width = query.integer(c(RowColumn::Width));
    row.height = query.integer(c(RowColumn::Height));
    row.rotateFlip = query.text(c(RowColumn::RotateFlip));
    row.dateTaken = query.text(c(RowColumn::DateTaken));
    row.retrievalFailed = query.integer(c(RowColumn::RetrievalFailed)) != 0;
    return row;
}

std::optional<AssetRow> find(Database &database, qint64 accountId, const QString &id)
{
    const QByteArray sql
        = QByteArray("SELECT ") + kRowColumns + " FROM assets WHERE id = ?1 AND account_id = ?2";
    Statement query = database.prepare(sql.constData());
    query.bind(1, id.trimmed()).bind(2, accountId);
    if (!query.step())
        return std::nullopt;
    return readRow(query);
}

std::optional<AssetRow> findAny(Database &database, const QString &id)
{
    const QByteArray sql = QByteArray("SELECT ") + kRowColumns + " FROM assets WHERE id = ?1";
    Statement query = database.prepare(sql.constData());
    query.bind(1, id.trimmed());
    if (!query.step())
        return std::nullopt;
    return readRow(query);
}

std::optional<ImportedView> findImported(Database &database, qint64 accountId, const QString &id)
{
    const std::optional<AssetRow> target = findAny(database, id);
    if (!target || !target->isFolder() || target->accountId == accountId)
        return std::nullopt;
    std::optional<AssetRow> current = target;
    for (int depth = 0; current; ++depth) {
        Statement import = database.prepare("SELECT max(l.include_sub_folders) FROM imports i "
                                            "JOIN symbolic_links l ON l.id = i.link_id "
                                            "WHERE i.account_id = ?1 AND i.asset_id = ?2");
        import.bind(1, accountId).bind(2, current->id);
        if (import.step() && !import.isNull(0)) {
            const bool includeSubFolders = import.integer(0) != 0;
            if (depth == 0 || includeSubFolders)
                return ImportedView {*target, includeSubFolders};
        }
        if (current->parentId.isEmpty())
            break;
        current = findAny(database, current->parentId);
    }
    return std::nullopt;
}

QList<AssetRow> importedAlbums(Database &database, qint64 accountId)
{
    Statement query = database.prepare(
        "SELECT DISTINCT asset_id FROM imports WHERE account_id = ?1 ORDER BY created, asset_id");
    query.bind(1, accountId);
    QList<AssetRow> rows;
    while (query.step()) {
        if (const auto row = findAny(database, query.text(0)))
            rows.append(*row);
    }
    return rows;
}

AssetRow require(Database &database, qint64 accountId, const QString &id, const QString &kind)
{
    const std::optional<AssetRow> row = find(database, accountId, id);
    if (!row || (!kind.isEmpty() && row->kind != kind)) {
        if (kind == QLatin1String("folder"))
            throw ServiceFault(QStringLiteral("Unknown album %1.").arg(id));
        if (kind == QLatin1String("picture"))
            throw ServiceFault(QStringLiteral("Unknown picture %1.").arg(id));
        throw ServiceFault(QStringLiteral("Unknown asset %1.").arg(id));
    }
    return *row;
}

void requireAlbumOrRoot(Database &database, qint64 accountId, const QString &parentId)
{
    if (!parentId.trimmed().isEmpty())
        require(database, accountId, parentId, QStringLiteral("folder"));
}

QList<AssetRow> children(Database &database, qint64 accountId, const QString &parentId)
{
    const QByteArray sql = QByteArray("SELECT ") + kRowColumns
        + " FROM assets WHERE account_id = ?1 AND parent_id = ?2 "
          "ORDER BY kind, seq"; // 'folder' sorts before 'picture', the only other kind
    Statement query = database.prepare(sql.constData());
    query.bind(1, accountId).bind(2, parentId.trimmed());
    QList<AssetRow> rows;
    while (query.step())
        rows.append(readRow(query));
    return rows;
}

qint64 childCount(Database &database, qint64 accountId, const QString &parentId)
{
    Statement query
        = database.prepare("SELECT count(*) FROM assets WHERE account_id = ?1 AND parent_id = ?2");
    query.bind(1, accountId).bind(2, parentId);
    query.step();
    return query.integer(0);
}

QHash<QString, qint64> childCountsOfAlbumsIn(
    Database &database, qint64 accountId, const QString &parentId)
{
    Statement query = database.prepare(
        "SELECT c.parent_id, count(*) FROM assets c JOIN assets a ON a.id = c.parent_id "
        "WHERE a.account_id = ?1 AND a.parent_id = ?2 AND a.kind = 'folder' "
        "AND c.account_id = ?1 GROUP BY c.parent_id");
    query.bind(1, accountId).bind(2, parentId.trimmed());
    QHash<QString, qint64> counts;
    while (query.step())
        counts.insert(query.text(0), query.integer(1));
    return counts;
}

void insert(Database &database, const AssetRow &row)
{
    const QByteArray sql = QByteArray("INSERT INTO assets (") + kRowColumns
        + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, "
          "?17, ?18, ?19, ?20, ?21, ?22, ?23)";
    database.prepare(sql.constData())
        .bind(1, row.id)
        .bind(2, row.accountId)
        .bind(3, row.parentId)
        .bind(4, row.kind)
        .bind(5, row.originComputer)
        .bind(6, row.name)
        .bind(7, row.description)
        .bind(8, row.rating)
        .bind(9, row.thumbnailOptions)
        .bind(10, row.permissions)
        .bind(11, row.created)
        .bind(12, row.modified)
        .bind(13, row.mediaType)
        .bind(14, row.fileCreated)
        .bind(15, row.fileModified)
        .bind(16, row.fileSize)
        .bind(17, row.hash)
        .bind(18, row.moniker)
        .bind(19, row.width)
        .bind(20, row.height)
        .bind(21, row.rotateFlip)
        .bind(22, row.dateTaken)
        .bind(23, qint64(row.retrievalFailed))
        .run();
}

QStringList destroy(Database &database, qint64 accountId, const QString &id)
{
    const char *const doomed = "WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION ALL "
                               "SELECT a.id FROM assets a JOIN doomed d ON a.parent_id = d.id "
                               "WHERE a.account_id = ?2) ";
    Statement files = database.prepare((QByteArray(doomed)
        + "SELECT file_name FROM renditions WHERE asset_id IN (SELECT id FROM doomed) "
          "UNION ALL SELECT upload_file FROM commands WHERE upload_file <> '' "
          "AND asset_id IN (SELECT id FROM doomed)")
                                           .constData());
    files.bind(1, id.trimmed()).bind(2, accountId);
    QStringList fileNames;
    while (files.step())
        fileNames.append(files.text(0));
    database
        .prepare((QByteArray(doomed)
            + "DELETE FROM assets WHERE account_id = ?2 AND id IN (SELECT id FROM doomed)")
                     .constData())
        .bind(1, id.trimmed())
        .bind(2, accountId)
        .run();
    return fileNames;
}

void touch(Database &database, const QString &id)
{
    database.prepare("UPDATE assets SET modified = ?1 WHERE id = ?2")
        .bind(1, ServiceDates::now())
        .bind(2, id)
        .run();
}

QString newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace AssetStore

} // namespace pondrel::refservice
