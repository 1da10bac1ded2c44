// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/PhotoDatabase.h"

#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

namespace pondrel {

namespace {

// Long enough for another process to finish a large import or vacuum.
constexpr int kBusyTimeoutMs = 30'000;

const char *const kSchema = "CREATE TABLE IF NOT EXISTS photos ("
                            "moniker TEXT PRIMARY KEY NOT NULL, "
                            "path TEXT, hash TEXT, "
                            "date_ms INTEGER)";

const QString kPathKey = QStringLiteral("PATH");
const QString kHashKey = QStringLiteral("HASH");
const QString kDateKey = QStringLiteral("DATE");

class Statement
{
public:
    Statement(sqlite3 *connection, const char *sql)
    {
        if (sqlite3_prepare_v2(connection, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_statement != nullptr; }

    void bindText(int index, const QVariant &value)
    {
        if (value.isValid() && !value.isNull()) {
            const QByteArray utf8 = value.toString().toUtf8();
            sqlite3_bind_text(
                m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(m_statement, index);
        }
    }
    void bindDate(int index, const QVariant &value)
    {
        if (value.metaType() == QMetaType::fromType<QDateTime>() && value.toDateTime().isValid())
            sqlite3_bind_int64(m_statement, index, value.toDateTime().toMSecsSinceEpoch());
        else
            sqlite3_bind_null(m_statement, index);
    }
    void bindInteger(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }

    int step() { return m_statement ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    bool run()
    {
        const int result = step();
        return result == SQLITE_DONE || result == SQLITE_ROW;
    }
    bool reset() { return sqlite3_reset(m_statement) == SQLITE_OK; }

    bool isNull(int column) const
    {
        return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
    }
    QString text(int column) const
    {
        return QString::fromUtf8(
            reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column)),
            sqlite3_column_bytes(m_statement, column));
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }

    // The record of the current row, from the columns path, hash, date_ms at offset.
    QVariantMap record(int offset) const
    {
        QVariantMap result;
        if (!isNull(offset))
            result.insert(kPathKey, text(offset));
        if (!isNull(offset + 1))
            result.insert(kHashKey, text(offset + 1));
        if (!isNull(offset + 2))
            result.insert(kDateKey, QDateTime::fromMSecsSinceEpoch(integer(offset + 2), Qt::UTC));
        return result;
    }

private:
    sqlite3_stmt *m_statement = nullptr;
};

bool isDamage(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// A free name beside path with the suffix: "X.suffix", else "X-2.suffix", "X-3.suffix"...
QString freeNameBeside(const QString &path, const QString &suffix)
{
    QString candidate = path + suffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = QStringLiteral("%1-%2%3").arg(path).arg(n).arg(suffix);
    return candidate;
}

// Moves a damaged file aside with the suffix ".corrupt", with its write-ahead log, so the new
// database never replays a log that belonged to the old one. True when the file is gone (also
// when another process moved it first).
bool moveAside(const QString &path)
{
    const QString aside = freeNameBeside(path, QStringLiteral(".corrupt"));
    if (!QFile::rename(path, aside)) {
        if (!QFileInfo::exists(path))
            return true;
        ORU_FATAL(
            QStringLiteral("could not move the damaged photo database %1 to %2").arg(path, aside));
        return false;
    }
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    ORU_FATAL(QStringLiteral("moved the damaged photo database %1 to %2").arg(path, aside));
    return true;
}

struct Connection
{
    std::unique_ptr<sqlite3, PhotoDatabase::Close> handle;
    int result = SQLITE_OK;
    QString problem;
};

// Switching a new file to WAL and creating its table can meet another connection doing the
// same: SQLite then answers "locked" at once, without waiting, to avoid a deadlock. Waiting and
// trying again is safe here because both statements change nothing the second time.
int executeSetUp(sqlite3 *connection, const char *sql)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int result = sqlite3_exec(connection, sql, nullptr, nullptr, nullptr);
        if ((result & 0xff) != SQLITE_BUSY || waited.elapsed() > kBusyTimeoutMs)
            return result;
        QThread::msleep(5);
    }
}

Connection connect(const QString &path)
{
    Connection connection;
    sqlite3 *raw = nullptr;
    connection.result = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    connection.handle.reset(raw);
    if (connection.result == SQLITE_OK) {
        sqlite3_busy_timeout(raw, kBusyTimeoutMs);
        sqlite3_extended_result_codes(raw, 1);
        // In WAL mode NORMAL syncs at checkpoints rather than at every commit: a crash of the
        // program loses nothing, a power cut at most the last additions, never the database.
        connection.result = executeSetUp(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
        if (connection.result == SQLITE_OK)
            connection.result = executeSetUp(raw, kSchema);
    }
    if (connection.result != SQLITE_OK) {
        connection.problem = raw ? QString::fromUtf8(sqlite3_errmsg(raw))
                                 : QString::fromUtf8(sqlite3_errstr(connection.result));
        connection.handle.reset();
    }
    return connection;
}

} // namespace

void PhotoDatabase::Close::operator()(sqlite3 *connection) const
{
    sqlite3_close(connection);
}

PhotoDatabase::PhotoDatabase(std::unique_ptr<sqlite3, Close> connection)
    : m_connection(std::move(connection))
{ }

PhotoDatabase::Opening PhotoDatabase::open(
    const QString &path, const QString &legacyPath, Access access)
{
    Opening opening;
    const bool legacyExists = QFileInfo::exists(legacyPath);
    if (access == Access::ReadExisting && !legacyExists && !QFileInfo::exists(path))
        return opening;
    if (!Paths::ensureFolder(QFileInfo(path).path())) {
        opening.status = Status::Failed;
        opening.problem = QStringLiteral("its folder cannot be made");
        return opening;
    }
    Connection connection = connect(path);
    if (isDamage(connection.result) && access == Access::Write) {
        if (!moveAside(path)) {
            opening.status = Status::Damaged;
            opening.problem = QStringLiteral("%1; it could not be moved aside; nothing was written")
                                  .arg(connection.problem);
            return opening;
        }
        connection = connect(path);
    }
    if (!connection.handle) {
        opening.status = isDamage(connection.result) ? Status::Damaged : Status::Failed;
        opening.problem = connection.problem;
        return opening;
    }
    PhotoDatabase database(std::move(connection.handle));
    if (legacyExists && !database.importLegacy(legacyPath)) {
        opening.status = Status::Failed;
        opening.problem = QStringLiteral("the older database %1 could not be imported: %2")
                              .arg(legacyPath, database.lastError());
        return opening;
    }
    opening.status = Status::Open;
    opening.database.emplace(std::move(database));
    return opening;
}

QString PhotoDatabase::lastError() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_connection.get()));
}

