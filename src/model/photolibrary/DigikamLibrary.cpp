// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/DigikamLibrary.h"

#include "model/photolibrary/ReadOnlyDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrlQuery>

namespace pondrel {

namespace {

constexpr qint64 kImageCategory = 1;

// KDE configuration keys may carry flags ("Database Name[$e]": expand the environment).
QString keyName(QString key)
{
    const qsizetype flags = key.indexOf(QLatin1Char('['));
    if (flags >= 0)
        key.truncate(flags);
    return key.trimmed();
}

QString expandHome(QString value)
{
    const QString home = QDir::homePath();
    if (value.startsWith(QLatin1String("$HOME")))
        value.replace(0, 5, home);
    else if (value.startsWith(QLatin1Char('~')))
        value.replace(0, 1, home);
    return value;
}

// The settings of one group of a KDE configuration file.
QHash<QString, QString> configGroup(const QString &file, const QString &group)
{
    QHash<QString, QString> values;
    QFile config(file);
    if (!config.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    bool inGroup = false;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    while (!config.atEnd()) {
        const QString line = QString::fromUtf8(config.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0)
            values.insert(keyName(line.left(equals)), line.mid(equals + 1).trimmed());
    }
    return values;
}

// The folder a collection root stands for: a root on a volume known by its path carries it in
// the identifier; one known by its file-system UUID is looked up among the mounted volumes.
QString rootFolder(const QString &identifier, const QString &specificPath)
{
    const qsizetype question = identifier.indexOf(QLatin1Char('?'));
    const QUrlQuery query(question >= 0 ? identifier.mid(question + 1) : QString());
    QString base;
    if (query.hasQueryItem(QStringLiteral("path"))) {
        base = query.queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded);
    } else if (query.hasQueryItem(QStringLiteral("uuid"))) {
        const QString uuid = query.queryItemValue(QStringLiteral("uuid"));
        const QFileInfo device(QStringLiteral("/dev/disk/by-uuid/") + uuid);
        for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
            if (device.exists()
                && QFileInfo(QString::fromLocal8Bit(volume.device())).canonicalFilePath()
                    == device.canonicalFilePath())
                base = volume.rootPath();
        }
    }
    return QDir::cleanPath(base + QLatin1Char('/') + specificPath);
}

QString mediaType(qint64 category)
{
    switch (category) {
    case kImageCategory:
        return PhotoLibrary::kImageMediaType;
    case 2:
        return QStringLiteral("Video");
    case 3:
        return QStringLiteral("Audio");
    default:
        return QStringLiteral("Other");
    }
}

bool knownVersion(const ReadOnlyDatabase &database, QString *reason)
{
    const std::optional<QVariant> version
        = database.scalar("SELECT value FROM Settings WHERE keyword = 'DBVersion'", reason);
    if (!version)
        return false;
    bool isNumber = false;
    const int number = version->toString().toInt(&isNumber);
    if (isNumber && number >= DigikamLibrary::kOldestKnownVersion
        && number <= DigikamLibrary::kNewestKnownVersion)
        return true;
    *reason = QObject::tr("unknown database version %1").arg(version->toString());
    return false;
}

} // namespace

QString DigikamLibrary::configFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/digikamrc");
}

std::optional<QString> DigikamLibrary::databasePath(const QString &configFile, QString *reason)
{
    if (!QFileInfo::exists(configFile)) {
        *reason = QObject::tr("%1 does not exist").arg(configFile);
        return std::nullopt;
    }
    const QHash<QString, QString> settings
        = configGroup(configFile, QStringLiteral("Database Settings"));
    const QString type = settings.value(QStringLiteral("Database Type"), QStringLiteral("QSQLITE"));
    if (type != QLatin1String("QSQLITE")) {
        *reason = QObject::tr("its %1 database cannot be read").arg(type);
        return std::nullopt;
    }
    const QString folder = expandHome(settings.value(QStringLiteral("Database Name")));
    if (folder.isEmpty()) {
        *reason = QObject::tr("%1 names no database").arg(configFile);
        return std::nullopt;
    }
    // Older versions named the file itself.
    if (folder.endsWith(QLatin1String(".db")))
        return folder;
    return QDir(folder).filePath(QStringLiteral("digikam4.db"));
}

std::optional<PhotoLibrary> DigikamLibrary::read(const QString &databasePath, QString *reason)
{
    const std::optional<ReadOnlyDatabase> database = ReadOnlyDatabase::open(databasePath, reason);
    if (!database || !knownVersion(*database, reason))
        return std::nullopt;
    const auto albums = database->rows("SELECT Albums.id, Albums.relativePath, "
                                       "AlbumRoots.identifier, AlbumRoots.specificPath "
                                       "FROM Albums JOIN AlbumRoots ON Albums.albumRoot = "
                                       "AlbumRoots.id ORDER BY Albums.relativePath, Albums.id",
        reason);
    const auto images = database->rows("SELECT id, album, name, category FROM Images "
                                       "WHERE status = 1 AND album IS NOT NULL ORDER BY name, id",
        reason);
    if (!albums || !images)
        return std::nullopt;

    QHash<qint64, QString> folders;
    QHash<qint64, QStringList> keysByAlbum;
    for (const ReadOnlyDatabase::Row &album : *albums) {
        const QString relative = album[1].toString();
        folders.insert(album[0].toLongLong(),
            QDir::cleanPath(rootFolder(album[2].toString(), album[3].toString()) + QLatin1Char('/')
                + relative));
    }
    QVariantMap master;
    for (const ReadOnlyDatabase::Row &image : *images) {
        const qint64 albumId = image[1].toLongLong();
        if (!folders.contains(albumId))
            continue;
        const QString key = image[0].toString();
        master.insert(key,
            PhotoLibrary::image(QDir(folders.value(albumId)).filePath(image[2].toString()),
                mediaType(image[3].toLongLong())));
        keysByAlbum[albumId].append(key);
    }
    QVariantList list;
    for (const ReadOnlyDatabase::Row &album : *albums) {
        const QString relative = album[1].toString();
        const QString name = relative == QLatin1String("/")
            ? QFileInfo(folders.value(album[0].toLongLong())).fileName()
            : relative.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
        QVariantMap entry = PhotoLibrary::album(
            name, QStringLiteral("Regular"), keysByAlbum.value(album[0].toLongLong()));
        if (relative.count(QLatin1Char('/')) > 1)
            entry.insert(PhotoLibrary::kAlbumPlaceKey, relative.mid(1));
        list.append(entry);
    }
    return PhotoLibrary {
        kSource, {{PhotoLibrary::kAlbumsKey, list}, {PhotoLibrary::kImagesKey, master}}};
}

} // namespace pondrel
