// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

namespace pondrel {

// Where a picture lands on a rendition's canvas. Crop modes:
//   0  fit inside the canvas, white margins around it (also any unknown mode);
//   1  fit inside the canvas, the output shrinks to the fitted size;
//   2  fill the canvas, cropping the centre of the picture;
//   3  as high as the canvas, as wide as the picture's proportions make it. A picture that is
//      upright taller than wide is first laid on its side (a quarter turn counter-clockwise),
//      so that prints always come out in landscape.
// All sizes are in the picture file's pixels; ratios are computed in single precision.
struct RenderGeometry
{
    // The orientation the picture is drawn with, after the print rule.
    int orientation = 1;
    // The picture as drawn upright.
    QSizeF upright;
    // The output's exact size, and the whole pixels it becomes (rounded, at least one).
    QSizeF output;
    QSize outputPixels;
    // The part of the upright picture drawn, and the rectangle of the output it fills.
    QRectF sourcePart;
    QRectF drawRect;

    // How many bitmap pixels per file pixel the drawing needs so that no output pixel is made
    // up by enlarging: the least decoding scale that keeps full output resolution.
    double requiredScale() const;

    // Nothing for an empty picture or canvas, or an output beyond what can be encoded; the
    // reason goes to errorMsg.
    static std::optional<RenderGeometry> compute(
        QSize pictureSize, QSizeF canvas, int orientation, int cropMode, QString &errorMsg);
};

} // namespace pondrel
