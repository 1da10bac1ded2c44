// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/Orientation.h"

#include <QColorSpace>

#include <array>
#include <cstdint>

namespace pondrel {

namespace {

// How an upright pixel (X, Y) finds its stored pixel (u, v): (a, b) is (Y, X) when the axes are
// exchanged, else (X, Y); then u = a or W - 1 - a, v = b or H - 1 - b.
struct Mapping
{
    bool transposed;
    bool mirrorU;
    bool mirrorV;
};

Mapping mappingOf(int orientation)
{
    static constexpr std::array<Mapping, 9> mappings {{
        {false, false, false}, // unsupported: as stored
        {false, false, false}, // 1 upright
        {false, true, false}, // 2 mirrored left to right
        {false, true, true}, // 3 half turn
        {false, false, true}, // 4 mirrored top to bottom
        {true, false, false}, // 5 transposed
        {true, false, true}, // 6 quarter turn clockwise
        {true, true, true}, // 7 transversed
        {true, true, false}, // 8 quarter turn counter-clockwise
    }};
    return mappings[Orientation::isSupported(orientation) ? size_t(orientation) : 0];
}

} // namespace

namespace Orientation {

bool isSupported(int orientation)
{
    return orientation >= 1 && orientation <= 8;
}

bool swapsAxes(int orientation)
{
    return isSupported(orientation) && orientation >= 5;
}

QSizeF uprightSize(const QSizeF &stored, int orientation)
{
    return swapsAxes(orientation) ? stored.transposed() : stored;
}

QImage orientedImage(const QImage &stored, int orientation)
{
    const Mapping mapping = mappingOf(orientation);
    if (!mapping.transposed && !mapping.mirrorU && !mapping.mirrorV)
        return stored;
    if (!mapping.transposed)
        return stored.mirrored(mapping.mirrorU, mapping.mirrorV);

    const int storedWidth = stored.width();
    const int storedHeight = stored.height();
    QImage upright(storedHeight, storedWidth, stored.format());
    if (upright.isNull())
        return {};
    upright.setColorSpace(stored.colorSpace());
    for (int y = 0; y < upright.height(); ++y) {
        auto *target = reinterpret_cast<uint32_t *>(upright.scanLine(y));
        const int u = mapping.mirrorU ? storedWidth - 1 - y : y;
        for (int x = 0; x < upright.width(); ++x) {
            const int v = mapping.mirrorV ? storedHeight - 1 - x : x;
            target[x] = reinterpret_cast<const uint32_t *>(stored.constScanLine(v))[u];
        }
    }
    return upright;
}

QRectF storedRect(const QRectF &upright, const QSizeF &stored, int orientation)
{
    const Mapping mapping = mappingOf(orientation);
    const double a0 = mapping.transposed ? upright.top() : upright.left();
    const double a1 = mapping.transposed ? upright.bottom() : upright.right();
    const double b0 = mapping.transposed ? upright.left() : upright.top();
    const double b1 = mapping.transposed ? upright.right() : upright.bottom();
    const double u0 = mapping.mirrorU ? stored.width() - a1 : a0;
    const double u1 = mapping.mirrorU ? stored.width() - a0 : a1;
    const double v0 = mapping.mirrorV ? stored.height() - b1 : b0;
    const double v1 = mapping.mirrorV ? stored.height() - b0 : b1;
    return QRectF(QPointF(u0, v0), QPointF(u1, v1));
}

int followedByQuarterTurnCounterClockwise(int orientation)
{
    static constexpr std::array<int, 9> composed {8, 8, 5, 6, 7, 4, 1, 2, 3};
    return composed[isSupported(orientation) ? size_t(orientation) : 0];
}

} // namespace Orientation

} // namespace pondrel
