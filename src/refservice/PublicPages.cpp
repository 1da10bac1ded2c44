// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/PublicPages.h"

#include "refservice/AssetStore.h"
#include "refservice/GalleryHtml.h"
#include "refservice/PasswordHasher.h"
#include "refservice/Renditions.h"
#include "refservice/ServiceDates.h"
#include "refservice/SharingRecords.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QUrlQuery>

#include <pugixml.hpp>

#include <sstream>

namespace pondrel::refservice {

namespace {

struct GalleryPicture
{
    AssetRow picture;
    std::optional<RenditionRow> thumbnail;
    std::optional<RenditionRow> preview;
};

struct AlbumPictures
{
    AssetRow album;
    QList<GalleryPicture> pictures;
};

// The album and, when asked, the albums inside it (breadth first, without recursion), each
// with its pictures that have renditions.
QList<AlbumPictures> collectAlbums(Database &database, const AssetRow &top, bool includeSubFolders)
{
    QList<AlbumPictures> albums {{top, {}}};
    for (qsizetype next = 0; next < albums.size(); ++next) {
        const AssetRow current = albums[next].album;
        QList<GalleryPicture> pictures;
        for (const AssetRow &row : AssetStore::children(database, current.accountId, current.id)) {
            if (row.isFolder()) {
                if (includeSubFolders)
                    albums.append({row, {}});
                continue;
            }
            GalleryPicture entry {row, std::nullopt, std::nullopt};
            for (const RenditionRow &rendition : Renditions::forAsset(database, row.id)) {
                if (rendition.name == QLatin1String("Thumbnail"))
                    entry.thumbnail = rendition;
                else if (rendition.name == QLatin1String("Preview"))
                    entry.preview = rendition;
            }
            if (entry.thumbnail || entry.preview)
                pictures.append(entry);
        }
        albums[next].pictures = pictures;
    }
    return albums;
}

QString formValue(const QByteArray &body, const QString &name)
{
    // application/x-www-form-urlencoded writes spaces as '+', which QUrlQuery leaves alone.
    const QUrlQuery form(QString::fromLatin1(QByteArray(body).replace('+', ' ')));
    return form.queryItemValue(name, QUrl::FullyDecoded);
}

// A rendition's address gets new bytes only under a new identifier, so its bytes never change.
const QByteArray kRenditionCaching = "public, max-age=31536000, immutable";

QString rfc822(const QString &isoDate)
{
    const QDateTime date = QDateTime::fromString(isoDate, Qt::ISODate);
    return QLocale::c().toString(date.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
        + " +0000";
}

} // namespace

struct PublicPages::Album
{
    AssetRow album;
    bool includeSubFolders = false;
    QString galleryUrl;
    QString feedUrl;
    QString title;
    QString description;
};

PublicPages::PublicPages(
    Database &database, const ServiceConfig &config, pondrel::refservice::FailedAttempts &attempts)
    : m_database(database)
    , m_config(config)
    , m_attempts(attempts)
{ }

// The password of a protected address is checked before the page takes the database lock (the
// derivation is slow), and failed guesses make the next ones wait.
std::optional<HttpResponse> PublicPages::refuseWithoutPassword(
    const QString &linkId, const QString &password, bool &isProtected) const
{
    using pondrel::refservice::FailedAttempts;
    PasswordHash stored;
    {
        const auto lock = m_database.lock();
        Statement query
            = m_database.prepare("SELECT password_salt, password_hash, "
                                 "password_iterations FROM symbolic_links WHERE id = ?1");
        query.bind(1, linkId);
        if (!query.step())
            return std::nullopt; // the page says it does not exist
        stored = PasswordHash {query.blob(0), query.blob(1), int(query.integer(2))};
    }
    isProtected = stored.iterations > 0;
    if (!isProtected)
        return std::nullopt;
    const QString key = FailedAttempts::galleryKey(linkId);
    if (const qint64 wait = m_attempts.waitSeconds(key); wait > 0) {
        HttpResponse response = GalleryHtml::page(429, QStringLiteral("Too many attempts"),
            QStringLiteral("<p>Too many wrong passwords. Please try again later.</p>"));
        response.setHeader("Retry-After", QByteArray::number(wait));
        return response;
    }
    if (PasswordHasher::verify(password, stored)) {
        m_attempts.succeeded(key);
        return std::nullopt;
    }
    if (!password.isEmpty())
        m_attempts.failed(key);
    return GalleryHtml::passwordForm(linkId, !password.isEmpty());
}

HttpResponse PublicPages::rendition(const HttpRequest &request) const
{
    if (request.method != "GET" && request.method != "HEAD")
        return HttpResponse::text(405, "text/plain", "Use GET\n");
    QString id = request.path.mid(Renditions::kPathPrefix.size());
    if (id.endsWith(QLatin1String(".jpg")))
        id.chop(4);
    std::optional<RenditionRow> rendition;
    {
        const auto lock = m_database.lock();
        rendition = Renditions::find(m_database, id);
    }
    if (!rendition)
        return HttpResponse::text(404, "text/plain", "No such rendition\n");
    const QByteArray etag = '"' + rendition->etag.toLatin1() + '"';
    if (request.header("If-None-Match").contains(etag)) {
        HttpResponse response;
        response.status = 304;
        response.setHeader("ETag", etag);
        // A revalidated copy stays fresh for as long as a first answer would.
        response.setHeader("Cache-Control", kRenditionCaching);
        return response;
    }
    QFile file(Renditions::filePath(m_config, rendition->fileName));
    if (!file.open(QIODevice::ReadOnly))
        return HttpResponse::text(404, "text/plain", "No such rendition\n");
    HttpResponse response = HttpResponse::text(200, "image/jpeg", file.readAll());
    response.setHeader("ETag", etag);
    response.setHeader("Cache-Control", kRenditionCaching);
    return response; // for HEAD libmicrohttpd sends the headers only
}

// A protected gallery's form posts its password, so that it stays out of addresses, histories
// and logs; a "p" in the address still works for feed readers, which cannot fill in a form.
HttpResponse PublicPages::gallery(const HttpRequest &request) const
{
    const bool asFeed = request.query.contains(QStringLiteral("r"));
    const QString exportId = request.query.value(QStringLiteral("e"));
    const QString linkId = asFeed ? request.query.value(QStringLiteral("r"))
                                  : request.query.value(QStringLiteral("a"));
    const bool posted = request.method == "POST" && !asFeed && exportId.isEmpty();
    if (request.method != "GET" && request.method != "HEAD" && !posted)
        return HttpResponse::text(405, "text/plain", "Use GET\n");
    bool isProtected = false;
    if (exportId.isEmpty() && !linkId.isEmpty()) {
        const QString password = posted ? formValue(request.body, QStringLiteral("p"))
                                        : request.query.value(QStringLiteral("p"));
        if (std::optional<HttpResponse> refusal
            = refuseWithoutPassword(linkId, password, isProtected))
            return *refusal;
    }
    const auto lock = m_database.lock();
    Transaction transaction(m_database);
    Album album;
    QString assetId;
    if (!exportId.isEmpty()) {
        Statement query
            = m_database.prepare("SELECT asset_id, include_sub_folders FROM export_links "
                                 "WHERE id = ?1 AND direct_access = 1");
        query.bind(1, exportId);
        if (!query.step())
            return GalleryHtml::page(404, QStringLiteral("Not found"),
                QStringLiteral("<p>This invitation no longer exists.</p>"));
        assetId = query.text(0);
        album.includeSubFolders = query.integer(1) != 0;
        m_database
            .prepare("UPDATE export_links SET hits = hits + 1, last_access = ?1 WHERE id = ?2")
            .bind(1, ServiceDates::now())
            .bind(2, exportId)
            .run();
    } else {
        Statement query = m_database.prepare("SELECT asset_id, include_sub_folders, name, "
                                             "description FROM symbolic_links WHERE id = ?1");
        query.bind(1, linkId);
        if (linkId.isEmpty() || !query.step())
            return GalleryHtml::page(404, QStringLiteral("Not found"),
                QStringLiteral("<p>This web address no longer exists.</p>"));
        assetId = query.text(0);
        album.includeSubFolders = query.integer(1) != 0;
        album.title = query.text(2);
        album.description = query.text(3);
        album.galleryUrl = SharingRecords::galleryUrl(m_config, linkId);
        album.feedUrl = SharingRecords::feedUrl(m_config, linkId);
        if (!asFeed)
            m_database
                .prepare(
                    "UPDATE symbolic_links SET hits = hits + 1, last_access = ?1 WHERE id = ?2")
                .bind(1, ServiceDates::now())
                .bind(2, linkId)
                .run();
    }
    Statement owner = m_database.prepare("SELECT account_id FROM assets WHERE id = ?1");
    owner.bind(1, assetId);
    if (!owner.step())
        return GalleryHtml::page(404, QStringLiteral("Not found"),
            QStringLiteral("<p>This album no longer exists.</p>"));
    album.album = AssetStore::require(m_database, owner.integer(0), assetId);
    if (album.title.isEmpty())
        album.title = album.album.name;
    if (album.description.isEmpty())
        album.description = album.album.description;
    if (album.galleryUrl.isEmpty())
        album.galleryUrl = SharingRecords::directAccessUrl(m_config, exportId);
    HttpResponse response = asFeed ? feed(album) : galleryPage(album);
    if (isProtected) // what only the password opens is not kept in shared caches or on disk
        response.setHeader("Cache-Control", "no-store");
    transaction.commit();
    return response; // for HEAD libmicrohttpd sends the headers only
}

HttpResponse PublicPages::galleryPage(const Album &album) const
{
    GalleryView view {album.title, album.description, album.feedUrl, {}};
    const QList<AlbumPictures> albums
        = collectAlbums(m_database, album.album, album.includeSubFolders);
    for (const AlbumPictures &each : albums) {
        const bool top = each.album.id == album.album.id;
        GallerySection section {
            top ? QString() : each.album.name, top ? QString() : each.album.description, {}};
        for (const GalleryPicture &entry : each.pictures) {
            const RenditionRow &shown = entry.thumbnail ? *entry.thumbnail : *entry.preview;
            const RenditionRow &large = entry.preview ? *entry.preview : *entry.thumbnail;
            section.tiles.append({entry.picture.name, Renditions::url(m_config, shown), shown.width,
                shown.height, Renditions::url(m_config, large)});
        }
        view.sections.append(section);
    }
    return GalleryHtml::gallery(view);
}

HttpResponse PublicPages::feed(const Album &album) const
{
    QList<GalleryPicture> pictures;
    for (const AlbumPictures &each :
        collectAlbums(m_database, album.album, album.includeSubFolders))
        pictures.append(each.pictures);
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node rss = document.append_child("rss");
    rss.append_attribute("version") = "2.0";
    pugi::xml_node channel = rss.append_child("channel");
    auto text = [](pugi::xml_node parent, const char *name, const QString &value) {
        parent.append_child(name).text().set(value.toUtf8().constData());
    };
    text(channel, "title", album.title);
    text(channel, "link", album.galleryUrl);
    text(channel, "description", album.description.isEmpty() ? album.title : album.description);
    text(channel, "lastBuildDate", rfc822(album.album.modified));
    for (const GalleryPicture &entry : pictures) {
        const RenditionRow &large = entry.preview ? *entry.preview : *entry.thumbnail;
        pugi::xml_node item = channel.append_child("item");
        text(item, "title", entry.picture.name);
        text(item, "link", Renditions::url(m_config, large));
        pugi::xml_node guid = item.append_child("guid");
        guid.append_attribute("isPermaLink") = "false";
        guid.text().set(entry.picture.id.toUtf8().constData());
        if (!entry.picture.description.isEmpty())
            text(item, "description", entry.picture.description);
        text(item, "pubDate", rfc822(entry.picture.created));
        pugi::xml_node enclosure = item.append_child("enclosure");
        enclosure.append_attribute("url") = Renditions::url(m_config, large).toUtf8().constData();
        enclosure.append_attribute("length") = QByteArray::number(large.fileSize).constData();
        enclosure.append_attribute("type") = "image/jpeg";
    }
    std::ostringstream stream;
    document.save(stream, "  ", pugi::format_default, pugi::encoding_utf8);
    return HttpResponse::text(
        200, "application/rss+xml; charset=utf-8", QByteArray::fromStdString(stream.str()));
}

} // namespace pondrel::refservice
