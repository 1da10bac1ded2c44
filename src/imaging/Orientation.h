// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

namespace pondrel {

// The eight Exif orientations as exact pixel permutations. A picture stored with orientation o
// is shown upright by orientedImage(stored, o). Values outside 1 to 8 leave the picture as
// stored.
namespace Orientation {

bool isSupported(int orientation);
// Orientations 5 to 8 turn the picture by a quarter: its upright width is its stored height.
bool swapsAxes(int orientation);
QSizeF uprightSize(const QSizeF &stored, int orientation);

// The upright image; lossless, works on any 32-bit format.
QImage orientedImage(const QImage &stored, int orientation);

// The part of the stored picture (of size `stored`) that shows as `upright` once turned upright.
QRectF storedRect(const QRectF &upright, const QSizeF &stored, int orientation);

// The orientation that first turns a picture upright and then lays it on its side with a
// quarter turn counter-clockwise.
int followedByQuarterTurnCounterClockwise(int orientation);

} // namespace Orientation

} // namespace pondrel
