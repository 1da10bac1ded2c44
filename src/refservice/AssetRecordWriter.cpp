// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/AssetRecordWriter.h"

#include "refservice/ServiceDates.h"
#include "refservice/SharingRecords.h"

namespace pondrel::refservice {

namespace {

void add(pugi::xml_node record, const char *name, const QString &text)
{
    SoapReply::addText(record, name, text);
}

void writeCommonFields(pugi::xml_node record, const AssetRow &row, const QString &assetType)
{
    add(record, "UniqueIdentifier", row.id);
    add(record, "Name", row.name);
    add(record, "Description", row.description);
    add(record, "AssetType", assetType);
    add(record, "Rating", row.rating);
    add(record, "Rank", QStringLiteral("0"));
    add(record, "AverageUserRating", QStringLiteral("0"));
    add(record, "CreationDateUtc", ServiceDates::orNone(row.created));
    add(record, "LastModificationDateUtc", ServiceDates::orNone(row.modified));
    add(record, "Comments", {});
}

} // namespace

AssetRecordWriter::AssetRecordWriter(
    Database &database, const ServiceConfig &config, const Session &session)
    : m_database(database)
    , m_config(config)
    , m_session(session)
{ }

void AssetRecordWriter::prefetchChildrenOf(qint64 accountId, const QString &parentId)
{
    m_prefetchedParent = std::make_pair(accountId, parentId.trimmed());
    m_renditions = Renditions::forChildren(m_database, accountId, m_prefetchedParent->second);
    m_childCounts
        = AssetStore::childCountsOfAlbumsIn(m_database, accountId, m_prefetchedParent->second);
}

bool AssetRecordWriter::isPrefetched(const AssetRow &row) const
{
    return m_prefetchedParent && m_prefetchedParent->first == row.accountId
        && m_prefetchedParent->second == row.parentId;
}

qint64 AssetRecordWriter::childCount(const AssetRow &row) const
{
    return isPrefetched(row) ? m_childCounts.value(row.id)
                             : AssetStore::childCount(m_database, row.accountId, row.id);
}

QList<RenditionRow> AssetRecordWriter::renditionsOf(const AssetRow &row) const
{
    return isPrefetched(row) ? m_renditions.value(row.id)
                             : Renditions::forAsset(m_database, row.id);
}

void AssetRecordWriter::write(pugi::xml_node parent, const AssetRow &row) const
{
    if (row.isFolder())
        writeFolder(SoapReply::addElement(parent, "FolderAsset"), row);
    else
        writePicture(SoapReply::addElement(parent, "PictureFileAsset"), row);
}

QString AssetRecordWriter::assetType(const AssetRow &row) const
{
    if (row.accountId != m_session.accountId)
        return QStringLiteral("Imported");
    return row.originComputer == m_session.computerId ? QStringLiteral("Local")
                                                      : QStringLiteral("Remote");
}

void AssetRecordWriter::writeFolder(pugi::xml_node record, const AssetRow &row) const
{
    writeCommonFields(record, row, assetType(row));
    add(record, "Children", QString::number(childCount(row)));
    add(record, "AutomaticThumbnailOptions", row.thumbnailOptions);
    add(record, "FolderAssetSharingPermissions", QString::number(row.permissions));
    pugi::xml_node renditions
        = SoapReply::addElement(record, QStringLiteral("FolderAssetRenditions"));
    if (const auto thumbnail = Renditions::albumThumbnail(m_database, row))
        Renditions::writeRecord(
            renditions, QStringLiteral("FolderAssetRendition"), m_config, *thumbnail);
    // Sharing details are the owner's business; an importer sees the album only.
    if (row.accountId != m_session.accountId)
        return;
    if (m_includeExportLinks) {
        pugi::xml_node exportLinks
            = SoapReply::addElement(record, QStringLiteral("FolderAssetExportLinks"));
        if (SharingRecords::writeExportLinks(
                m_database, m_config, row.id, exportLinks, QStringLiteral("FolderAssetExportLink"))
            == 0)
            record.remove_child(exportLinks);
    }
    if (m_includeSymbolicLinks) {
        pugi::xml_node symbolicLinks
            = SoapReply::addElement(record, QStringLiteral("FolderAssetSymbolicLinks"));
        if (SharingRecords::writeSymbolicLinks(m_database, m_config, row.id, symbolicLinks,
                QStringLiteral("FolderAssetSymbolicLink"))
            == 0)
            record.remove_child(symbolicLinks);
    }
}

void AssetRecordWriter::writePicture(pugi::xml_node record, const AssetRow &row) const
{
    writeCommonFields(record, row, assetType(row));
    add(record, "ReplacementDateUtc", ServiceDates::kNone);
    add(record, "MediaType", row.mediaType);
    add(record, "FileSize", QString::number(row.fileSize));
    add(record, "FileCreationDateUtc", ServiceDates::orNone(row.fileCreated));
    add(record, "FileLastModificationDateUtc", ServiceDates::orNone(row.fileModified));
    add(record, "DatePictureTakenUtc", ServiceDates::orNone(row.dateTaken));
    add(record, "SourceWidth", QString::number(row.width));
    add(record, "SourceHeight", QString::number(row.height));
    add(record, "RotateFlipType", row.rotateFlip);
    add(record, "Hash", row.hash);
    add(record, "PrintsCounter", QStringLiteral("0"));
    add(record, "RetrievalAttemptFailed",
        row.retrievalFailed ? QStringLiteral("true") : QStringLiteral("false"));
    add(record, "PictureFileAssetSharingPermissions", QString::number(row.permissions));
    pugi::xml_node renditions = SoapReply::addElement(record, "PictureFileAssetRenditions");
    for (const RenditionRow &rendition : renditionsOf(row))
        Renditions::writeRecord(
            renditions, QStringLiteral("PictureFileAssetRendition"), m_config, rendition);
}

} // namespace pondrel::refservice
