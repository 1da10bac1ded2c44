// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/FailedAttempts.h"
#include "refservice/PasswordHasher.h"
#include "refservice/SoapRequest.h"

#include <QHash>
#include <QString>

namespace pondrel::refservice {

// The slow password derivations of one request, done before it takes the database lock so that
// a sign-on never stalls every other request. prepare() reads what the operation will check
// (under a brief lock) and derives it; inside the transaction verify() and hash() then find
// the result ready. They still derive by themselves when the stored hash changed in between,
// so correctness never depends on the preparation.
class PasswordWork
{
public:
    PasswordWork(int iterations, FailedAttempts &attempts);

    void prepare(const SoapRequest &request, Database &database);

    bool verify(const QString &password, const PasswordHash &stored) const;
    // A new salted hash of the password with the service's iteration count.
    PasswordHash hash(const QString &password) const;

    // Refuses with a fault while the key has to wait after failed attempts.
    void requireAttemptAllowed(const QString &key) const;
    // Verifies the password of the key's account or gallery, counting a failure against it.
    bool verifyCounted(const QString &key, const QString &password, const PasswordHash &stored);

private:
    static QByteArray derivationKey(const QString &password, const PasswordHash &stored);
    void deriveAhead(const QString &key, const QString &password, const PasswordHash &stored);
    void hashAhead(const QString &password);

    int m_iterations;
    FailedAttempts &m_attempts;
    QHash<QByteArray, bool> m_verified; // by salt, iterations and password
    QHash<QString, PasswordHash> m_hashed; // by password
};

} // namespace pondrel::refservice
