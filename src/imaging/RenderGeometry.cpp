// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/RenderGeometry.h"

#include "imaging/Orientation.h"

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

// JPEG allows 65500 pixels a side; the pixel budget keeps one rendition within a few hundred MB.
constexpr int kMaxOutputSide = 65500;
constexpr qint64 kMaxOutputPixels = 100'000'000;

struct FloatSize
{
    float width;
    float height;
};

FloatSize fitted(FloatSize source, FloatSize canvas)
{
    const float sourceRatio = source.width / source.height;
    const float canvasRatio = canvas.width / canvas.height;
    if (sourceRatio >= canvasRatio)
        return {canvas.width, canvas.width / sourceRatio};
    return {sourceRatio * canvas.height, canvas.height};
}

QRectF centred(FloatSize part, FloatSize whole)
{
    return QRectF((whole.width - part.width) * 0.5f, (whole.height - part.height) * 0.5f,
        part.width, part.height);
}

int wholePixels(double length)
{
    return std::max(1, int(std::lround(length)));
}

} // namespace

double RenderGeometry::requiredScale() const
{
    return std::max(drawRect.width() / sourcePart.width(), drawRect.height() / sourcePart.height());
}

std::optional<RenderGeometry> RenderGeometry::compute(
    QSize pictureSize, QSizeF canvasSize, int orientation, int cropMode, QString &errorMsg)
{
    if (pictureSize.isEmpty()) {
        errorMsg = QStringLiteral("The picture has no pixels");
        return std::nullopt;
    }
    if (!(canvasSize.width() > 0) || !(canvasSize.height() > 0)
        || canvasSize.width() > kMaxOutputSide || canvasSize.height() > kMaxOutputSide) {
        errorMsg = QStringLiteral("Invalid rendition size %1 x %2")
                       .arg(canvasSize.width())
                       .arg(canvasSize.height());
        return std::nullopt;
    }

    RenderGeometry geometry;
    geometry.orientation = orientation;
    QSizeF upright = Orientation::uprightSize(QSizeF(pictureSize), orientation);
    if (cropMode == 3 && upright.height() > upright.width()) {
        geometry.orientation = Orientation::followedByQuarterTurnCounterClockwise(orientation);
        upright.transpose();
    }
    geometry.upright = upright;

    const FloatSize source {float(upright.width()), float(upright.height())};
    const FloatSize canvas {float(canvasSize.width()), float(canvasSize.height())};
    const QRectF wholeSource(0, 0, source.width, source.height);
    switch (cropMode) {
    case 1: {
        const FloatSize size = fitted(source, canvas);
        geometry.output = QSizeF(size.width, size.height);
        geometry.sourcePart = wholeSource;
        geometry.drawRect = QRectF(0, 0, size.width, size.height);
        break;
    }
    case 2: {
        const FloatSize part = fitted(canvas, source);
        geometry.output = canvasSize;
        geometry.sourcePart = centred(part, source);
        geometry.drawRect = QRectF(QPointF(0, 0), canvasSize);
        break;
    }
    case 3: {
        const FloatSize size {source.width / source.height * canvas.height, canvas.height};
        geometry.output = QSizeF(size.width, size.height);
        geometry.sourcePart = wholeSource;
        geometry.drawRect = QRectF(0, 0, size.width, size.height);
        break;
    }
    default:
        geometry.output = canvasSize;
        geometry.sourcePart = wholeSource;
        geometry.drawRect = centred(fitted(source, canvas), canvas);
        break;
    }

    geometry.outputPixels
        = QSize(wholePixels(geometry.output.width()), wholePixels(geometry.output.height()));
    if (geometry.outputPixels.width() > kMaxOutputSide
        || geometry.outputPixels.height() > kMaxOutputSide
        || qint64(geometry.outputPixels.width()) * geometry.outputPixels.height()
            > kMaxOutputPixels) {
        errorMsg = QStringLiteral("The rendition would be %1 x %2 pixels, too large to make")
                       .arg(geometry.outputPixels.width())
                       .arg(geometry.outputPixels.height());
        return std::nullopt;
    }
    return geometry;
}

} // namespace pondrel
