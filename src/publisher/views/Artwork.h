// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

namespace pondrel {

// The Publisher's drawn artwork ("sml_failed", "sml_shared", "folder", "photo", "placeholder",
// ...), rendered from vector sources at the pixel density it is drawn on and cached, so it is
// sharp on every screen and costs one rendering per name, size and density.
namespace Artwork {

// Side of the badges and type icons, in device-independent pixels.
constexpr qreal smallImageSide = 16.0;

// A null image when there is no artwork of that name.
QImage image(const QString &name, const QSizeF &size, qreal devicePixelRatio);
QImage smallImage(const QString &name, qreal devicePixelRatio);
// The credits text shown in the About panel, as rich text.
QString credits();

} // namespace Artwork

} // namespace pondrel
