// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/VisibleCells.h"

#include <QWidget>

namespace pondrel::VisibleCells {

IndexRange cellsInViewport(const MUPhotoView &grid, const QWidget &viewport, int screensBelow)
{
    if (!viewport.isAncestorOf(&grid))
        return {};
    QRect screen = viewport.rect();
    screen.translate(0, screensBelow * screen.height());
    const QRect inGrid(grid.mapFrom(&viewport, screen.topLeft()), screen.size());
    const QRect shown = inGrid.intersected(grid.rect());
    if (shown.isEmpty())
        return {};
    return grid.photoIndexRangeForRect(shown);
}

} // namespace pondrel::VisibleCells
