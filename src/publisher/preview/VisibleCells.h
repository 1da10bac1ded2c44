// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/MUPhotoView.h"

class QWidget;

namespace pondrel::VisibleCells {

// The cells of a grid that the viewport of its scroll area shows, or, with screensBelow 1, the
// screenful under them: what the loader fetches first. An empty range when the grid lies
// outside, or is not inside the viewport at all.
IndexRange cellsInViewport(const MUPhotoView &grid, const QWidget &viewport, int screensBelow = 0);

} // namespace pondrel::VisibleCells
