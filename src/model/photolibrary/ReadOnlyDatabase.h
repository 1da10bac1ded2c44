// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "support/CHandle.h"

#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace pondrel {

// Another program's SQLite database, read and never written: opened through a URI with
// "mode=ro". When the owner holds a lock (or its write-ahead log cannot be shared), it is opened
// again with "immutable=1", which reads the file as it stands without taking any lock.
class ReadOnlyDatabase
{
public:
    // One row as the query's columns, in order (text, integer or null).
    using Row = QVariantList;

    // None when the file is missing or is no SQLite database; the reason goes to *error.
    static std::optional<ReadOnlyDatabase> open(const QString &path, QString *error);

    // Every row of the query; none when it fails (no such table, a lock even when immutable).
    std::optional<QList<Row>> rows(const char *sql, QString *error) const;
    // The first column of the first row, if any.
    std::optional<QVariant> scalar(const char *sql, QString *error) const;

    bool isImmutable() const { return m_immutable; }

private:
    static void close(sqlite3 *connection);
    using Connection = CHandle<sqlite3, &ReadOnlyDatabase::close>;

    static Connection connect(const QString &path, bool immutable, QString *error);
    std::optional<QList<Row>> query(const char *sql, int *status, QString *error) const;

    ReadOnlyDatabase(QString path, Connection connection)
        : m_path(std::move(path))
        , m_connection(std::move(connection))
    { }

    QString m_path;
    // Replaced by an immutable connection when the owner's lock is in the way.
    mutable Connection m_connection;
    mutable bool m_immutable = false;
};

} // namespace pondrel
