// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/GridNavigation.h"

#include <algorithm>

namespace pondrel {

namespace {

GridMove select(IndexSet selection, GridMove::Scroll scroll, quint32 index = 0)
{
    return GridMove {std::move(selection), scroll, index};
}

GridMove scrollOnly(GridMove::Scroll scroll, quint32 index = 0)
{
    return GridMove {std::nullopt, scroll, index};
}

} // namespace

std::optional<GridMove> gridMoveForCommand(
    KeyCommand command, const IndexSet &selection, quint32 count, quint32 columns)
{
    using Scroll = GridMove::Scroll;
    const quint32 n = count;
    const quint32 c = std::max<quint32>(columns, 1);
    IndexSet s = selection;
    const quint32 first = s.firstIndex();
    const quint32 last = s.lastIndex();
    const bool empty = s.isEmpty();
    // Row arithmetic in 64 bits: last + c may pass the 32-bit range near the end of a list.
    const bool rowBelow = !empty && quint64(last) + c <= quint64(n) - 1;

    switch (command) {
    case KeyCommand::moveLeft:
        if (empty && n > 0)
            return select(IndexSet(n - 1), Scroll::firstSelected);
        if (!empty && first != 0)
            return select(IndexSet(first - 1), Scroll::firstSelected);
        return GridMove {};
    case KeyCommand::moveRight:
        if (empty && n > 0)
            return select(IndexSet(0), Scroll::lastSelected);
        if (!empty && !s.contains(n - 1))
            return select(IndexSet(last + 1), Scroll::lastSelected);
        return GridMove {};
    case KeyCommand::moveUp:
        if (empty && n > 0)
            return select(IndexSet(n - 1), Scroll::firstSelected);
        if (!empty && first >= c)
            return select(IndexSet(first - c), Scroll::firstSelected);
        return GridMove {};
    case KeyCommand::moveDown:
        if (empty && n > 0)
            return select(IndexSet(0), Scroll::lastSelected);
        if (rowBelow)
            return select(IndexSet(last + c), Scroll::lastSelected);
        return GridMove {};
    case KeyCommand::moveLeftAndModifySelection:
        if (empty || first == 0)
            return GridMove {};
        s.add(first - 1);
        return select(s, Scroll::firstSelected);
    case KeyCommand::moveRightAndModifySelection:
        if (empty || s.contains(n - 1))
            return GridMove {};
        s.add(last + 1);
        return select(s, Scroll::lastSelected);
    case KeyCommand::moveUpAndModifySelection:
        if (empty || first < c)
            return GridMove {};
        s.addRange(first - c, first);
        return select(s, Scroll::firstSelected);
    case KeyCommand::moveDownAndModifySelection:
        if (!rowBelow)
            return GridMove {};
        s.addRange(last + 1, last + c);
        return select(s, Scroll::lastSelected);
    case KeyCommand::moveToBeginningOfLine:
        if (empty)
            return GridMove {};
        return select(IndexSet(first - first % c), Scroll::index, first - first % c);
    case KeyCommand::moveToEndOfLine: {
        if (empty || n == 0)
            return GridMove {};
        const quint32 rowEnd = quint32(std::min<quint64>(quint64(last) + c - 1 - last % c, n - 1));
        return select(IndexSet(rowEnd), Scroll::index, rowEnd);
    }
    case KeyCommand::moveToBeginningOfLineAndModifySelection: {
        if (empty)
            return GridMove {};
        const quint32 rowStart = first - first % c;
        if (rowStart < first)
            s.addRange(rowStart, first - 1);
        return select(s, Scroll::index, rowStart);
    }
    case KeyCommand::moveToEndOfLineAndModifySelection: {
        if (empty || n == 0)
            return GridMove {};
        const quint32 end = quint32(std::min<quint64>(quint64(last) + c - last % c, n));
        if (end > last)
            s.addRange(last, end - 1);
        return select(s, Scroll::lastSelected);
    }
    case KeyCommand::moveToBeginningOfDocument:
        return n > 0 ? select(IndexSet(0), Scroll::top) : GridMove {};
    case KeyCommand::moveToEndOfDocument:
        return n > 0 ? select(IndexSet(n - 1), Scroll::index, n - 1) : GridMove {};
    case KeyCommand::moveToBeginningOfDocumentAndModifySelection:
        if (empty)
            return GridMove {};
        if (first > 0)
            s.addRange(0, first - 1);
        return select(s, Scroll::top);
    case KeyCommand::moveToEndOfDocumentAndModifySelection:
        if (empty || n == 0)
            return GridMove {};
        s.addRange(last, n - 1);
        return select(s, Scroll::index, n - 1);
    case KeyCommand::scrollToBeginningOfDocument:
        return scrollOnly(Scroll::top);
    case KeyCommand::scrollToEndOfDocument:
        return n > 0 ? scrollOnly(Scroll::index, n - 1) : GridMove {};
    case KeyCommand::selectAll:
        return n > 0 ? select(IndexSet::fromRange(0, n - 1), Scroll::none) : GridMove {};
    case KeyCommand::deleteBackward:
    case KeyCommand::insertTab:
    case KeyCommand::insertBackTab:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pondrel
