// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace pondrel::refservice {

// Salted PBKDF2-HMAC-SHA256. The iteration count is stored beside each hash, so it can be
// raised later without invalidating existing accounts.
struct PasswordHash
{
    QByteArray salt;
    QByteArray hash;
    int iterations = 0;
};

namespace PasswordHasher {

PasswordHash hash(const QString &password, int iterations);
bool verify(const QString &password, const PasswordHash &stored);
// Compares two secrets in a time that does not depend on where they differ.
bool sameSecret(const QByteArray &given, const QByteArray &expected);
// Cryptographically random bytes, for salts and session identifiers.
QByteArray randomBytes(int count);

} // namespace PasswordHasher

} // namespace pondrel::refservice
