// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>

namespace pondrel {

// The thumbnails of the album being browsed, kept encoded (a 200-pixel JPEG is some 10 KB, its
// pixels 160 KB) and decoded only for the cells that are drawn. The decoded images live in a
// least-recently-used cache sized to a few screens, so 10,000 pictures stay frugal.
// GUI thread only.
class ThumbnailStore
{
public:
    // Decoded images are at most this many pixels on their longer side: a grid cell never
    // needs more, and a huge picture sent as a thumbnail must not cost its full size.
    static constexpr int kLongestSide = 256;
    // Some ten windows of 200-pixel cells on a large screen.
    static constexpr qint64 kDefaultDecodedBytes = 32LL * 1024 * 1024;

    explicit ThumbnailStore(qint64 decodedBytes = kDefaultDecodedBytes);

    // Keeps the bytes when they hold a picture a reader recognises (false for an HTML page or
    // garbage, which then stays out). source is where they came from (the address).
    bool insert(const QString &key, const QByteArray &encoded, const QString &source = {});
    bool contains(const QString &key) const { return m_encoded.contains(key); }
    // Whether the thumbnail held for key came from source: the service gives a changed
    // rendition a new address, so a thumbnail from the same address is still current.
    bool containsFrom(const QString &key, const QString &source) const;
    // Drops the thumbnails of every other key (the items no longer listed).
    void retain(const QSet<QString> &keys);
    // The decoded thumbnail, a null image when there is none or it cannot be decoded.
    QImage image(const QString &key);
    void remove(const QString &key);
    void clear();

    qsizetype count() const { return m_encoded.size(); }
    qint64 encodedBytes() const { return m_encodedBytes; }
    qint64 decodedBytes() const { return m_decoded.totalCost(); }

    static QImage decode(const QByteArray &encoded, int longestSide);

private:
    struct Encoded
    {
        QByteArray bytes;
        QString source;
    };
    QHash<QString, Encoded> m_encoded;
    qint64 m_encodedBytes = 0;
    QCache<QString, QImage> m_decoded;
};

} // namespace pondrel
