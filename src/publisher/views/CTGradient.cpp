// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/CTGradient.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

CTGradient::CTGradientElement elementFor(const QColor &color, float position)
{
    const QColor rgb = color.toRgb();
    return {
        float(rgb.redF()), float(rgb.greenF()), float(rgb.blueF()), float(rgb.alphaF()), position};
}

QColor colorOf(const CTGradient::CTGradientElement &element)
{
    return QColor::fromRgbF(element.red, element.green, element.blue, element.alpha);
}

// Samples taken of a hue-blended gradient; the eye does not see steps finer than this.
constexpr int chromaticSamples = 64;

} // namespace

CTGradient CTGradient::gradientWithBeginningColor(const QColor &begin, const QColor &end)
{
    CTGradient gradient;
    gradient.addElement(elementFor(begin, 0.0f));
    gradient.addElement(elementFor(end, 1.0f));
    return gradient;
}

void CTGradient::addElement(const CTGradientElement &element)
{
    const auto after = std::upper_bound(elements.begin(), elements.end(), element.position,
        [](float position, const CTGradientElement &stop) { return position < stop.position; });
    elements.insert(after, element);
    rebuildStops();
}

void CTGradient::setBlendingMode(BlendingMode newMode)
{
    mode = newMode;
    rebuildStops();
}

QColor CTGradient::colorAtPosition(float t) const
{
    switch (mode) {
    case CTChromaticBlendingMode:
        return chromaticColorAt(t, false);
    case CTInverseChromaticBlendingMode:
        return chromaticColorAt(t, true);
    case CTLinearBlendingMode:
        break;
    }
    return linearColorAt(t);
}

std::pair<std::size_t, std::size_t> CTGradient::neighboursOf(float t) const
{
    std::size_t before = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].position < t)
            before = i;
    }
    return {before, std::min(before + 1, elements.size() - 1)};
}

QColor CTGradient::linearColorAt(float t) const
{
    if (elements.empty())
        return QColor::fromRgbF(1, 1, 1, 1);
    const auto [a, b] = neighboursOf(t);
    const CTGradientElement &from = elements[a];
    const CTGradientElement &to = elements[b];
    if (t <= from.position)
        return colorOf(from);
    if (t < to.position) {
        const float f = (t - from.position) / (to.position - from.position);
        const auto mix = [f](float x, float y) { return x + (y - x) * f; };
        return QColor::fromRgbF(mix(from.red, to.red), mix(from.green, to.green),
            mix(from.blue, to.blue), mix(from.alpha, to.alpha));
    }
    return colorOf(to);
}

QColor CTGradient::chromaticColorAt(float t, bool inverse) const
{
    if (elements.empty())
        return QColor::fromRgbF(1, 1, 1, 1);
    const auto [a, b] = neighboursOf(t);
    const QColor from = colorOf(elements[a]).toHsv();
    const QColor to = colorOf(elements[b]).toHsv();
    if (t <= elements[a].position)
        return from.toRgb();
    if (t >= elements[b].position)
        return to.toRgb();
    const float f = (t - elements[a].position) / (elements[b].position - elements[a].position);
    // Chromatic blending walks the hue circle upwards, the inverse mode downwards.
    qreal fromHue = std::max<qreal>(0, from.hsvHueF());
    qreal toHue = std::max<qreal>(0, to.hsvHueF());
    if (!inverse && toHue < fromHue)
        toHue += 1.0;
    if (inverse && toHue > fromHue)
        fromHue += 1.0;
    const auto mix = [f](qreal x, qreal y) { return x + (y - x) * f; };
    const qreal hue = std::fmod(mix(fromHue, toHue), 1.0);
    return QColor::fromHsvF(float(hue), float(mix(from.hsvSaturationF(), to.hsvSaturationF())),
        float(mix(from.valueF(), to.valueF())), float(mix(from.alphaF(), to.alphaF())))
        .toRgb();
}

void CTGradient::rebuildStops()
{
    stops.clear();
    if (mode == CTLinearBlendingMode) {
        // Between stops the linear evaluation is exactly the painter's own interpolation.
        for (const CTGradientElement &element : elements)
            stops.append({std::clamp<qreal>(element.position, 0, 1), colorOf(element)});
        if (stops.isEmpty())
            stops.append({0.0, linearColorAt(0)});
        return;
    }
    for (int i = 0; i <= chromaticSamples; ++i) {
        const float t = float(i) / chromaticSamples;
        stops.append({t, colorAtPosition(t)});
    }
}

void CTGradient::fillRect(QPainter &painter, const QRectF &rect, qreal angle) const
{
    QPointF start = rect.topLeft();
    QPointF end = rect.topRight();
    const qreal normalized = std::fmod(std::fmod(angle, 360.0) + 360.0, 360.0);
    if (normalized == 90.0) {
        end = rect.bottomLeft();
    } else if (normalized != 0.0) {
        const qreal radians = qDegreesToRadians(normalized);
        const QPointF direction(std::cos(radians), std::sin(radians));
        const qreal halfLength
            = (std::abs(rect.width() * direction.x()) + std::abs(rect.height() * direction.y()))
            / 2;
        start = rect.center() - direction * halfLength;
        end = rect.center() + direction * halfLength;
    }
    QLinearGradient shading(start, end);
    shading.setStops(stops);
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, shading);
    painter.restore();
}

} // namespace pondrel
