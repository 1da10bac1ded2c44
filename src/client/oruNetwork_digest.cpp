// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork_digest.h"

#include "support/CHandle.h"
#include "support/oruLog.h"

#include <QFile>

#include <openssl/evp.h>

#include <memory>

namespace pondrel {

namespace oruNetworkDigest {

namespace {

using DigestContext = CHandle<EVP_MD_CTX, EVP_MD_CTX_free>;

QString lowercaseHex(const unsigned char *digest, unsigned int length)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(digest), qsizetype(length)).toHex());
}

// Fills block as far as the file allows. A regular file gives whole blocks anyway; the loop
// keeps a pipe or a slow device from ending the digest early. -1 on a read error.
qint64 readBlock(QFile &file, char *block, qint64 blockSize)
{
    qint64 filled = 0;
    while (filled < blockSize) {
        const qint64 count = file.read(block + filled, blockSize - filled);
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += count;
    }
    return filled;
}

} // namespace

std::optional<QString> sha1FromFile(const QString &path)
{
    const DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1) {
        ORU_LOG(QStringLiteral("Digest failed"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        ORU_LOG(QStringLiteral("Cant read from %1").arg(path));
        return std::nullopt;
    }
    QByteArray block(kFileDigestBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = readBlock(file, block.data(), kFileDigestBlockSize);
        if (count < 0) {
            ORU_LOG(QStringLiteral("Cant read from %1: %2").arg(path, file.errorString()));
            return std::nullopt;
        }
        if (count < kFileDigestBlockSize)
            break;
        if (EVP_DigestUpdate(context.get(), block.constData(), size_t(count)) != 1) {
            ORU_LOG(QStringLiteral("Digest failed"));
            return std::nullopt;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
        ORU_LOG(QStringLiteral("Digest failed"));
        return std::nullopt;
    }
    return lowercaseHex(digest, length);
}

std::optional<QString> md5(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &length, EVP_md5(), nullptr)
        != 1) {
        ORU_LOG(QStringLiteral("Digest failed"));
        return std::nullopt;
    }
    return lowercaseHex(digest, length);
}

bool checkHashIsSame(const QString &path, const QString &hash)
{
    const std::optional<QString> digest = sha1FromFile(path);
    return digest && *digest == hash;
}

} // namespace oruNetworkDigest

} // namespace pondrel
