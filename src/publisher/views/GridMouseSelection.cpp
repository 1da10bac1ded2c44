// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/GridMouseSelection.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>

namespace pondrel {

int GridMouseSelection::countClick(const QMouseEvent *event)
{
    const quint64 time = event->timestamp();
    const bool near = (event->position() - lastClickPoint_).manhattanLength()
        <= QApplication::startDragDistance();
    const bool soon = hasLastClick_ && time >= lastClickTime_
        && time - lastClickTime_ <= quint64(QApplication::doubleClickInterval());
    // A double-click event always counts as at least the second click, whatever its time.
    const int least = event->type() == QEvent::MouseButtonDblClick ? 2 : 1;
    clickCount_ = std::max(soon && near ? clickCount_ + 1 : 1, least);
    lastClickTime_ = time;
    lastClickPoint_ = event->position();
    hasLastClick_ = true;
    return clickCount_;
}

bool GridMouseSelection::repeatsLastPress(const QMouseEvent *event) const
{
    return hasLastClick_ && event->timestamp() == lastClickTime_ && clickCount_ >= 2;
}

GridMouseSelection::PressResult GridMouseSelection::press(const QPointF &point,
    Qt::KeyboardModifiers modifiers, quint32 clicked, quint32 count, bool insideCell,
    const IndexSet &selection)
{
    down_ = true;
    startAt(point);
    bandBase_.reset();
    PressResult result {selection, false};
    const bool extend = modifiers & Qt::ShiftModifier;
    if (clicked >= count) {
        bandBase_ = extend ? selection : IndexSet();
        result.setsSelection = false;
        return result;
    }
    if (!insideCell) {
        if (!extend)
            result = {IndexSet(), true};
        bandBase_ = result.selection;
    } else if (modifiers & Qt::ControlModifier) {
        if (selection.contains(clicked))
            result.selection.remove(clicked);
        else
            result.selection.add(clicked);
    } else if (extend) {
        if (selection.isEmpty()) {
            result.selection.add(clicked);
        } else {
            const quint32 last = selection.lastIndex();
            result.selection.addRange(std::min(clicked, last), std::max(clicked, last));
        }
    } else if (!selection.contains(clicked)) {
        result = {IndexSet(clicked), true};
    }
    return result;
}

std::optional<QRectF> GridMouseSelection::dragTo(const QPointF &point)
{
    if (!down_ || !bandBase_)
        return std::nullopt;
    currentPoint_ = point;
    return QRectF(downPoint_, currentPoint_).normalized();
}

IndexSet GridMouseSelection::bandSelection(const IndexSet &cellsUnderBand) const
{
    IndexSet selection = bandBase_.value_or(IndexSet());
    selection.addIndexes(cellsUnderBand);
    return selection;
}

void GridMouseSelection::release()
{
    down_ = false;
    bandBase_.reset();
}

std::optional<QRectF> GridMouseSelection::band() const
{
    if (!down_ || !bandBase_)
        return std::nullopt;
    const QRectF band = QRectF(downPoint_, currentPoint_).normalized();
    return band.isEmpty() ? std::nullopt : std::optional<QRectF>(band);
}

} // namespace pondrel
