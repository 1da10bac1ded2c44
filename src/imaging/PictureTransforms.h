// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "imaging/Picture.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace pondrel {

// Operations on pictures shared by the Agent's renditions and the Publisher's thumbnails and
// previews. Shrinking always averages by area (see Resampler).

// The picture turned upright for its Exif orientation; a picture with an orientation outside
// 1 to 8 comes back as it is (logged); an invalid picture gives nothing.
std::optional<Picture> rotateAccordingToExifOrientation(const Picture &picture, int orientation);

// A copy whose longer side is `size` pixels, proportions kept (orientation is not applied).
std::optional<Picture> thumbnailImage(const Picture &picture, int size);

// The file's picture decoded and shrunk so that its longer side is `size` pixels, as stored
// (orientation is not applied). A JPEG is decoded at the smallest DCT scale that still gives
// that many pixels.
std::optional<Picture> thumbnailImageWithFile(const QString &path, int size);

// As thumbnailImageWithFile, but a picture whose longer side is already at most `size` keeps
// its own size: a preview shows a small picture as it is rather than blown up and blurred.
std::optional<Picture> previewImageWithFile(const QString &path, int size);

// The picture turned a quarter about its centre, clockwise or not.
std::optional<Picture> rotateImage(const Picture &picture, bool clockwise);
std::optional<Picture> rotateClockwise(const Picture &picture);

// The rectangle, origin kept, shrunk or grown so that it fits `size` in its tighter dimension.
QRectF rescaleRect(const QRectF &rect, const QSizeF &size);

} // namespace pondrel
