// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/PhotoLibraryFixtures.h"

#include "support/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <memory>

namespace pondrel {

namespace {

struct Database
{
    explicit Database(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile::remove(path);
        sqlite3 *raw = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &raw);
        handle.reset(raw);
    }

    // Every statement, values quoted by SQLite itself (%Q, %lld).
    template <typename... Values> bool run(const char *format, Values... values)
    {
        std::unique_ptr<char, decltype(&sqlite3_free)> sql(
            sqlite3_mprintf(format, values...), sqlite3_free);
        return handle
            && sqlite3_exec(handle.get(), sql.get(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> handle {nullptr, sqlite3_close};
};

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

QVariantMap PhotoLibraryFixtures::albumEntry(
    const QString &name, const QString &type, const QStringList &keys)
{
    QVariantList keyList;
    for (const QString &key : keys)
        keyList.append(key);
    return {{"AlbumName", name}, {"Album Type", type}, {"KeyList", keyList}};
}

QVariantMap PhotoLibraryFixtures::imageEntry(const QString &path, const QString &mediaType)
{
    QVariantMap image {{"ImagePath", path}};
    if (!mediaType.isEmpty())
        image.insert("MediaType", mediaType);
    return image;
}

bool PhotoLibraryFixtures::writeAlbumDataFile(
    const QString &path, const QVariantList &albums, const QVariantMap &images)
{
    QVariantMap library {{"Application Version", "5.0"}};
    if (!albums.isEmpty())
        library.insert("List of Albums", albums);
    if (!images.isEmpty())
        library.insert("Master Image List", images);
    return PropertyList::saveToPList(library, path);
}

bool PhotoLibraryFixtures::writeDigikam(
    const QString &databaseFolder, const QList<Album> &albums, int version)
{
    Database db(QDir(databaseFolder).filePath("digikam4.db"));
    bool ok = db.run("BEGIN")
        && db.run("CREATE TABLE AlbumRoots (id INTEGER PRIMARY KEY, label TEXT, "
                  "status INTEGER NOT NULL, type INTEGER NOT NULL, identifier TEXT, "
                  "specificPath TEXT, UNIQUE(identifier, specificPath))")
        && db.run("CREATE TABLE Albums (id INTEGER PRIMARY KEY, albumRoot INTEGER NOT NULL, "
                  "relativePath TEXT NOT NULL, date DATE, caption TEXT, collection TEXT, "
                  "icon INTEGER, UNIQUE(albumRoot, relativePath))")
        && db.run("CREATE TABLE Images (id INTEGER PRIMARY KEY, album INTEGER, name TEXT NOT NULL, "
                  "status INTEGER NOT NULL, category INTEGER NOT NULL, modificationDate DATETIME, "
                  "fileSize INTEGER, uniqueHash TEXT, manualOrder INTEGER, UNIQUE(album, name))")
        && db.run("CREATE TABLE Settings (keyword TEXT NOT NULL UNIQUE, value TEXT)")
        && db.run("INSERT INTO Settings VALUES ('DBVersion', %Q)",
            utf8(QString::number(version)).constData());
    // One collection root: the folder that holds the albums' folders.
    const QString root = albums.isEmpty() || albums[0].images.isEmpty()
        ? databaseFolder
        : QFileInfo(QFileInfo(albums[0].images[0].path).path()).path();
    ok = ok
        && db.run("INSERT INTO AlbumRoots VALUES (1, 'Pictures', 0, 1, %Q, '/')",
            utf8("volumeid:?path=" + QString::fromUtf8(QUrl::toPercentEncoding(root, "/")))
                .constData());
    qint64 albumId = 0;
    for (const Album &album : albums) {
        ++albumId;
        const QString folder = album.images.isEmpty() ? root + "/" + album.name
                                                      : QFileInfo(album.images[0].path).path();
        ok = ok
            && db.run("INSERT INTO Albums (id, albumRoot, relativePath) VALUES (%lld, 1, %Q)",
                albumId, utf8(folder.mid(root.size())).constData());
        for (const Image &image : album.images) {
            ok = ok
                && db.run("INSERT INTO Images (album, name, status, category) "
                          "VALUES (%lld, %Q, %d, %d)",
                    albumId, utf8(QFileInfo(image.path).fileName()).constData(), image.status,
                    image.category);
        }
    }
    return ok && db.run("COMMIT");
}

bool PhotoLibraryFixtures::writeDigikamConfig(
    const QString &configFile, const QString &databaseFolder)
{
    QDir().mkpath(QFileInfo(configFile).path());
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    config.write("[Album Settings]\nDatabase Name=/elsewhere\n\n[Database Settings]\n"
                 "Database Type=QSQLITE\nDatabase Name="
        + databaseFolder.toUtf8() + "/\nDatabase Name Thumbnails=" + databaseFolder.toUtf8()
        + "/\n");
    return config.flush();
}

bool PhotoLibraryFixtures::writeShotwell(
    const QString &path, const QList<Album> &events, const QList<Tag> &tags, int version)
{
    Database db(path);
    bool ok = db.run("BEGIN")
        && db.run("CREATE TABLE VersionTable (id INTEGER PRIMARY KEY, schema_version INTEGER, "
                  "app_version TEXT, user_data TEXT NULL)")
        && db.run(
            "INSERT INTO VersionTable (schema_version, app_version) VALUES (%d, '0.32.1')", version)
        && db.run(
            "CREATE TABLE PhotoTable (id INTEGER PRIMARY KEY, filename TEXT UNIQUE NOT NULL, "
            "width INTEGER, height INTEGER, filesize INTEGER, timestamp INTEGER, "
            "exposure_time INTEGER, orientation INTEGER, original_orientation INTEGER, "
            "import_id INTEGER, event_id INTEGER, transformations TEXT, md5 TEXT, "
            "thumbnail_md5 TEXT, exif_md5 TEXT, time_created INTEGER, flags INTEGER DEFAULT 0, "
            "rating INTEGER DEFAULT 0, file_format INTEGER DEFAULT 0, title TEXT, "
            "backlinks TEXT, time_reimported INTEGER, editable_id INTEGER DEFAULT -1, "
            "metadata_dirty INTEGER DEFAULT 0, developer TEXT, comment TEXT)")
        && db.run("CREATE TABLE VideoTable (id INTEGER PRIMARY KEY, filename TEXT UNIQUE NOT NULL, "
                  "width INTEGER, height INTEGER, clip_duration REAL, is_interpretable INTEGER, "
                  "filesize INTEGER, timestamp INTEGER, exposure_time INTEGER, import_id INTEGER, "
                  "event_id INTEGER, md5 TEXT, time_created INTEGER, rating INTEGER DEFAULT 0, "
                  "title TEXT, backlinks TEXT, time_reimported INTEGER, flags INTEGER DEFAULT 0, "
                  "comment TEXT)")
        && db.run("CREATE TABLE EventTable (id INTEGER PRIMARY KEY, name TEXT, "
                  "primary_photo_id INTEGER, time_created INTEGER, primary_source_id TEXT, "
                  "comment TEXT)")
        && db.run("CREATE TABLE TagTable (id INTEGER PRIMARY KEY, name TEXT UNIQUE NOT NULL, "
                  "photo_id_list TEXT, time_created INTEGER)");
    QStringList keys;
    qint64 eventId = 0;
    qint64 exposure = 1'700'000'000;
    for (const Album &event : events) {
        ++eventId;
        ok = ok
            && db.run("INSERT INTO EventTable (id, name) VALUES (%lld, %Q)", eventId,
                utf8(event.name).constData());
        for (const Image &image : event.images) {
            const char *table = image.category == 1 ? "PhotoTable" : "VideoTable";
            ok = ok
                && db.run("INSERT INTO %s (filename, event_id, exposure_time, flags) "
                          "VALUES (%Q, %lld, %lld, %d)",
                    table, utf8(image.path).constData(), eventId, ++exposure,
                    image.status == 1 ? 0 : image.status);
            const qint64 id = sqlite3_last_insert_rowid(db.handle.get());
            keys.append(QString(image.category == 1 ? "thumb%1" : "video-%1")
                            .arg(quint64(id), 16, 16, QLatin1Char('0')));
        }
    }
    for (const Tag &tag : tags) {
        QString list;
        for (const int index : tag.imageIndexes)
            list += keys.value(index) + ",";
        ok = ok
            && db.run("INSERT INTO TagTable (name, photo_id_list) VALUES (%Q, %Q)",
                utf8(tag.name).constData(), utf8(list).constData());
    }
    return ok && db.run("COMMIT");
}

} // namespace pondrel
