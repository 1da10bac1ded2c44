// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/ReadOnlyDatabase.h"

#include "support/oruLog.h"

#include <QFileInfo>
#include <QObject>
#include <QUrl>

#include <sqlite3.h>

namespace pondrel {

namespace {

// The owner may be in the middle of a short write: wait a little before reading past its lock.
constexpr int kBusyTimeoutMs = 250;

bool isLockProblem(int status)
{
    const int primary = status & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_CANTOPEN
        || primary == SQLITE_READONLY;
}

using Statement = CHandle<sqlite3_stmt, sqlite3_finalize>;

} // namespace

void ReadOnlyDatabase::close(sqlite3 *connection)
{
    sqlite3_close_v2(connection);
}

ReadOnlyDatabase::Connection ReadOnlyDatabase::connect(
    const QString &path, bool immutable, QString *error)
{
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setQuery(immutable ? QStringLiteral("mode=ro&immutable=1") : QStringLiteral("mode=ro"));
    sqlite3 *raw = nullptr;
    const int status = sqlite3_open_v2(uri.toEncoded().constData(), &raw,
        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(raw);
    if (status != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(status));
        return {};
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    return connection;
}

std::optional<ReadOnlyDatabase> ReadOnlyDatabase::open(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        if (error)
            *error = QObject::tr("%1 does not exist").arg(path);
        return std::nullopt;
    }
    Connection connection = connect(path, false, error);
    if (!connection)
        return std::nullopt;
    ReadOnlyDatabase database(path, std::move(connection));
    // Opening is lazy: the first read tells whether the file is a database we may read.
    if (!database.scalar("SELECT count(*) FROM sqlite_master", error))
        return std::nullopt;
    return database;
}

std::optional<QList<ReadOnlyDatabase::Row>> ReadOnlyDatabase::rows(
    const char *sql, QString *error) const
{
    int status = SQLITE_OK;
    std::optional<QList<Row>> result = query(sql, &status, error);
    if (result || m_immutable || !isLockProblem(status))
        return result;
    ORU_LOG(QStringLiteral("%1 is locked (%2); reading it as it stands")
                .arg(m_path, error ? *error : QString()));
    Connection immutable = connect(m_path, true, error);
    if (!immutable)
        return std::nullopt;
    m_connection = std::move(immutable);
    m_immutable = true;
    return query(sql, &status, error);
}

std::optional<QVariant> ReadOnlyDatabase::scalar(const char *sql, QString *error) const
{
    const std::optional<QList<Row>> result = rows(sql, error);
    if (!result)
        return std::nullopt;
    if (result->isEmpty() || result->first().isEmpty())
        return QVariant();
    return result->first().first();
}

std::optional<QList<ReadOnlyDatabase::Row>> ReadOnlyDatabase::query(
    const char *sql, int *status, QString *error) const
{
    sqlite3 *connection = m_connection.get();
    sqlite3_stmt *raw = nullptr;
    *status = sqlite3_prepare_v2(connection, sql, -1, &raw, nullptr);
    Statement statement(raw);
    if (*status != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(connection));
        return std::nullopt;
    }
    QList<Row> rows;
    const int columns = sqlite3_column_count(raw);
    while ((*status = sqlite3_step(raw)) == SQLITE_ROW) {
        Row row;
        row.reserve(columns);
        for (int column = 0; column < columns; ++column) {
            switch (sqlite3_column_type(raw, column)) {
            case SQLITE_INTEGER:
                row.append(qint64(sqlite3_column_int64(raw, column)));
                break;
            case SQLITE_NULL:
                row.append(QVariant());
                break;
            default:
                row.append(QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(raw, column)),
                    sqlite3_column_bytes(raw, column)));
            }
        }
        rows.append(std::move(row));
    }
    if (*status != SQLITE_DONE) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(connection));
        return std::nullopt;
    }
    return rows;
}

} // namespace pondrel
