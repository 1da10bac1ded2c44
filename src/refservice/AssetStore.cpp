#include "refservice/AssetStore.h"

#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"

#include <QUuid>

namespace {

const char *const kColumns
    = "id, account_id, parent_id, kind, origin_computer, name, description, rating, "
      "thumbnail_options, permissions, created, modified, media_type, file_created, "
      "file_modified, file_size, hash, moniker, width, height, rotate_flip, date_taken, "
      "retrieval_failed";

AssetRow readRow(const Statement &query)
{
    AssetRow row;
    row.id = query.text(0);
    row.accountId = query.integer(1);
    row.parentId = query.text(2);
    row.kind = query.text(3);
    row.originComputer = query.text(4);
    row.name = query.text(5);
    row.description = query.text(6);
    row.rating = query.text(7);
    row.thumbnailOptions = query.text(8);
    row.permissions = query.integer(9);
    row.created = query.text(10);
    row.modified = query.text(11);
    row.mediaType = query.text(12);
    row.fileCreated = query.text(13);
    row.fileModified = query.text(14);
    row.fileSize = query.integer(15);
    row.hash = query.text(16);
    row.moniker = query.text(17);
    row.width = query.integer(18);
    row.height = query.integer(19);
    row.rotateFlip = query.text(20);
    row.dateTaken = query.text(21);
    row.retrievalFailed = query.integer(22) != 0;
    return row;
}

} // namespace

namespace AssetStore {

std::optional<AssetRow> find(Database &database, qint64 accountId, const QString &id)
{
    const QByteArray sql
        = QByteArray("SELECT ") + kColumns + " FROM assets WHERE id = ?1 AND account_id = ?2";
    Statement query = database.prepare(sql.constData());
    query.bind(1, id.trimmed()).bind(2, accountId);
    if (!query.step())
        return std::nullopt;
    return readRow(query);
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
    const QByteArray sql = QByteArray("SELECT ") + kColumns
        + " FROM assets WHERE account_id = ?1 AND parent_id = ?2 "
          "ORDER BY kind = 'picture', seq";
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

void insert(Database &database, const AssetRow &row)
{
    const QByteArray sql = QByteArray("INSERT INTO assets (") + kColumns
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

void destroy(Database &database, qint64 accountId, const QString &id)
{
    database
        .prepare("WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION ALL "
                 "SELECT a.id FROM assets a JOIN doomed d ON a.parent_id = d.id "
                 "WHERE a.account_id = ?2) "
                 "DELETE FROM assets WHERE account_id = ?2 AND id IN (SELECT id FROM doomed)")
        .bind(1, id.trimmed())
        .bind(2, accountId)
        .run();
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
