// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/Database.h"

#include <sqlite3.h>

namespace pondrel::refservice {

namespace {

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
    id INTEGER PRIMARY KEY,
    email TEXT NOT NULL UNIQUE COLLATE NOCASE,
    first_name TEXT NOT NULL DEFAULT '',
    last_name TEXT NOT NULL DEFAULT '',
    culture TEXT NOT NULL DEFAULT '',
    password_salt BLOB NOT NULL,
    password_hash BLOB NOT NULL,
    password_iterations INTEGER NOT NULL,
    created TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS computers (
    id TEXT PRIMARY KEY,
    name TEXT NOT NULL DEFAULT '',
    description TEXT NOT NULL DEFAULT '',
    registered TEXT NOT NULL,
    last_visit TEXT
);
CREATE TABLE IF NOT EXISTS sessions (
    id TEXT PRIMARY KEY,
    account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    computer_id TEXT NOT NULL,
    created TEXT NOT NULL,
    last_used INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS assets (
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    id TEXT NOT NULL UNIQUE,
    account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    parent_id TEXT NOT NULL,
    kind TEXT NOT NULL CHECK (kind IN ('folder', 'picture')),
    origin_computer TEXT NOT NULL DEFAULT '',
    name TEXT NOT NULL,
    description TEXT NOT NULL DEFAULT '',
    rating TEXT NOT NULL DEFAULT 'Unrated',
    thumbnail_options TEXT NOT NULL DEFAULT 'ThumbnailNone',
    permissions INTEGER NOT NULL DEFAULT 0,
    created TEXT NOT NULL,
    modified TEXT NOT NULL,
    media_type TEXT NOT NULL DEFAULT '',
    file_created TEXT NOT NULL DEFAULT '',
    file_modified TEXT NOT NULL DEFAULT '',
    file_size INTEGER NOT NULL DEFAULT 0,
    hash TEXT NOT NULL DEFAULT '',
    moniker TEXT NOT NULL DEFAULT '',
    width INTEGER NOT NULL DEFAULT 0,
    height INTEGER NOT NULL DEFAULT 0,
    rotate_flip TEXT NOT NULL DEFAULT 'RotateNoneFlipNone',
    date_taken TEXT NOT NULL DEFAULT '',
    retrieval_failed INTEGER NOT NULL DEFAULT 0
);
-- Kind is in the key so that an album's listing (folders, then pictures, each in the order they
-- were made) comes out of the index without sorting.
DROP INDEX IF EXISTS assets_by_parent;
CREATE INDEX IF NOT EXISTS assets_by_parent_kind ON assets(account_id, parent_id, kind);
CREATE INDEX IF NOT EXISTS assets_by_moniker ON assets(moniker);
CREATE TABLE IF NOT EXISTS renditions (
    id TEXT PRIMARY KEY,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    width INTEGER NOT NULL,
    height INTEGER NOT NULL,
    file_size INTEGER NOT NULL,
    file_name TEXT NOT NULL,
    etag TEXT NOT NULL,
    created TEXT NOT NULL,
    UNIQUE (asset_id, name)
);
-- A picture's renditions in the order they are listed, read without sorting; the index holds
-- everything a listing writes of them, so an album's listing never visits the table itself.
DROP INDEX IF EXISTS renditions_by_asset;
CREATE INDEX IF NOT EXISTS renditions_listed
    ON renditions(asset_id, created, name, id, width, height, file_size);
CREATE TABLE IF NOT EXISTS commands (
    id TEXT PRIMARY KEY,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    rendition_name TEXT NOT NULL,
    width INTEGER NOT NULL,
    height INTEGER NOT NULL,
    crop_mode INTEGER NOT NULL,
    return_names TEXT NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('pending', 'issued', 'done', 'failed')),
    issues INTEGER NOT NULL DEFAULT 0,
    batch_id TEXT NOT NULL DEFAULT '',
    issued_to TEXT NOT NULL DEFAULT '',
    upload_token TEXT UNIQUE,
    upload_file TEXT NOT NULL DEFAULT '',
    upload_size INTEGER NOT NULL DEFAULT 0,
    upload_etag TEXT NOT NULL DEFAULT '',
    created TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS commands_by_state ON commands(state, asset_id);
CREATE TABLE IF NOT EXISTS bits_sessions (
    id TEXT PRIMARY KEY,
    upload_token TEXT NOT NULL,
    received INTEGER NOT NULL DEFAULT 0,
    total INTEGER NOT NULL DEFAULT -1,
    part_file TEXT NOT NULL,
    created TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS export_links (
    id TEXT PRIMARY KEY,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    email TEXT NOT NULL COLLATE NOCASE,
    first_name TEXT NOT NULL DEFAULT '',
    culture TEXT NOT NULL DEFAULT '',
    short_note TEXT NOT NULL DEFAULT '',
    include_sub_folders INTEGER NOT NULL DEFAULT 0,
    allow_forwarding INTEGER NOT NULL DEFAULT 0,
    direct_access INTEGER NOT NULL DEFAULT 0,
    created TEXT NOT NULL,
    last_access TEXT NOT NULL DEFAULT '',
    hits INTEGER NOT NULL DEFAULT 0,
    UNIQUE (asset_id, email)
);
CREATE TABLE IF NOT EXISTS symbolic_links (
    id TEXT PRIMARY KEY,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    name TEXT NOT NULL DEFAULT '',
    description TEXT NOT NULL DEFAULT '',
    alias TEXT NOT NULL DEFAULT '',
    password_salt BLOB,
    password_hash BLOB,
    password_iterations INTEGER NOT NULL DEFAULT 0,
    include_sub_folders INTEGER NOT NULL DEFAULT 0,
    created TEXT NOT NULL,
    last_access TEXT NOT NULL DEFAULT '',
    hits INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS imports (
    account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    link_id TEXT NOT NULL REFERENCES symbolic_links(id) ON DELETE CASCADE,
    asset_id TEXT NOT NULL REFERENCES assets(id) ON DELETE CASCADE,
    created TEXT NOT NULL,
    PRIMARY KEY (account_id, asset_id)
);
CREATE TABLE IF NOT EXISTS outbox (
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    kind TEXT NOT NULL,
    recipient TEXT NOT NULL,
    subject TEXT NOT NULL,
    body TEXT NOT NULL,
    created TEXT NOT NULL
);
)sql";

QString lastError(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

void Statement::Finalizer::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

Statement::Statement(sqlite3 *db, const char *sql)
    : m_db(db)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        throw StorageError(lastError(db).toStdString());
    m_statement.reset(raw);
}

Statement &Statement::bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(
        m_statement.get(), index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bind(int index, qint64 number)
{
    sqlite3_bind_int64(m_statement.get(), index, number);
    return *this;
}

Statement &Statement::bind(int index, const QByteArray &bytes)
{
    sqlite3_bind_blob(
        m_statement.get(), index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bindNull(int index)
{
    sqlite3_bind_null(m_statement.get(), index);
    return *this;
}

bool Statement::step()
{
    const int result = sqlite3_step(m_statement.get());
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    throw StorageError(lastError(m_db).toStdString());
}

void Statement::run()
{
    while (step()) { }
}

QString Statement::text(int column) const
{
    const auto *bytes = sqlite3_column_text(m_statement.get(), column);
    const int size = sqlite3_column_bytes(m_statement.get(), column);
    return bytes ? QString::fromUtf8(reinterpret_cast<const char *>(bytes), size) : QString();
}

QByteArrayView Statement::utf8(int column) const
{
    const auto *bytes = sqlite3_column_text(m_statement.get(), column);
    const int size = sqlite3_column_bytes(m_statement.get(), column);
    return bytes ? QByteArrayView(reinterpret_cast<const char *>(bytes), size) : QByteArrayView();
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement.get(), column);
}

QByteArray Statement::blob(int column) const
{
    const void *bytes = sqlite3_column_blob(m_statement.get(), column);
    const int size = sqlite3_column_bytes(m_statement.get(), column);
    return bytes ? QByteArray(static_cast<const char *>(bytes), size) : QByteArray();
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL;
}

void Database::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

Database::Database(sqlite3 *db)
    : m_db(db)
{ }

std::unique_ptr<Database> Database::open(const QString &path, QString &errorMsg)
{
    sqlite3 *raw = nullptr;
    // Every use of the connection holds lock(), so SQLite's own lock around each call (some forty
    // per picture of a listing) would only be taken and released again for nothing.
    const int result = sqlite3_open_v2(path.toUtf8().constData(), &raw,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<Database> database(new Database(raw));
    if (result != SQLITE_OK) {
        errorMsg = raw ? lastError(raw) : QStringLiteral("out of memory");
        return nullptr;
    }
    if (!database->createSchema(errorMsg))
        return nullptr;
    return database;
}

bool Database::createSchema(QString &errorMsg)
{
    try {
        // WAL keeps readers and the writer out of each other's way and makes a commit one
        // append; NORMAL synchronisation survives a crash of the process, which is what a
        // restart of the service needs.
        Statement(m_db.get(), "PRAGMA journal_mode=WAL").run();
        execute("PRAGMA synchronous=NORMAL");
        execute("PRAGMA foreign_keys=ON");
        // The default cache of 2 MiB holds a tenth of an album of 10,000 pictures, so every
        // listing of it would read its pages again; the cache grows only as far as it is used.
        execute("PRAGMA cache_size=-65536");
        sqlite3_busy_timeout(m_db.get(), 5000);
        char *message = nullptr;
        if (sqlite3_exec(m_db.get(), kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
            errorMsg = QString::fromUtf8(message);
            sqlite3_free(message);
            return false;
        }
    } catch (const StorageError &error) {
        errorMsg = QString::fromStdString(error.what());
        return false;
    }
    return true;
}

void Database::execute(const char *sql)
{
    prepare(sql).run();
}

qint64 Database::changes() const
{
    return sqlite3_changes64(m_db.get());
}

Transaction::Transaction(Database &database)
    : m_database(database)
{
    m_database.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    try {
        m_database.execute("ROLLBACK");
    } catch (const StorageError &) {
        // The transaction is already gone (SQLite rolls back by itself on some errors).
    }
}

void Transaction::commit()
{
    m_database.execute("COMMIT");
    m_open = false;
}

} // namespace pondrel::refservice
