// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/PictureMetadata.h"

#include "imaging/ExivImage.h"
#include "imaging/Orientation.h"

#include <exception>

namespace pondrel {

QSize PictureMetadata::uprightPixelSize() const
{
    return Orientation::swapsAxes(orientation.value_or(1)) ? pixelSize.transposed() : pixelSize;
}

std::optional<PictureMetadata> PictureMetadata::read(const QString &path, QString &errorMsg)
{
    try {
        const std::unique_ptr<Exiv2::Image> image = openExivImage(path, errorMsg);
        if (!image)
            return std::nullopt;
        PictureMetadata metadata;
        metadata.pixelSize = QSize(image->pixelWidth(), image->pixelHeight());
        const Exiv2::ExifData &exif = image->exifData();
        const auto tag = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (tag != exif.end() && tag->count() > 0)
            metadata.orientation = int(tag->toLong());
        return metadata;
    } catch (const std::exception &error) {
        // Exiv2 throws more than its own errors on damaged files (std::out_of_range,
        // std::overflow_error, std::bad_alloc among them); none may end the program.
        errorMsg = QString::fromStdString(error.what());
        return std::nullopt;
    }
}

} // namespace pondrel
