// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork_photoDB.h"

#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <mutex>

namespace pondrel {

namespace oruNetworkPhotoDB {

namespace {

enum class DatabaseState { Missing, Damaged, Readable };

struct DatabaseContents
{
    DatabaseState state = DatabaseState::Missing;
    QVariantMap records;
    QString problem;
};

// Serialises read-modify-write cycles inside one process (the Publisher's commit thread and its
// main thread may both write).
std::mutex &writeMutex()
{
    static std::mutex mutex;
    return mutex;
}

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

DatabaseContents readDatabase()
{
    const QString path = photoDBName();
    DatabaseContents contents;
    if (!QFileInfo::exists(path))
        return contents;
    contents.state = DatabaseState::Damaged;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.problem = QStringLiteral("cannot be read: %1").arg(file.errorString());
    } else {
        QString error;
        const std::optional<QVariant> root = PropertyList::parse(file.readAll(), &error);
        if (!root)
            contents.problem = error;
        else if (root->metaType() != QMetaType::fromType<QVariantMap>())
            contents.problem = QStringLiteral("its root is not a dictionary");
        else {
            contents.state = DatabaseState::Readable;
            contents.records = root->toMap();
            return contents;
        }
    }
    if (firstReportOfDamage(path))
        ORU_FATAL(QStringLiteral("Photo database %1 is damaged (%2); it reads as empty")
                      .arg(path, contents.problem));
    return contents;
}

QString asideNameFor(const QString &path)
{
    QString candidate = path + QStringLiteral(".corrupt");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = QStringLiteral("%1-%2.corrupt").arg(path).arg(n);
    return candidate;
}

bool moveDamagedDatabaseAside(const QString &path, QString *errorMsg)
{
    const QString aside = asideNameFor(path);
    if (!QFile::rename(path, aside)) {
        if (errorMsg)
            *errorMsg = QStringLiteral("The damaged photo database %1 could not be moved aside; "
                                       "nothing was written")
                            .arg(path);
        ORU_FATAL(
            QStringLiteral("could not move the damaged photo database %1 to %2").arg(path, aside));
        return false;
    }
    ORU_FATAL(QStringLiteral("moved the damaged photo database %1 to %2").arg(path, aside));
    return true;
}

bool writeDatabase(const QVariantMap &records, QString *errorMsg)
{
    const QString path = photoDBName();
    if (!Paths::ensureFolder(QFileInfo(path).path()) || !PropertyList::saveToPList(records, path)) {
        if (errorMsg)
            *errorMsg = QStringLiteral("The photo database %1 could not be written").arg(path);
        return false;
    }
    return true;
}

// A record without a date stays whatever its file; one whose file exists stays whatever its age.
bool isStale(const QVariantMap &record, const QDateTime &now)
{
    const QVariant date = record.value(kDateKey);
    if (date.metaType() != QMetaType::fromType<QDateTime>())
        return false;
    if (QFileInfo::exists(record.value(kPathKey).toString()))
        return false;
    return date.toDateTime().secsTo(now) > kStaleRecordSeconds;
}

} // namespace

QString photoDBName()
{
    return QStringLiteral("%1/%2").arg(
        Paths::applicationSupportFolder(), QStringLiteral("Pondrel_DB.plist"));
}

bool addPhotoToDB(
    const QString &path, const QString &moniker, const QString &hash, QString *errorMsg)
{
    const std::lock_guard lock(writeMutex());
    DatabaseContents contents = readDatabase();
    if (contents.state == DatabaseState::Damaged
        && !moveDamagedDatabaseAside(photoDBName(), errorMsg))
        return false;
    contents.records.insert(moniker,
        QVariantMap {
            {kHashKey, hash}, {kPathKey, path}, {kDateKey, QDateTime::currentDateTimeUtc()}});
    return writeDatabase(contents.records, errorMsg);
}

std::optional<QVariantMap> getPhotoFromDB(const QString &moniker)
{
    const QVariant entry = readDatabase().records.value(moniker);
    if (entry.metaType() != QMetaType::fromType<QVariantMap>())
        return std::nullopt;
    return entry.toMap();
}

void removePhotoFromDB(const QString &) { }

std::optional<QVariantMap> allPhotosInDB()
{
    DatabaseContents contents = readDatabase();
    if (contents.state != DatabaseState::Readable)
        return std::nullopt;
    return contents.records;
}

int vacuumDB()
{
    ORU_LOG(QStringLiteral("MARK"));
    const std::lock_guard lock(writeMutex());
    DatabaseContents contents = readDatabase();
    if (contents.state != DatabaseState::Readable)
        return 1;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList staleMonikers;
    for (auto it = contents.records.cbegin(); it != contents.records.cend(); ++it) {
        if (it.value().metaType() != QMetaType::fromType<QVariantMap>())
            continue;
        const QVariantMap record = it.value().toMap();
        if (isStale(record, now)) {
            staleMonikers.append(it.key());
            ORU_LOG(QStringLiteral("File %1 was removed from db")
                        .arg(record.value(kPathKey).toString()));
        }
    }
    if (staleMonikers.isEmpty())
        return 0;
    for (const QString &moniker : staleMonikers)
        contents.records.remove(moniker);
    writeDatabase(contents.records, nullptr);
    return 0;
}

} // namespace oruNetworkPhotoDB

} // namespace pondrel
