// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/SharingRecords.h"

#include "refservice/ServiceDates.h"
#include "refservice/SoapReply.h"

#include <QUrl>
#include <QUrlQuery>

namespace pondrel::refservice {

namespace {

QString flag(qint64 value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

void writeLinkRecord(const Statement &query, const ServiceConfig &config, pugi::xml_node record)
{
    // id, name, description, include_sub_folders, created, last_access, hits
    SoapReply::addText(record, QStringLiteral("UniqueIdentifier"), query.text(0));
    SoapReply::addText(
        record, QStringLiteral("Url"), SharingRecords::galleryUrl(config, query.text(0)));
    SoapReply::addText(record, QStringLiteral("Name"), query.text(1));
    SoapReply::addText(record, QStringLiteral("Description"), query.text(2));
    SoapReply::addText(record, QStringLiteral("IncludeSubFolders"), flag(query.integer(3)));
    SoapReply::addText(
        record, QStringLiteral("CreationDateUtc"), ServiceDates::orNone(query.text(4)));
    SoapReply::addText(
        record, QStringLiteral("LastAccessDateUtc"), ServiceDates::orNone(query.text(5)));
    SoapReply::addText(record, QStringLiteral("HitCounter"), QString::number(query.integer(6)));
}

const char *const kLinkColumns
    = "id, name, description, include_sub_folders, created, last_access, hits";

} // namespace

namespace SharingRecords {

QString galleryUrl(const ServiceConfig &config, const QString &linkId)
{
    return config.publicUrl + QStringLiteral("/Pondrel/Gallery.aspx?a=") + linkId;
}

QString feedUrl(const ServiceConfig &config, const QString &linkId)
{
    return config.publicUrl + QStringLiteral("/Pondrel/Gallery.aspx?r=") + linkId;
}

QString directAccessUrl(const ServiceConfig &config, const QString &exportLinkId)
{
    return config.publicUrl + QStringLiteral("/Pondrel/Gallery.aspx?e=") + exportLinkId;
}

QString symbolicLinkIdentifier(const QString &addressOrIdentifier)
{
    const QString text = addressOrIdentifier.trimmed();
    if (!text.contains(u'?'))
        return text;
    const QUrlQuery query(QUrl(text).query());
    for (const char *key : {"a", "r"}) {
        const QString value = query.queryItemValue(QString::fromLatin1(key));
        if (!value.isEmpty())
            return value;
    }
    return {};
}

int writeExportLinks(Database &database, const ServiceConfig &config, const QString &albumId,
    pugi::xml_node parent, const QString &elementName)
{
    Statement query = database.prepare(
        "SELECT id, email, culture, allow_forwarding, short_note, include_sub_folders, created, "
        "last_access, hits, direct_access, first_name FROM export_links WHERE asset_id = ?1 "
        "ORDER BY created, email");
    query.bind(1, albumId);
    int count = 0;
    while (query.step()) {
        pugi::xml_node record = SoapReply::addElement(parent, elementName);
        SoapReply::addText(record, QStringLiteral("EmailAddress"), query.text(1));
        SoapReply::addText(record, QStringLiteral("FirstName"), query.text(10));
        SoapReply::addText(record, QStringLiteral("Culture"), query.text(2));
        SoapReply::addText(record, QStringLiteral("AllowForwarding"), flag(query.integer(3)));
        SoapReply::addText(record, QStringLiteral("ShortNote"), query.text(4));
        SoapReply::addText(record, QStringLiteral("IncludeSubFolders"), flag(query.integer(5)));
        SoapReply::addText(
            record, QStringLiteral("CreationDateUtc"), ServiceDates::orNone(query.text(6)));
        SoapReply::addText(
            record, QStringLiteral("LastAccessDateUtc"), ServiceDates::orNone(query.text(7)));
        SoapReply::addText(record, QStringLiteral("HitCounter"), QString::number(query.integer(8)));
        if (query.integer(9))
            SoapReply::addText(
                record, QStringLiteral("DirectAccessLink"), directAccessUrl(config, query.text(0)));
        ++count;
    }
    return count;
}

int writeSymbolicLinks(Database &database, const ServiceConfig &config, const QString &albumId,
    pugi::xml_node parent, const QString &elementName)
{
    const QByteArray sql = QByteArray("SELECT ") + kLinkColumns
        + " FROM symbolic_links WHERE asset_id = ?1 ORDER BY created, id";
    Statement query = database.prepare(sql.constData());
    query.bind(1, albumId);
    int count = 0;
    while (query.step()) {
        writeLinkRecord(query, config, SoapReply::addElement(parent, elementName));
        ++count;
    }
    return count;
}

bool writeSymbolicLink(
    Database &database, const ServiceConfig &config, const QString &linkId, pugi::xml_node record)
{
    const QByteArray sql
        = QByteArray("SELECT ") + kLinkColumns + " FROM symbolic_links WHERE id = ?1";
    Statement query = database.prepare(sql.constData());
    query.bind(1, linkId);
    if (!query.step())
        return false;
    writeLinkRecord(query, config, record);
    return true;
}

} // namespace SharingRecords

} // namespace pondrel::refservice
