// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/AssetRecordWriter.h"

#include "refservice/Renditions.h"
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
    , m_computerId(session.computerId.toUtf8())
    , m_renditionUrl(Renditions::urlPrefix(config).toUtf8())
    , m_renditionUrlPrefix(m_renditionUrl.size())
{ }

qsizetype AssetRecordWriter::writeChildren(
    MarkupWriter &markup, qint64 accountId, const QString &parentId, bool includeAlbums)
{
    m_listedParent = std::make_pair(accountId, parentId.trimmed());
    m_childCounts
        = AssetStore::childCountsOfAlbumsIn(m_database, accountId, m_listedParent->second);
    ListingCursor cursor(m_database, accountId, parentId);
    qsizetype written = 0;
    while (cursor.nextAsset()) {
        if (!cursor.isFolder())
            writePicture(markup, cursor);
        else if (includeAlbums)
            writeFolder(markup, cursor.row());
        else
            continue;
        ++written;
    }
    return written;
}

qint64 AssetRecordWriter::childCount(const AssetRow &row) const
{
    const bool listed = m_listedParent && m_listedParent->first == row.accountId
        && m_listedParent->second == row.parentId;
    return listed ? m_childCounts.value(row.id)
                  : AssetStore::childCount(m_database, row.accountId, row.id);
}

void AssetRecordWriter::writeFolder(MarkupWriter &markup, const AssetRow &row) const
{
    pugi::xml_document folder;
    writeFolder(SoapReply::addElement(folder, "FolderAsset"), row);
    markup.tree(folder.first_child());
}

QString AssetRecordWriter::assetType(const AssetRow &row) const
{
    return QString::fromLatin1(assetType(row.accountId, row.originComputer.toUtf8()));
}

QByteArrayView AssetRecordWriter::assetType(qint64 accountId, QByteArrayView originComputer) const
{
    if (accountId != m_session.accountId)
        return "Imported";
    return originComputer == m_computerId ? "Local" : "Remote";
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

void AssetRecordWriter::writePicture(MarkupWriter &markup, ListingCursor &picture)
{
    using Column = AssetStore::RowColumn;
    const auto date = [&](QByteArrayView name, Column column) {
        const QByteArrayView stored = picture.text(column);
        markup.utf8Element(name, stored.isEmpty() ? ServiceDates::kNoneUtf8 : stored);
    };
    markup.open("PictureFileAsset");
    markup.utf8Element("UniqueIdentifier", picture.text(Column::Id));
    markup.utf8Element("Name", picture.text(Column::Name));
    markup.utf8Element("Description", picture.text(Column::Description));
    markup.utf8Element("AssetType",
        assetType(picture.integer(Column::AccountId), picture.text(Column::OriginComputer)));
    markup.utf8Element("Rating", picture.text(Column::Rating));
    markup.element("Rank", 0);
    markup.element("AverageUserRating", 0);
    date("CreationDateUtc", Column::Created);
    date("LastModificationDateUtc", Column::Modified);
    markup.utf8Element("Comments", {});
    markup.utf8Element("ReplacementDateUtc", ServiceDates::kNoneUtf8);
    markup.utf8Element("MediaType", picture.text(Column::MediaType));
    markup.element("FileSize", picture.integer(Column::FileSize));
    date("FileCreationDateUtc", Column::FileCreated);
    date("FileLastModificationDateUtc", Column::FileModified);
    date("DatePictureTakenUtc", Column::DateTaken);
    markup.element("SourceWidth", picture.integer(Column::Width));
    markup.element("SourceHeight", picture.integer(Column::Height));
    markup.utf8Element("RotateFlipType", picture.text(Column::RotateFlip));
    markup.utf8Element("Hash", picture.text(Column::Hash));
    markup.element("PrintsCounter", 0);
    markup.utf8Element(
        "RetrievalAttemptFailed", picture.integer(Column::RetrievalFailed) != 0 ? "true" : "false");
    markup.element("PictureFileAssetSharingPermissions", picture.integer(Column::Permissions));
    writeRenditions(markup, picture);
    markup.close("PictureFileAsset");
}

// <PictureFileAssetRendition> as Renditions::writeRecord builds it, for each rendition.
void AssetRecordWriter::writeRenditions(MarkupWriter &markup, ListingCursor &picture)
{
    using Column = ListingCursor::RenditionColumn;
    if (!picture.nextRendition()) {
        markup.utf8Element("PictureFileAssetRenditions", {});
        return;
    }
    markup.open("PictureFileAssetRenditions");
    do {
        markup.open("PictureFileAssetRendition");
        markup.utf8Element("Name", picture.text(Column::Name));
        m_renditionUrl.truncate(m_renditionUrlPrefix);
        m_renditionUrl.append(picture.text(Column::Id)).append(".jpg");
        markup.utf8Element("Url", m_renditionUrl);
        markup.element("Width", picture.integer(Column::Width));
        markup.element("Height", picture.integer(Column::Height));
        markup.element("FileSize", picture.integer(Column::FileSize));
        markup.close("PictureFileAssetRendition");
    } while (picture.nextRendition());
    markup.close("PictureFileAssetRenditions");
}

} // namespace pondrel::refservice
