// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// The local table from a picture's moniker to its file on disk, shared by the Publisher and
// pondrel-tool (which add a record after every upload) and the Agent (which only reads it).
// Each record is a photo record {"PATH", "HASH", "DATE"}.
//
// The table lives in an SQLite database in WAL mode: every change is one transaction and
// writers of several processes wait for each other, so additions made at the same time by
// different programs are all kept, and an addition costs the same in a library of any size.
// A "Pondrel_DB.plist" of an older version is imported on first use and kept beside it as
// "Pondrel_DB.plist.imported"; exportPhotoDB writes the table back in that form.
//
// A database SQLite cannot open is reported once in the log and reads as empty; an addition
// first moves it aside (suffix ".corrupt") instead of replacing it, so its records can still be
// recovered by hand.
namespace oruNetworkPhotoDB {

inline const QString kPathKey = QStringLiteral("PATH");
inline const QString kHashKey = QStringLiteral("HASH");
inline const QString kDateKey = QStringLiteral("DATE");

// Records of a missing file older than this are dropped by vacuumDB (90 days).
constexpr qint64 kStaleRecordSeconds = 7'776'000;

// Full path of "Pondrel_DB.sqlite" in the application-support folder.
QString photoDBName();
// Full path of the property list older versions kept the table in.
QString legacyPhotoDBName();

// Adds the record for moniker, or replaces the one already there, keeping all others. False
// (with the reason in *errorMsg) when the database could not be written or a damaged one could
// not be moved aside.
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

// Writes the whole table as an XML property list (root dictionary: moniker to photo record),
// atomically. False (with the reason in *errorMsg) when there is no readable database or the
// file could not be written.
bool exportPhotoDB(const QString &target, QString *errorMsg = nullptr);

// Drops the records whose file is gone and whose date lies more than 90 days in the past.
// Returns 1 when there is no readable database file, else 0.
int vacuumDB();

} // namespace oruNetworkPhotoDB

} // namespace pondrel
