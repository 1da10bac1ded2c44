// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/ShotwellLibrary.h"

#include "model/photolibrary/ReadOnlyDatabase.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStandardPaths>

namespace pondrel {

namespace {

// Photos and videos in Shotwell's trash are not part of the library any more.
constexpr qint64 kTrashFlag = 0x4;

QString photoKey(qint64 id)
{
    return QStringLiteral("thumb%1").arg(quint64(id), 16, 16, QLatin1Char('0'));
}

QString videoKey(qint64 id)
{
    return QStringLiteral("video-%1").arg(quint64(id), 16, 16, QLatin1Char('0'));
}

bool knownVersion(const ReadOnlyDatabase &database, QString *reason)
{
    const std::optional<QVariant> version = database.scalar(
        "SELECT schema_version FROM VersionTable ORDER BY id DESC LIMIT 1", reason);
    if (!version)
        return false;
    bool isNumber = false;
    const int number = version->toString().toInt(&isNumber);
    if (isNumber && number >= ShotwellLibrary::kOldestKnownVersion
        && number <= ShotwellLibrary::kNewestKnownVersion)
        return true;
    *reason = QObject::tr("unknown database version %1").arg(version->toString());
    return false;
}

// Shotwell names an unnamed event after the day its first picture was taken.
QString eventName(const QVariant &name, qint64 firstExposure, qint64 id)
{
    if (!name.toString().isEmpty())
        return name.toString();
    if (firstExposure > 0)
        return QDateTime::fromSecsSinceEpoch(firstExposure).toString(QStringLiteral("yyyy-MM-dd"));
    return QObject::tr("Event %1").arg(id);
}

} // namespace

QString ShotwellLibrary::databasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/shotwell/data/photo.db");
}

std::optional<PhotoLibrary> ShotwellLibrary::read(const QString &databasePath, QString *reason)
{
    const std::optional<ReadOnlyDatabase> database = ReadOnlyDatabase::open(databasePath, reason);
    if (!database || !knownVersion(*database, reason))
        return std::nullopt;
    // Both media in one list, each in the order Shotwell shows an event: by time taken.
    const auto media = database->rows(
        "SELECT 0, id, filename, event_id, exposure_time, flags FROM PhotoTable "
        "UNION ALL SELECT 1, id, filename, event_id, exposure_time, flags FROM VideoTable "
        "ORDER BY 5, 1, 2",
        reason);
    const auto events = database->rows("SELECT id, name FROM EventTable ORDER BY id", reason);
    const auto tags
        = database->rows("SELECT name, photo_id_list FROM TagTable ORDER BY name", reason);
    if (!media || !events || !tags)
        return std::nullopt;

    QVariantMap master;
    QHash<qint64, QStringList> keysByEvent;
    QHash<qint64, qint64> firstExposure;
    for (const ReadOnlyDatabase::Row &row : *media) {
        if (row[5].toLongLong() & kTrashFlag)
            continue;
        const bool isVideo = row[0].toLongLong() == 1;
        const QString key = isVideo ? videoKey(row[1].toLongLong()) : photoKey(row[1].toLongLong());
        master.insert(key,
            PhotoLibrary::image(row[2].toString(),
                isVideo ? QStringLiteral("Video") : PhotoLibrary::kImageMediaType));
        if (row[3].isNull())
            continue;
        const qint64 event = row[3].toLongLong();
        keysByEvent[event].append(key);
        if (!firstExposure.contains(event))
            firstExposure.insert(event, row[4].toLongLong());
    }
    QVariantList albums;
    for (const ReadOnlyDatabase::Row &event : *events) {
        const qint64 id = event[0].toLongLong();
        albums.append(PhotoLibrary::album(
            eventName(event[1], firstExposure.value(id), id), kEventType, keysByEvent.value(id)));
    }
    for (const ReadOnlyDatabase::Row &tag : *tags) {
        QStringList keys;
        for (const QString &key : tag[1].toString().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (master.contains(key.trimmed()))
                keys.append(key.trimmed());
        }
        albums.append(PhotoLibrary::album(tag[0].toString(), kTagType, keys));
    }
    return PhotoLibrary {
        kSource, {{PhotoLibrary::kAlbumsKey, albums}, {PhotoLibrary::kImagesKey, master}}};
}

} // namespace pondrel
