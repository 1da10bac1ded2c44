// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/IndexSet.h"
#include "publisher/views/KeyCommand.h"

#include <optional>

namespace pondrel {

// Where a movement key takes a grid's selection and what comes into view, worked out without a
// widget so that every rule can be checked in a table.
struct GridMove
{
    enum class Scroll {
        none,
        top,
        // The index below.
        index,
        // The first or last index of the selection once the data source has applied it.
        firstSelected,
        lastSelected,
    };

    // None when the selection stays as it is.
    std::optional<IndexSet> selection;
    Scroll scroll = Scroll::none;
    quint32 index = 0;

    bool operator==(const GridMove &other) const = default;
};

// The move of a command in a grid of count items laid out in columns (at least one); none for
// the commands that are no moves (delete, tab). A move that cannot go on (left of the first
// item) is an empty move: the key is still taken.
std::optional<GridMove> gridMoveForCommand(
    KeyCommand command, const IndexSet &selection, quint32 count, quint32 columns);

} // namespace pondrel
