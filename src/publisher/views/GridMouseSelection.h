// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/IndexSet.h"

#include <QPointF>
#include <QRectF>

#include <optional>

class QMouseEvent;

namespace pondrel {

// What the primary mouse button does to a grid's selection: click counting, the selection a
// press makes, and the selection band dragged from between the cells. Knows indexes and points,
// not the widget.
class GridMouseSelection
{
public:
    // The selection a press leaves, and whether the other grids' selections are cleared first.
    struct PressResult
    {
        IndexSet selection;
        bool clearsOtherGrids = false;
        // False for a press on no cell at all, which leaves the selection alone.
        bool setsSelection = true;
    };

    // Counts a press or double-click event: 1, 2, 3... for presses close in time and place.
    int countClick(const QMouseEvent *event);
    // The platform delivers the second press of a double click as a press and then as a
    // double-click event with the same time stamp; true for that repeated event.
    bool repeatsLastPress(const QMouseEvent *event) const;
    int clickCount() const { return clickCount_; }

    // A primary press at `point` on cell `clicked` (insideCell: within its grid rectangle; a
    // cell at or beyond the count is no cell). Control toggles, Shift extends from the last
    // selected index, a plain press on an unselected cell selects it alone; a press between
    // cells starts a band that adds to the selection kept with Shift, else to none.
    PressResult press(const QPointF &point, Qt::KeyboardModifiers modifiers, quint32 clicked,
        quint32 count, bool insideCell, const IndexSet &selection);
    // The press was taken for something else (the context menu): no band, no drag.
    void cancel() { down_ = false; }
    void startAt(const QPointF &point) { downPoint_ = currentPoint_ = point; }

    // The band after a drag to `point`, when a band is being drawn.
    std::optional<QRectF> dragTo(const QPointF &point);
    // The selection the band leaves: what it started from and every cell index given.
    IndexSet bandSelection(const IndexSet &cellsUnderBand) const;
    void release();
    // The band to draw, while one is dragged.
    std::optional<QRectF> band() const;

private:
    bool down_ = false;
    QPointF downPoint_;
    QPointF currentPoint_;
    // While the band is drawn: the selection it adds to (kept with Shift, else empty).
    std::optional<IndexSet> bandBase_;
    quint64 lastClickTime_ = 0;
    QPointF lastClickPoint_;
    bool hasLastClick_ = false;
    int clickCount_ = 0;
};

} // namespace pondrel
