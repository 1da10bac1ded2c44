// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QSize>
#include <QString>

#include <optional>

namespace pondrel {

// What the Publisher needs to know of a picture file without decoding its pixels, read with
// Exiv2: the Exif orientation and the pixel size as stored.
struct PictureMetadata
{
    // The Exif orientation tag as written in the file (it may hold 0 or other odd values);
    // nothing when the file has no such tag.
    std::optional<int> orientation;
    QSize pixelSize;

    // The size as seen upright: width and height exchanged for orientations 5 to 8.
    QSize uprightPixelSize() const;

    // Nothing when the file cannot be opened as a picture; the reason goes to errorMsg.
    static std::optional<PictureMetadata> read(const QString &path, QString &errorMsg);
};

} // namespace pondrel
