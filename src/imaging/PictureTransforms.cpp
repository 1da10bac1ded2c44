// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/PictureTransforms.h"

#include "imaging/Orientation.h"
#include "imaging/PictureDecoder.h"
#include "imaging/Resampler.h"

#include "support/oruLog.h"

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

QSize thumbnailSize(QSize source, int size)
{
    const double ratio = double(source.width()) / source.height();
    if (source.width() > source.height())
        return QSize(size, std::max(1, int(std::lround(size / ratio))));
    return QSize(std::max(1, int(std::lround(ratio * size))), size);
}

std::optional<Picture> shrunkBitmap(const Picture &picture, QSize size)
{
    const QImage &bitmap = picture.bitmap();
    QImage shrunk
        = Resampler::resampled(bitmap, QRectF(QPointF(0, 0), QSizeF(bitmap.size())), size);
    if (shrunk.isNull())
        return std::nullopt;
    return Picture(std::move(shrunk), picture.iccProfile());
}

enum class Enlarging { Allowed, Never };

std::optional<Picture> decodedToSize(const QString &path, int size, Enlarging enlarging)
{
    QString errorMsg;
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
    if (!decoder || decoder->size().isEmpty() || size < 1) {
        ORU_LOG(QStringLiteral("Invalid Image"));
        return std::nullopt;
    }
    const QSize source = decoder->size();
    const int longerSide = std::max(source.width(), source.height());
    const QSize target = enlarging == Enlarging::Never && longerSide <= size
        ? source
        : thumbnailSize(source, size);
    const double minimumScale = std::max(
        double(target.width()) / source.width(), double(target.height()) / source.height());
    const std::optional<Picture> picture = decoder->decode(minimumScale, errorMsg);
    if (!picture) {
        ORU_LOG(QStringLiteral("Invalid Image"));
        return std::nullopt;
    }
    return shrunkBitmap(*picture, target);
}

} // namespace

std::optional<Picture> rotateAccordingToExifOrientation(const Picture &picture, int orientation)
{
    if (!picture.isValid())
        return std::nullopt;
    if (!Orientation::isSupported(orientation)) {
        ORU_LOG(QStringLiteral("Unsupported rotation: %1").arg(orientation));
        return picture;
    }
    QImage upright = Orientation::orientedImage(picture.bitmap(), orientation);
    if (upright.isNull())
        return std::nullopt;
    const QSize size = Orientation::uprightSize(QSizeF(picture.size()), orientation).toSize();
    return Picture(std::move(upright), picture.iccProfile(), size, picture.bitmapScale());
}

std::optional<Picture> thumbnailImage(const Picture &picture, int size)
{
    if (!picture.isValid() || size < 1) {
        ORU_LOG(QStringLiteral("Invalid Image"));
        return std::nullopt;
    }
    return shrunkBitmap(picture, thumbnailSize(picture.size(), size));
}

std::optional<Picture> thumbnailImageWithFile(const QString &path, int size)
{
    return decodedToSize(path, size, Enlarging::Allowed);
}

std::optional<Picture> previewImageWithFile(const QString &path, int size)
{
    return decodedToSize(path, size, Enlarging::Never);
}

std::optional<Picture> rotateImage(const Picture &picture, bool clockwise)
{
    if (!picture.isValid())
        return std::nullopt;
    return rotateAccordingToExifOrientation(picture, clockwise ? 6 : 8);
}

std::optional<Picture> rotateClockwise(const Picture &picture)
{
    return rotateImage(picture, true);
}

QRectF rescaleRect(const QRectF &rect, const QSizeF &size)
{
    const double factor = std::max(rect.height() / size.height(), rect.width() / size.width());
    return QRectF(rect.topLeft(), rect.size() / factor);
}

} // namespace pondrel
