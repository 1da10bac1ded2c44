// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/PasswordWork.h"

#include "refservice/ServiceFault.h"
#include "refservice/SharingRecords.h"

#include <QCryptographicHash>

namespace pondrel::refservice {

namespace {

std::optional<PasswordHash> storedHash(Statement &query)
{
    if (!query.step() || query.integer(2) <= 0)
        return std::nullopt;
    return PasswordHash {query.blob(0), query.blob(1), int(query.integer(2))};
}

std::optional<PasswordHash> accountHash(Database &database, const QString &email)
{
    const auto lock = database.lock();
    Statement query = database.prepare("SELECT password_salt, password_hash, password_iterations "
                                       "FROM accounts WHERE email = ?1");
    query.bind(1, email.trimmed());
    return storedHash(query);
}

std::optional<PasswordHash> linkHash(Database &database, const QString &linkId)
{
    const auto lock = database.lock();
    Statement query = database.prepare("SELECT password_salt, password_hash, password_iterations "
                                       "FROM symbolic_links WHERE id = ?1");
    query.bind(1, linkId);
    return storedHash(query);
}

} // namespace

PasswordWork::PasswordWork(int iterations, FailedAttempts &attempts)
    : m_iterations(iterations)
    , m_attempts(attempts)
{ }

void PasswordWork::prepare(const SoapRequest &request, Database &database)
{
    const QString operation = request.operation();
    const QString password = request.textOr(QStringLiteral("password"), {});
    if (operation == QLatin1String("SignOn") || operation == QLatin1String("UpdateAccount")) {
        const QString email = request.textOr(QStringLiteral("accountIdentifier"), {});
        if (const std::optional<PasswordHash> stored = accountHash(database, email))
            deriveAhead(FailedAttempts::accountKey(email), password, *stored);
        const QString newPassword = request.textOr(QStringLiteral("newPassword"), {});
        if (!newPassword.isEmpty() && newPassword != password)
            hashAhead(newPassword);
    } else if (operation == QLatin1String("CreateAccount")
        || operation == QLatin1String("CreateSymbolicLink")) {
        if (!password.isEmpty())
            hashAhead(password);
    } else if (operation == QLatin1String("ImportAssetFromSymbolicLink")) {
        const QString linkId
            = SharingRecords::symbolicLinkIdentifier(request.has(QStringLiteral("symbolicLink"))
                    ? request.text(QStringLiteral("symbolicLink"))
                    : request.textOr(QStringLiteral("symbolicLinkOrSymbolicLinkIdentifier"), {}));
        if (const std::optional<PasswordHash> stored = linkHash(database, linkId))
            deriveAhead(FailedAttempts::galleryKey(linkId), password, *stored);
    }
}

QByteArray PasswordWork::derivationKey(const QString &password, const PasswordHash &stored)
{
    QCryptographicHash key(QCryptographicHash::Sha256);
    key.addData(stored.salt);
    key.addData(stored.hash);
    key.addData(QByteArray::number(stored.iterations));
    key.addData(password.toUtf8());
    return key.result();
}

void PasswordWork::deriveAhead(
    const QString &key, const QString &password, const PasswordHash &stored)
{
    // A key that has to wait is refused without any work.
    if (m_attempts.waitSeconds(key) > 0)
        return;
    m_verified.insert(derivationKey(password, stored), PasswordHasher::verify(password, stored));
}

void PasswordWork::hashAhead(const QString &password)
{
    m_hashed.insert(password, PasswordHasher::hash(password, m_iterations));
}

bool PasswordWork::verify(const QString &password, const PasswordHash &stored) const
{
    const auto ready = m_verified.constFind(derivationKey(password, stored));
    return ready != m_verified.cend() ? *ready : PasswordHasher::verify(password, stored);
}

PasswordHash PasswordWork::hash(const QString &password) const
{
    const auto ready = m_hashed.constFind(password);
    return ready != m_hashed.cend() ? *ready : PasswordHasher::hash(password, m_iterations);
}

void PasswordWork::requireAttemptAllowed(const QString &key) const
{
    const qint64 wait = m_attempts.waitSeconds(key);
    if (wait > 0)
        throw ServiceFault(
            QStringLiteral("Too many failed attempts, please try again in %1 seconds.").arg(wait));
}

bool PasswordWork::verifyCounted(
    const QString &key, const QString &password, const PasswordHash &stored)
{
    requireAttemptAllowed(key);
    if (!verify(password, stored)) {
        m_attempts.failed(key);
        return false;
    }
    m_attempts.succeeded(key);
    return true;
}

} // namespace pondrel::refservice