bool PhotoDatabase::execute(const char *sql) const
{
    return sqlite3_exec(m_connection.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The rename happens inside the transaction, so another process that waited for it finds the
// list already gone and never imports it twice.
bool PhotoDatabase::importLegacy(const QString &legacyPath)
{
    if (!execute("BEGIN IMMEDIATE"))
        return false;
    if (!QFileInfo::exists(legacyPath))
        return execute("COMMIT");
    const std::optional<QVariantMap> records = PropertyList::dictionaryFromPlist(legacyPath);
    if (!records) {
        execute("ROLLBACK");
        ORU_FATAL(QStringLiteral("The older photo database %1 is damaged").arg(legacyPath));
        return moveAside(legacyPath);
    }
    Statement insert(m_connection.get(),
        "INSERT OR IGNORE INTO photos (moniker, path, hash, date_ms) VALUES (?1, ?2, ?3, ?4)");
    bool ok = insert.isValid();
    for (auto it = records->cbegin(); ok && it != records->cend(); ++it) {
        // Entries that are no records were never found by a lookup; they stay in the old file.
        if (it.value().metaType() != QMetaType::fromType<QVariantMap>())
            continue;
        const QVariantMap record = it.value().toMap();
        insert.bindText(1, it.key());
        insert.bindText(2, record.value(kPathKey));
        insert.bindText(3, record.value(kHashKey));
        insert.bindDate(4, record.value(kDateKey));
        ok = insert.run() && insert.reset();
    }
    const QString imported = freeNameBeside(legacyPath, QStringLiteral(".imported"));
    if (!ok || !QFile::rename(legacyPath, imported)) {
        execute("ROLLBACK");
        return false;
    }
    if (!execute("COMMIT")) {
        execute("ROLLBACK");
        QFile::rename(imported, legacyPath);
        return false;
    }
    // The import filled the write-ahead log; emptying it now spares the additions that follow.
    sqlite3_wal_checkpoint_v2(
        m_connection.get(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    ORU_LOG(QStringLiteral("imported %1 records from %2, kept as %3")
                .arg(records->size())
                .arg(legacyPath, imported));
    return true;
}

bool PhotoDatabase::put(const QString &moniker, const QString &path, const QString &hash,
    const QDateTime &date, QString *errorMsg)
{
    Statement insert(m_connection.get(),
        "INSERT OR REPLACE INTO photos (moniker, path, hash, date_ms) VALUES (?1, ?2, ?3, ?4)");
    insert.bindText(1, moniker);
    insert.bindText(2, path);
    insert.bindText(3, hash);
    insert.bindDate(4, date);
    if (insert.run())
        return true;
    if (errorMsg)
        *errorMsg = lastError();
    return false;
}

std::optional<QVariantMap> PhotoDatabase::find(const QString &moniker) const
{
    Statement query(
        m_connection.get(), "SELECT path, hash, date_ms FROM photos WHERE moniker = ?1");
    query.bindText(1, moniker);
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    return query.record(0);
}

std::optional<QVariantMap> PhotoDatabase::all() const
{
    Statement query(m_connection.get(), "SELECT moniker, path, hash, date_ms FROM photos");
    QVariantMap records;
    int result = SQLITE_ERROR;
    while ((result = query.step()) == SQLITE_ROW)
        records.insert(query.text(0), query.record(1));
    if (result != SQLITE_DONE)
        return std::nullopt;
    return records;
}

std::optional<QStringList> PhotoDatabase::removeStale(const QDateTime &now, qint64 maxAgeSeconds)
{
    if (!execute("BEGIN IMMEDIATE"))
        return std::nullopt;
    // Only records old enough are candidates, so the files of recent ones are never looked at.
    Statement candidates(m_connection.get(), "SELECT moniker, path FROM photos WHERE date_ms < ?1");
    candidates.bindInteger(1, now.toMSecsSinceEpoch() - maxAgeSeconds * 1000);
    QList<QPair<QString, QString>> stale;
    int result = SQLITE_ERROR;
    while ((result = candidates.step()) == SQLITE_ROW) {
        const QString path = candidates.isNull(1) ? QString() : candidates.text(1);
        if (path.isEmpty() || !QFileInfo::exists(path))
            stale.append({candidates.text(0), path});
    }
    Statement remove(m_connection.get(), "DELETE FROM photos WHERE moniker = ?1");
    bool ok = result == SQLITE_DONE && remove.isValid();
    QStringList removedPaths;
    for (auto it = stale.cbegin(); ok && it != stale.cend(); ++it) {
        remove.bindText(1, it->first);
        ok = remove.run() && remove.reset();
        removedPaths.append(it->second);
    }
    if (!ok || !execute("COMMIT")) {
        execute("ROLLBACK");
        return std::nullopt;
    }
    return removedPaths;
}

} // namespace pondrel
