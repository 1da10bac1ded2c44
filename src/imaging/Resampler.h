// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

namespace pondrel {

// Resampling of 32-bit bitmaps (RGB32 or premultiplied ARGB32).
namespace Resampler {

// The part `source` of `bitmap` (in bitmap pixels, fractions allowed) resampled to `size`.
// Shrinking averages every source pixel by the area it covers in the target pixel, so fine
// detail turns into its mean colour instead of aliasing, at any factor; enlarging interpolates
// linearly. Null when the request is empty or the memory cannot be had.
QImage resampled(const QImage &bitmap, const QRectF &source, const QSize &size);

} // namespace Resampler

} // namespace pondrel
