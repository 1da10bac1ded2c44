// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

struct sqlite3;

namespace pondrel {

// One connection to the photo database: an SQLite file in WAL mode shared by the Publisher,
// pondrel-tool and the Agent. Every change is one transaction, and a busy timeout lets writers
// of several processes wait for each other instead of failing, so no addition is lost.
//
// Records are the property-list photo records {"PATH", "HASH", "DATE"}; a record imported
// without one of them reads back without it.
class PhotoDatabase
{
public:
    enum class Access {
        // Only an existing database is opened; a missing one stays missing.
        ReadExisting,
        // A missing database is created; one SQLite cannot open is moved aside first.
        Write,
    };

    enum class Status { Open, Missing, Damaged, Failed };

    struct Opening;

    // Opens the database at path. A property list found at legacyPath is imported first, in one
    // transaction, and then renamed with the suffix ".imported" (its own records never
    // overwrite newer ones already in the database).
    static Opening open(const QString &path, const QString &legacyPath, Access access);

    // Adds the record for moniker or replaces the one already there.
    bool put(const QString &moniker, const QString &path, const QString &hash,
        const QDateTime &date, QString *errorMsg);
    std::optional<QVariantMap> find(const QString &moniker) const;
    // Every record by moniker; none when the table cannot be read.
    std::optional<QVariantMap> all() const;
    // Removes, in one transaction, the records with a date more than maxAgeSeconds before now
    // whose file is gone; returns their paths (none when the removal failed).
    std::optional<QStringList> removeStale(const QDateTime &now, qint64 maxAgeSeconds);

    struct Close
    {
        void operator()(sqlite3 *connection) const;
    };

private:
    explicit PhotoDatabase(std::unique_ptr<sqlite3, Close> connection);

    QString lastError() const;
    bool execute(const char *sql) const;
    bool importLegacy(const QString &legacyPath);

    std::unique_ptr<sqlite3, Close> m_connection;
};

struct PhotoDatabase::Opening
{
    Status status = Status::Missing;
    std::optional<PhotoDatabase> database;
    // Why the database is damaged or could not be opened.
    QString problem;
};

} // namespace pondrel
