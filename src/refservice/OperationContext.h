// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/PasswordWork.h"
#include "refservice/ServiceConfig.h"
#include "refservice/SoapReply.h"
#include "refservice/SoapRequest.h"

#include <QHash>

#include <functional>

namespace pondrel::refservice {

// The signed-on party of a session-scoped request.
struct Session
{
    QString identifier;
    qint64 accountId = 0;
    QString computerId;
};

// What one operation works with: its request, its reply, and the storage, inside the request's
// transaction.
class OperationContext
{
public:
    // Sessions unused for longer than this expire, and all do this long after sign-on.
    static constexpr qint64 kSessionIdleSeconds = 24 * 60 * 60;
    static constexpr qint64 kSessionLifetimeSeconds = 7 * 24 * 60 * 60;

    OperationContext(const SoapRequest &request, SoapReply &reply, Database &database,
        const ServiceConfig &config, pondrel::refservice::PasswordWork &passwords);

    const SoapRequest &request() const { return m_request; }
    SoapReply &reply() { return m_reply; }
    Database &database() { return m_database; }
    pondrel::refservice::PasswordWork &passwords() { return m_passwords; }
    const ServiceConfig &config() const { return m_config; }

    // Workstations send their identifier bare or in braces ("{...}"), in either case: one form.
    static QString normalizedComputer(const QString &identifier);

    // Faults unless the request carries the deployment's service key.
    void requireServiceKey() const;
    // The live session named by sessionIdentifier; faults when unknown or expired and marks it
    // used otherwise.
    Session requireSession();
    // Deletes the sessions past their idle time or lifetime.
    static void dropExpiredSessions(Database &database);

    // Files to remove once the transaction has committed (never before: a rollback must find
    // them still there).
    void removeAfterCommit(const QString &path) { m_filesToRemove.append(path); }
    const QStringList &filesToRemove() const { return m_filesToRemove; }

private:
    const SoapRequest &m_request;
    SoapReply &m_reply;
    Database &m_database;
    const ServiceConfig &m_config;
    pondrel::refservice::PasswordWork &m_passwords;
    QStringList m_filesToRemove;
};

using Operation = std::function<void(OperationContext &)>;
using OperationTable = QHash<QString, Operation>;

void registerCollectionOperations(OperationTable &table);
void registerAccountOperations(OperationTable &table);
void registerAssetOperations(OperationTable &table);
void registerSharingOperations(OperationTable &table);

} // namespace pondrel::refservice
