// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/PasswordHasher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QScopeGuard>

#include <algorithm>
#include <semaphore>
#include <stdexcept>
#include <thread>

namespace pondrel::refservice {

namespace {

// Derivations at once: one per core. More only share the cores and slow every request down.
std::counting_semaphore<> &derivationSlots()
{
    static std::counting_semaphore<> available(std::max(1u, std::thread::hardware_concurrency()));
    return available;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    derivationSlots().acquire();
    const auto release = qScopeGuard([] { derivationSlots().release(); });
    const QByteArray utf8 = password.toUtf8();
    QByteArray key(32, '\0');
    if (PKCS5_PBKDF2_HMAC(utf8.constData(), int(utf8.size()),
            reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), iterations,
            EVP_sha256(), int(key.size()), reinterpret_cast<unsigned char *>(key.data()))
        != 1)
        throw std::runtime_error("PBKDF2 failed");
    return key;
}

} // namespace

namespace PasswordHasher {

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(bytes.data()), count) != 1)
        throw std::runtime_error("no random bytes");
    return bytes;
}

bool sameSecret(const QByteArray &given, const QByteArray &expected)
{
    return !expected.isEmpty() && given.size() == expected.size()
        && CRYPTO_memcmp(given.constData(), expected.constData(), size_t(given.size())) == 0;
}

PasswordHash hash(const QString &password, int iterations)
{
    PasswordHash result;
    result.salt = randomBytes(16);
    result.iterations = iterations;
    result.hash = derive(password, result.salt, result.iterations);
    return result;
}

bool verify(const QString &password, const PasswordHash &stored)
{
    if (stored.iterations <= 0 || stored.hash.isEmpty())
        return false;
    const QByteArray candidate = derive(password, stored.salt, stored.iterations);
    return candidate.size() == stored.hash.size()
        && CRYPTO_memcmp(candidate.constData(), stored.hash.constData(), size_t(candidate.size()))
        == 0;
}

} // namespace PasswordHasher

} // namespace pondrel::refservice
