#include "oruNetwork_photoDB.h"

#include "client/PhotoDatabase.h"
#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>

#include <mutex>

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

std::optional<PhotoDatabase> openDatabase(PhotoDatabase::Access access, QString *errorMsg = nullptr)
{
    const QString path = photoDBName();
    PhotoDatabase::Opening opening = PhotoDatabase::open(path, legacyPhotoDBName(), access);
    if (opening.status == PhotoDatabase::Status::Open
        || opening.status == PhotoDatabase::Status::Missing)
        return std::move(opening.database);
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
    return std::nullopt;
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
    std::optional<PhotoDatabase> database = openDatabase(PhotoDatabase::Access::Write, errorMsg);
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
    const std::optional<PhotoDatabase> database = openDatabase(PhotoDatabase::Access::ReadExisting);
    return database ? database->find(moniker) : std::nullopt;
}

void removePhotoFromDB(const QString &) { }

std::optional<QVariantMap> allPhotosInDB()
{
    const std::optional<PhotoDatabase> database = openDatabase(PhotoDatabase::Access::ReadExisting);
    return database ? database->all() : std::nullopt;
}

int vacuumDB()
{
    ORU_LOG(QStringLiteral("MARK"));
    std::optional<PhotoDatabase> database = openDatabase(PhotoDatabase::Access::ReadExisting);
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
