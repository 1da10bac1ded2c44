// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QColor>
#include <QGradientStops>
#include <QRectF>

#include <utility>
#include <vector>

class QPainter;

namespace pondrel {

// A colour gradient: colour stops sorted by position, evaluated linearly or through hue,
// saturation and brightness, and painted as an axial shading.
class CTGradient
{
public:
    enum BlendingMode {
        CTLinearBlendingMode = 0,
        CTChromaticBlendingMode = 1,
        CTInverseChromaticBlendingMode = 2
    };

    struct CTGradientElement
    {
        float red = 0;
        float green = 0;
        float blue = 0;
        float alpha = 0;
        float position = 0;
    };

    CTGradient() = default;
    static CTGradient gradientWithBeginningColor(const QColor &begin, const QColor &end);

    // Inserts after any stop of the same position.
    void addElement(const CTGradientElement &element);
    void setBlendingMode(BlendingMode mode);
    BlendingMode blendingMode() const { return mode; }
    const std::vector<CTGradientElement> &elementList() const { return elements; }

    // The colour at position t (0 ... 1); an empty gradient is opaque white.
    QColor colorAtPosition(float t) const;

    // Angle 0 runs from the left edge to the right edge, 90 from the top edge to the bottom edge;
    // other angles run through the centre and span the rectangle.
    void fillRect(QPainter &painter, const QRectF &rect, qreal angle) const;

private:
    // The element last before t and the one after it (the same one at the end); the element
    // list must not be empty.
    std::pair<std::size_t, std::size_t> neighboursOf(float t) const;
    QColor linearColorAt(float t) const;
    QColor chromaticColorAt(float t, bool inverse) const;
    void rebuildStops();

    std::vector<CTGradientElement> elements;
    BlendingMode mode = CTLinearBlendingMode;
    // The shading function sampled for the painter, rebuilt whenever stops or mode change.
    QGradientStops stops;
};

} // namespace pondrel
