// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/Renditions.h"

#include "refservice/ServiceDates.h"
#include "refservice/SoapReply.h"

#include <QDir>
#include <QUuid>

namespace pondrel::refservice {

namespace {

const char *const kColumns = "id, asset_id, name, width, height, file_size, file_name, etag";

RenditionRow readRow(const Statement &query)
{
    return RenditionRow {query.text(0), query.text(1), query.text(2), query.integer(3),
        query.integer(4), query.integer(5), query.text(6), query.text(7)};
}

} // namespace

namespace Renditions {

QString urlPrefix(const ServiceConfig &config)
{
    return config.publicUrl + kPathPrefix;
}

QString url(const ServiceConfig &config, const RenditionRow &rendition)
{
    return urlPrefix(config) + rendition.id + QStringLiteral(".jpg");
}

QString filePath(const ServiceConfig &config, const QString &fileName)
{
    return QDir(config.renditionsDirectory()).filePath(fileName);
}

QList<RenditionRow> forAsset(Database &database, const QString &assetId)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns
        + " FROM renditions WHERE asset_id = ?1 ORDER BY created, name";
    Statement query = database.prepare(sql.constData());
    query.bind(1, assetId);
    QList<RenditionRow> rows;
    while (query.step())
        rows.append(readRow(query));
    return rows;
}

std::optional<RenditionRow> find(Database &database, const QString &renditionId)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM renditions WHERE id = ?1";
    Statement query = database.prepare(sql.constData());
    query.bind(1, renditionId);
    if (!query.step())
        return std::nullopt;
    return readRow(query);
}

std::optional<RenditionRow> albumThumbnail(Database &database, const AssetRow &album)
{
    const bool first = album.thumbnailOptions.startsWith(QLatin1String("ThumbnailFirst"));
    const bool last = album.thumbnailOptions.startsWith(QLatin1String("ThumbnailLast"));
    if (!first && !last)
        return std::nullopt;
    const QByteArray sql = QByteArray("SELECT r.id, r.asset_id, r.name, r.width, r.height, "
                                      "r.file_size, r.file_name, r.etag FROM renditions r "
                                      "JOIN assets a ON a.id = r.asset_id "
                                      "WHERE a.parent_id = ?1 AND a.account_id = ?2 "
                                      "AND r.name = 'Thumbnail' ORDER BY a.seq ")
        + (first ? "ASC" : "DESC") + " LIMIT 1";
    Statement query = database.prepare(sql.constData());
    query.bind(1, album.id).bind(2, album.accountId);
    if (!query.step())
        return std::nullopt;
    return readRow(query);
}

void queue(Database &database, const QString &assetId, const QString &name, qint64 width,
    qint64 height, int cropMode)
{
    database
        .prepare("INSERT INTO commands (id, asset_id, rendition_name, width, height, crop_mode, "
                 "return_names, state, created) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, 'fileSize,width,height', 'pending', ?7)")
        .bind(1, QUuid::createUuid().toString(QUuid::WithoutBraces))
        .bind(2, assetId)
        .bind(3, name)
        .bind(4, width)
        .bind(5, height)
        .bind(6, qint64(cropMode))
        .bind(7, ServiceDates::now())
        .run();
}

std::optional<QString> makeReady(Database &database, const RenditionRow &rendition)
{
    std::optional<QString> replaced;
    Statement old
        = database.prepare("SELECT file_name FROM renditions WHERE asset_id = ?1 AND name = ?2");
    old.bind(1, rendition.assetId).bind(2, rendition.name);
    if (old.step())
        replaced = old.text(0);
    database.prepare("DELETE FROM renditions WHERE asset_id = ?1 AND name = ?2")
        .bind(1, rendition.assetId)
        .bind(2, rendition.name)
        .run();
    database
        .prepare("INSERT INTO renditions (id, asset_id, name, width, height, file_size, "
                 "file_name, etag, created) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")
        .bind(1, rendition.id)
        .bind(2, rendition.assetId)
        .bind(3, rendition.name)
        .bind(4, rendition.width)
        .bind(5, rendition.height)
        .bind(6, rendition.fileSize)
        .bind(7, rendition.fileName)
        .bind(8, rendition.etag)
        .bind(9, ServiceDates::now())
        .run();
    return replaced;
}

void writeRecord(pugi::xml_node parent, const QString &elementName, const ServiceConfig &config,
    const RenditionRow &rendition)
{
    pugi::xml_node record = SoapReply::addElement(parent, elementName);
    SoapReply::addText(record, "Name", rendition.name);
    SoapReply::addText(record, "Url", url(config, rendition));
    SoapReply::addText(record, "Width", QString::number(rendition.width));
    SoapReply::addText(record, "Height", QString::number(rendition.height));
    SoapReply::addText(record, "FileSize", QString::number(rendition.fileSize));
}

} // namespace Renditions

} // namespace pondrel::refservice
