// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace pondrel::refservice {

// Raised inside the service when SQLite refuses a statement; the request dispatcher turns it
// into a fault so one bad request never takes the server down.
class StorageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One prepared statement; bind by 1-based index, then step through the rows.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql);

    Statement &bind(int index, const QString &text);
    Statement &bind(int index, qint64 number);
    Statement &bind(int index, const QByteArray &bytes);
    Statement &bindNull(int index);

    // True while a row is available; false when done. Throws StorageError on failure.
    bool step();
    void run();

    QString text(int column) const;
    // The column's UTF-8 bytes as SQLite holds them, valid until the next step.
    QByteArrayView utf8(int column) const;
    qint64 integer(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

private:
    struct Finalizer
    {
        void operator()(sqlite3_stmt *statement) const;
    };
    sqlite3 *m_db;
    std::unique_ptr<sqlite3_stmt, Finalizer> m_statement;
};

// The service's single SQLite connection in WAL mode. Every request runs as one transaction
// while holding the connection's lock, so a check and the change that follows it never race
// with another request. Every use of the connection must hold lock(): SQLite's own locking is
// off for it.
class Database
{
public:
    static std::unique_ptr<Database> open(const QString &path, QString &errorMsg);

    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(m_mutex); }
    Statement prepare(const char *sql) { return Statement(m_db.get(), sql); }
    void execute(const char *sql);
    qint64 changes() const;

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const;
    };
    explicit Database(sqlite3 *db);
    bool createSchema(QString &errorMsg);

    std::unique_ptr<sqlite3, Closer> m_db;
    std::mutex m_mutex;
};

// BEGIN IMMEDIATE on creation; rolls back unless commit() was called.
class Transaction
{
public:
    explicit Transaction(Database &database);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &m_database;
    bool m_open = true;
};

} // namespace pondrel::refservice
