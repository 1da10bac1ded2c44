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

// The same fields as text, in the same order.
void writeCommonFields(MarkupWriter &markup, const AssetRow &row, const QString &assetType)
{
    markup.element("UniqueIdentifier", row.id);
    markup.element("Name", row.name);
    markup.element("Description", row.description);
    markup.element("AssetType", assetType);
    markup.element("Rating", row.rating);
    markup.element("Rank", 0);
    markup.element("AverageUserRating", 0);
    markup.element("CreationDateUtc", ServiceDates::orNone(row.created));
    markup.element("LastModificationDateUtc", ServiceDates::orNone(row.modified));
    markup.element("Comments", QStringView());
}

// <PictureFileAssetRendition> as Renditions::writeRecord builds it.
void writeRendition(
    MarkupWriter &markup, const ServiceConfig &config, const RenditionRow &rendition)
{
    markup.open("PictureFileAssetRendition");
    markup.element("Name", rendition.name);
    markup.element("Url", Renditions::url(config, rendition));
    markup.element("Width", rendition.width);
    markup.element("Height", rendition.height);
    markup.element("FileSize", rendition.fileSize);
    markup.close("PictureFileAssetRendition");
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

void AssetRecordWriter::write(MarkupWriter &markup, const AssetRow &row) const
{
    if (!row.isFolder()) {
        writePicture(markup, row);
        return;
    }
    pugi::xml_document folder;
    writeFolder(SoapReply::addElement(folder, "FolderAsset"), row);
    markup.tree(folder.first_child());
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

void AssetRecordWriter::writePicture(MarkupWriter &markup, const AssetRow &row) const
{
    markup.open("PictureFileAsset");
    writeCommonFields(markup, row, assetType(row));
    markup.element("ReplacementDateUtc", ServiceDates::kNone);
    markup.element("MediaType", row.mediaType);
    markup.element("FileSize", row.fileSize);
    markup.element("FileCreationDateUtc", ServiceDates::orNone(row.fileCreated));
    markup.element("FileLastModificationDateUtc", ServiceDates::orNone(row.fileModified));
    markup.element("DatePictureTakenUtc", ServiceDates::orNone(row.dateTaken));
    markup.element("SourceWidth", row.width);
    markup.element("SourceHeight", row.height);
    markup.element("RotateFlipType", row.rotateFlip);
    markup.element("Hash", row.hash);
    markup.element("PrintsCounter", 0);
    markup.element("RetrievalAttemptFailed",
        row.retrievalFailed ? QStringLiteral("true") : QStringLiteral("false"));
    markup.element("PictureFileAssetSharingPermissions", row.permissions);
    const QList<RenditionRow> renditions = renditionsOf(row);
    if (renditions.isEmpty()) {
        markup.element("PictureFileAssetRenditions", QStringView());
    } else {
        markup.open("PictureFileAssetRenditions");
        for (const RenditionRow &rendition : renditions)
            writeRendition(markup, m_config, rendition);
        markup.close("PictureFileAssetRenditions");
    }
    markup.close("PictureFileAsset");
}

} // namespace pondrel::refservice
