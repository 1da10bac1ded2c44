// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/JpegMarkers.h"

#include <QMap>

#include <algorithm>

namespace pondrel {

namespace {

const QByteArray kIccTag("ICC_PROFILE\0", 12);
constexpr int kTagAndNumbering = 14;
// A segment length counts its own two bytes and is at most 0xffff.
constexpr int kMaxChunk = 0xffff - 2 - kTagAndNumbering;

int byteAt(const QByteArray &bytes, qsizetype index)
{
    return static_cast<unsigned char>(bytes.at(index));
}

int segmentLength(const QByteArray &bytes, qsizetype at)
{
    return (byteAt(bytes, at) << 8) | byteAt(bytes, at + 1);
}

bool startsAsJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 4 && byteAt(bytes, 0) == 0xff && byteAt(bytes, 1) == 0xd8;
}

} // namespace

namespace JpegMarkers {

QByteArray iccProfile(const QByteArray &jpeg)
{
    if (!startsAsJpeg(jpeg))
        return {};
    QMap<int, QByteArray> chunks;
    int expectedChunks = 0;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && byteAt(jpeg, at) == 0xff) {
        const int marker = byteAt(jpeg, at + 1);
        if (marker == 0xff) {
            ++at; // fill byte
            continue;
        }
        // Metadata segments all come before the first scan.
        if (marker == 0xda || marker == 0xd9)
            break;
        const int length = segmentLength(jpeg, at + 2);
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        const QByteArray payload = jpeg.mid(at + 4, length - 2);
        if (marker == 0xe2 && payload.size() > kTagAndNumbering && payload.startsWith(kIccTag)) {
            expectedChunks = byteAt(payload, 13);
            chunks.insert(byteAt(payload, 12), payload.mid(kTagAndNumbering));
        }
        at += 2 + length;
    }
    if (chunks.isEmpty() || chunks.size() != expectedChunks || chunks.firstKey() != 1
        || chunks.lastKey() != expectedChunks)
        return {};
    QByteArray profile;
    for (const QByteArray &chunk : chunks)
        profile += chunk;
    return profile;
}

QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &profile)
{
    if (!startsAsJpeg(jpeg))
        return {};
    if (profile.isEmpty())
        return jpeg;
    const int chunkCount = int((profile.size() + kMaxChunk - 1) / kMaxChunk);
    if (chunkCount > 255)
        return jpeg;
    QByteArray segments;
    for (int chunk = 0; chunk < chunkCount; ++chunk) {
        const QByteArray data = profile.mid(qsizetype(chunk) * kMaxChunk, kMaxChunk);
        const int length = 2 + kTagAndNumbering + int(data.size());
        segments += char(0xff);
        segments += char(0xe2);
        segments += char(length >> 8);
        segments += char(length & 0xff);
        segments += kIccTag;
        segments += char(chunk + 1);
        segments += char(chunkCount);
        segments += data;
    }
    qsizetype insertAt = 2;
    if (jpeg.size() >= 6 && byteAt(jpeg, 2) == 0xff && byteAt(jpeg, 3) == 0xe0)
        insertAt = std::min<qsizetype>(jpeg.size(), 4 + segmentLength(jpeg, 4));
    QByteArray result = jpeg;
    result.insert(insertAt, segments);
    return result;
}

} // namespace JpegMarkers

} // namespace pondrel
