// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// What an item and an upload learn of a picture file from its header and metadata alone, with
// Exiv2: the pixels are never decoded here.
struct ImageSource
{
    // As stored in the file, before any orientation is applied.
    QSize pixelSize;
    // The MIME type of the file's format ("image/jpeg", "image/png", ...).
    QString mediaType;
    // The image properties: "PixelWidth", "PixelHeight", "Orientation" when the file has one, and
    // the metadata by group: "{TIFF}" (the main image directory, where "Orientation" lives),
    // "{Exif}" (where "DateTimeDigitized" lives) and "{GPS}".
    QVariantMap properties;
    // The Exif thumbnail's encoded bytes when the file carries one and it was asked for.
    QByteArray embeddedThumbnail;

    enum class Thumbnail { Skip, Extract };

    // Nothing when the file cannot be opened as a picture; the reason goes to errorMsg.
    static std::optional<ImageSource> open(
        const QString &path, Thumbnail thumbnail, QString &errorMsg);

    // The "Orientation" of the "{TIFF}" properties as written, when there is one.
    std::optional<qint64> exifOrientation() const;
    // The text of an "{Exif}" property, or a null text.
    QString exifText(const QString &key) const;
};

} // namespace pondrel
