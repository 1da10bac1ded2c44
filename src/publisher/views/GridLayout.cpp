// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/GridLayout.h"

#include "publisher/views/IndexSet.h"

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

constexpr qreal maximumCellWidth = 250.0;

quint32 clampedIndex(qreal value)
{
    if (!(value > 0))
        return 0;
    return value >= qreal(IndexSet::notFound) ? IndexSet::notFound : quint32(value);
}

} // namespace

void GridLayout::layOut(quint32 count, qreal width, const QSizeF &cellWithSpacing)
{
    gridSize_ = cellWithSpacing;
    if (count == 0) {
        columns_ = rows_ = 0;
        frameSize_ = QSize(int(width), 0);
        return;
    }
    const qreal quotient = gridSize_.width() > 0 ? width / gridSize_.width() : 1;
    columns_ = std::clamp<quint32>(clampedIndex(std::floor(quotient)), 1, count);
    const qreal spread = (width - gridSize_.width() * columns_) / columns_ + gridSize_.width();
    gridSize_.setWidth(std::min(spread, maximumCellWidth));
    rows_ = count / columns_ + (count % columns_ ? 1 : 0);
    frameSize_ = QSize(int(width), int(std::ceil(rows_ * gridSize_.height())));
}

QRectF GridLayout::gridRectForIndex(quint32 index) const
{
    if (columns_ == 0)
        return QRectF();
    const quint32 column = index % columns_;
    const quint32 row = index / columns_;
    return QRectF(column * gridSize_.width(), row * gridSize_.height(), gridSize_.width(),
        gridSize_.height());
}

quint32 GridLayout::photoIndexForPoint(const QPointF &point) const
{
    if (gridSize_.width() <= 0 || gridSize_.height() <= 0)
        return 0;
    const quint64 row = clampedIndex(std::floor(std::max(0.0, point.y() / gridSize_.height())));
    const quint64 column = clampedIndex(std::floor(std::max(0.0, point.x() / gridSize_.width())));
    return quint32(std::min<quint64>(row * columns_ + column, IndexSet::notFound));
}

IndexRange GridLayout::photoIndexRangeForRect(const QRectF &rect, quint32 count) const
{
    if (count == 0 || columns_ == 0)
        return {};
    const quint32 first = photoIndexForPoint(rect.topLeft());
    const quint32 last = std::min(photoIndexForPoint(rect.bottomRight()), count - 1);
    if (first > last)
        return {};
    return {first, last - first + 1};
}

} // namespace pondrel
