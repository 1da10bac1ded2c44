// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/OperationContext.h"

#include "refservice/ServiceFault.h"

#include <QDateTime>

namespace pondrel::refservice {

OperationContext::OperationContext(const SoapRequest &request, SoapReply &reply, Database &database,
    const ServiceConfig &config, pondrel::refservice::PasswordWork &passwords)
    : m_request(request)
    , m_reply(reply)
    , m_database(database)
    , m_config(config)
    , m_passwords(passwords)
{ }

QString OperationContext::normalizedComputer(const QString &identifier)
{
    QString normalized = identifier.trimmed();
    if (normalized.startsWith(u'{') && normalized.endsWith(u'}'))
        normalized = normalized.mid(1, normalized.size() - 2).trimmed();
    return normalized.toUpper();
}

void OperationContext::requireServiceKey() const
{
    if (m_request.text(m_config.serviceKeyElement) != m_config.serviceKey)
        throw ServiceFault(QStringLiteral("Invalid service key."));
}

Session OperationContext::requireSession()
{
    const QString identifier = m_request.text(QStringLiteral("sessionIdentifier")).trimmed();
    Statement query = m_database.prepare("SELECT account_id, computer_id, last_used, "
                                         "CAST(strftime('%s', created) AS INTEGER) "
                                         "FROM sessions WHERE id = ?1");
    query.bind(1, identifier);
    if (!query.step())
        throw ServiceFault(QStringLiteral("Invalid session, please sign in again."));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // Use slides the idle limit, never the lifetime: a stolen identifier dies all the same.
    if (now - query.integer(2) > kSessionIdleSeconds
        || now - query.integer(3) > kSessionLifetimeSeconds)
        throw ServiceFault(QStringLiteral("Session expired, please sign in again."));
    Session session {identifier, query.integer(0), query.text(1)};
    m_database.prepare("UPDATE sessions SET last_used = ?1 WHERE id = ?2")
        .bind(1, now)
        .bind(2, identifier)
        .run();
    return session;
}

void OperationContext::dropExpiredSessions(Database &database)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    database
        .prepare("DELETE FROM sessions WHERE last_used < ?1 "
                 "OR CAST(strftime('%s', created) AS INTEGER) < ?2")
        .bind(1, now - kSessionIdleSeconds)
        .bind(2, now - kSessionLifetimeSeconds)
        .run();
}
} // namespace pondrel::refservice
