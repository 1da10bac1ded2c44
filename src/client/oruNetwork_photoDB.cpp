// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork_photoDB.h"

#include "client/PhotoDatabase.h"
#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <mutex>
#include <utility>

#include <sys/stat.h>

namespace pondrel {

namespace oruNetworkPhotoDB {

namespace {

using pondrel::PhotoDatabase;

// Identifies one damaged file by its path, size and modification time, so that the Agent's
// lookups report it once rather than on every visit, while a newly damaged file is reported
// again.
bool firstReportOfDamage(const QString &path)
{
    static std::mutex mutex;
    static QSet<QString> reported;
    const QFileInfo info(path);
    const QString identity = QStringLiteral("%1|%2|%3")
                                 .arg(path)
                                 .arg(info.size())
                                 .arg(info.lastModified().toMSecsSinceEpoch());
    const std::lock_guard lock(mutex);
    if (reported.contains(identity))
        return false;
    reported.insert(identity);
    return true;
}

// Which file a connection was opened on, so that a database moved away, deleted or replaced
// by another process is opened afresh rather than read through a connection to the old file.
std::optional<std::pair<dev_t, ino_t>> fileIdentity(const QString &path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return std::make_pair(status.st_dev, status.st_ino);
}

// Each thread keeps its connection: opening one costs more than a lookup, and the first
// connection of a process has to read the whole write-ahead log.
struct CachedConnection
{
    QString path;
    std::optional<std::pair<dev_t, ino_t>> identity;
    std::optional<PhotoDatabase> database;
};

PhotoDatabase *openDatabase(PhotoDatabase::Access access, QString *errorMsg = nullptr)
{
    thread_local CachedConnection cached;
    const QString path = photoDBName();
    const QString legacyPath = legacyPhotoDBName();
    if (cached.database && cached.path == path && !QFileInfo::exists(legacyPath)
        && fileIdentity(path) == cached.identity)
        return &*cached.database;
    cached = CachedConnection();
    PhotoDatabase::Opening opening = PhotoDatabase::open(path, legacyPath, access);
    if (opening.status == PhotoDatabase::Status::Open) {
        cached = CachedConnection {path, fileIdentity(path), std::move(opening.database)};
        return &*cached.database;
    }
    if (opening.status == PhotoDatabase::Status::Missing)
        return nullptr;
    if (errorMsg)
        *errorMsg = QStringLiteral("The photo database %1 could not be opened: %2")
                        .arg(path, opening.problem);
    if (opening.status == PhotoDatabase::Status::Failed || firstReportOfDamage(path))
        ORU_FATAL(QStringLiteral("Photo database %1 is %2 (%3); it reads as empty")
                      .arg(path,
                          opening.status == PhotoDatabase::Status::Damaged
                              ? QStringLiteral("damaged")
                              : QStringLiteral("not readable"),
                          opening.problem));
    return nullptr;
}

} // namespace

QString photoDBName()
{
    return QStringLiteral("%1/%2").arg(
        Paths::applicationSupportFolder(), QStringLiteral("Pondrel_DB.sqlite"));
}

QString legacyPhotoDBName()
{
    return QStringLiteral("%1/%2").arg(
        Paths::applicationSupportFolder(), QStringLiteral("Pondrel_DB.plist"));
}

bool addPhotoToDB(
    const QString &path, const QString &moniker, const QString &hash, QString *errorMsg)
{
    PhotoDatabase *database = openDatabase(PhotoDatabase::Access::Write, errorMsg);
    if (!database)
        return false;
    QString problem;
    if (database->put(moniker, path, hash, QDateTime::currentDateTimeUtc(), &problem))
        return true;
    if (errorMsg)
        *errorMsg = QStringLiteral("The photo database %1 could not be written: %2")
                        .arg(photoDBName(), problem);
    return false;
}

std::optional<QVariantMap> getPhotoFromDB(const QString &moniker)
{
    const PhotoDatabase *database = openDatabase(PhotoDatabase::Access::ReadExisting);
    return database ? database->find(moniker) : std::nullopt;
}

void removePhotoFromDB(const QString &) { }

std::optional<QVariantMap> allPhotosInDB()
{
    const PhotoDatabase *database = openDatabase(PhotoDatabase::Access::ReadExisting);
    return database ? database->all() : std::nullopt;
}

int vacuumDB()
{
    ORU_LOG(QStringLiteral("MARK"));
    PhotoDatabase *database = openDatabase(PhotoDatabase::Access::ReadExisting);
    if (!database)
        return 1;
    const std::optional<QStringList> removed
        = database->removeStale(QDateTime::currentDateTimeUtc(), kStaleRecordSeconds);
    if (!removed) {
        ORU_FATAL(QStringLiteral("could not vacuum the photo database %1").arg(photoDBName()));
        return 0;
    }
    for (const QString &path : *removed)
        ORU_LOG(QStringLiteral("File %1 was removed from db").arg(path));
    return 0;
}

bool exportPhotoDB(const QString &target, QString *errorMsg)
{
    const std::optional<QVariantMap> records = allPhotosInDB();
    if (!records) {
        if (errorMsg)
            *errorMsg = QStringLiteral("No readable photo database at %1").arg(photoDBName());
        return false;
    }
    if (!PropertyList::saveToPList(*records, target)) {
        if (errorMsg)
            *errorMsg = QStringLiteral("%1 could not be written").arg(target);
        return false;
    }
    return true;
}

} // namespace oruNetworkPhotoDB

} // namespace pondrel
