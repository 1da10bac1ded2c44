// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace pondrel {

// Consecutive indexes first ... first + length - 1.
struct IndexRange
{
    quint32 location = 0;
    quint32 length = 0;
};

// The geometry of a grid of cells: as many columns as whole cells fit the width (at least one,
// at most the count), the spare width shared among them up to 250 per cell, rows downwards.
class GridLayout
{
public:
    void layOut(quint32 count, qreal width, const QSizeF &cellWithSpacing);

    QSizeF gridSize() const { return gridSize_; }
    quint32 columns() const { return columns_; }
    quint32 rows() const { return rows_; }
    // The width given and the height of all rows.
    QSize frameSize() const { return frameSize_; }

    QRectF gridRectForIndex(quint32 index) const;
    // May answer an index at or beyond the count, or the index of a cell that does not contain
    // the point (a point right of the last column lands in a later row).
    quint32 photoIndexForPoint(const QPointF &point) const;
    IndexRange photoIndexRangeForRect(const QRectF &rect, quint32 count) const;

private:
    QSizeF gridSize_;
    quint32 columns_ = 0;
    quint32 rows_ = 0;
    QSize frameSize_;
};

} // namespace pondrel
