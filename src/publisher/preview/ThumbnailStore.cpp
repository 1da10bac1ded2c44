// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/ThumbnailStore.h"

#include <QBuffer>
#include <QImageReader>

namespace pondrel {

namespace {

bool isPicture(const QByteArray &encoded)
{
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

} // namespace

ThumbnailStore::ThumbnailStore(qint64 decodedBytes)
    : m_decoded(decodedBytes)
{ }

bool ThumbnailStore::insert(const QString &key, const QByteArray &encoded, const QString &source)
{
    if (!isPicture(encoded))
        return false;
    remove(key);
    m_encoded.insert(key, Encoded {encoded, source});
    m_encodedBytes += encoded.size();
    return true;
}

QImage ThumbnailStore::image(const QString &key)
{
    if (const QImage *cached = m_decoded.object(key))
        return *cached;
    const auto encoded = m_encoded.constFind(key);
    if (encoded == m_encoded.cend())
        return {};
    const QImage decoded = decode(encoded->bytes, kLongestSide);
    if (!decoded.isNull())
        m_decoded.insert(key, new QImage(decoded), decoded.sizeInBytes());
    return decoded;
}

void ThumbnailStore::remove(const QString &key)
{
    const auto encoded = m_encoded.constFind(key);
    if (encoded == m_encoded.cend())
        return;
    m_encodedBytes -= encoded->bytes.size();
    m_encoded.erase(encoded);
    m_decoded.remove(key);
}

bool ThumbnailStore::containsFrom(const QString &key, const QString &source) const
{
    const auto encoded = m_encoded.constFind(key);
    return encoded != m_encoded.cend() && encoded->source == source;
}

void ThumbnailStore::retain(const QSet<QString> &keys)
{
    for (auto encoded = m_encoded.begin(); encoded != m_encoded.end();) {
        if (keys.contains(encoded.key())) {
            ++encoded;
            continue;
        }
        m_encodedBytes -= encoded->bytes.size();
        m_decoded.remove(encoded.key());
        encoded = m_encoded.erase(encoded);
    }
}

void ThumbnailStore::clear()
{
    m_encoded.clear();
    m_encodedBytes = 0;
    m_decoded.clear();
}

QImage ThumbnailStore::decode(const QByteArray &encoded, int longestSide)
{
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return {};
    // Readers that can scale while decoding (JPEG's DCT scaling) never build the full image.
    if (size.width() > longestSide || size.height() > longestSide)
        reader.setScaledSize(size.scaled(longestSide, longestSide, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace pondrel
