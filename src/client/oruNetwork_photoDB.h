// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// The local table from a picture's moniker to its file on disk, shared by the Publisher (which
// writes it after every upload) and the Agent (which only reads it). The file is an XML property
// list whose root dictionary maps each moniker to a photo record {"PATH", "HASH", "DATE"}.
//
// Every operation reads the file afresh, and every write replaces it whole in one rename, so a
// reader in another process sees either the old or the new table. Writes from threads of one
// process are serialised so that two additions never lose each other's record.
//
// A database file that exists but cannot be read or parsed is reported once in the log and
// reads as empty; an addition first moves it aside (suffix ".corrupt") instead of replacing it,
// so its records can still be recovered by hand.
namespace oruNetworkPhotoDB {

inline const QString kPathKey = QStringLiteral("PATH");
inline const QString kHashKey = QStringLiteral("HASH");
inline const QString kDateKey = QStringLiteral("DATE");

// Records of a missing file older than this are dropped by vacuumDB (90 days).
constexpr qint64 kStaleRecordSeconds = 7'776'000;

// Full path of "Pondrel_DB.plist" in the application-support folder.
QString photoDBName();

// Adds the record for moniker, or replaces the one already there, keeping all others. False
// (with the reason in *errorMsg) when the file could not be written or a damaged file could not
// be moved aside.
bool addPhotoToDB(
    const QString &path, const QString &moniker, const QString &hash, QString *errorMsg = nullptr);

// The record stored under moniker; none when the file or the moniker is missing, or the entry
// is not a record.
std::optional<QVariantMap> getPhotoFromDB(const QString &moniker);

// Does nothing: a record is never removed on its own, only by vacuumDB once its file has been
// gone long enough, because the service may still ask for renditions of the picture.
void removePhotoFromDB(const QString &moniker);

// The whole table; none when there is no readable database file.
std::optional<QVariantMap> allPhotosInDB();

// Drops the records whose file is gone and whose date lies more than 90 days in the past.
// Returns 1 when there is no readable database file, else 0.
int vacuumDB();

} // namespace oruNetworkPhotoDB

} // namespace pondrel
