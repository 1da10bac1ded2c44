// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/GridNavigation.h"

#include <gtest/gtest.h>

namespace pondrel {

namespace {

using Scroll = GridMove::Scroll;
using K = KeyCommand;

IndexSet range(quint32 first, quint32 last)
{
    return IndexSet::fromRange(first, last);
}

struct Row
{
    KeyCommand command;
    IndexSet from;
    std::optional<IndexSet> to;
    Scroll scroll = Scroll::none;
    quint32 index = 0;
};

} // namespace

// Ten items in four columns: rows 0-3, 4-7 and 8-9.
TEST(GridNavigation, EveryMoveOfTheTable)
{
    const IndexSet none;
    const Row rows[] = {
        {K::moveRight, none, IndexSet(0), Scroll::lastSelected},
        {K::moveLeft, none, IndexSet(9), Scroll::firstSelected},
        {K::moveUp, none, IndexSet(9), Scroll::firstSelected},
        {K::moveDown, none, IndexSet(0), Scroll::lastSelected},
        {K::moveLeft, IndexSet(0), std::nullopt},
        {K::moveLeft, range(3, 5), IndexSet(2), Scroll::firstSelected},
        {K::moveRight, range(3, 5), IndexSet(6), Scroll::lastSelected},
        {K::moveRight, IndexSet(9), std::nullopt},
        {K::moveUp, IndexSet(5), IndexSet(1), Scroll::firstSelected},
        {K::moveUp, IndexSet(2), std::nullopt},
        {K::moveDown, IndexSet(1), IndexSet(5), Scroll::lastSelected},
        {K::moveDown, IndexSet(5), IndexSet(9), Scroll::lastSelected},
        {K::moveDown, IndexSet(6), std::nullopt},
        {K::moveRightAndModifySelection, IndexSet(1), range(1, 2), Scroll::lastSelected},
        {K::moveLeftAndModifySelection, range(1, 2), range(0, 2), Scroll::firstSelected},
        {K::moveLeftAndModifySelection, IndexSet(0), std::nullopt},
        {K::moveDownAndModifySelection, range(0, 2), range(0, 6), Scroll::lastSelected},
        {K::moveUpAndModifySelection, IndexSet(5), range(1, 5), Scroll::firstSelected},
        {K::moveDownAndModifySelection, IndexSet(7), std::nullopt},
        {K::moveRightAndModifySelection, none, std::nullopt},
        {K::moveToBeginningOfLine, IndexSet(6), IndexSet(4), Scroll::index, 4},
        {K::moveToEndOfLine, IndexSet(5), IndexSet(7), Scroll::index, 7},
        {K::moveToEndOfLine, IndexSet(8), IndexSet(9), Scroll::index, 9},
        {K::moveToBeginningOfLine, none, std::nullopt},
        {K::moveToBeginningOfLineAndModifySelection, IndexSet(6), range(4, 6), Scroll::index, 4},
        {K::moveToEndOfLineAndModifySelection, IndexSet(5), range(5, 7), Scroll::lastSelected},
        {K::moveToEndOfLineAndModifySelection, IndexSet(8), range(8, 9), Scroll::lastSelected},
        {K::moveToBeginningOfDocument, IndexSet(6), IndexSet(0), Scroll::top},
        {K::moveToEndOfDocument, none, IndexSet(9), Scroll::index, 9},
        {K::moveToBeginningOfDocumentAndModifySelection, IndexSet(5), range(0, 5), Scroll::top},
        {K::moveToEndOfDocumentAndModifySelection, IndexSet(5), range(5, 9), Scroll::index, 9},
        {K::scrollToBeginningOfDocument, IndexSet(5), std::nullopt, Scroll::top},
        {K::scrollToEndOfDocument, IndexSet(5), std::nullopt, Scroll::index, 9},
        {K::selectAll, IndexSet(3), range(0, 9)},
    };
    for (const Row &row : rows) {
        const std::optional<GridMove> move = gridMoveForCommand(row.command, row.from, 10, 4);
        ASSERT_TRUE(move) << int(row.command);
        EXPECT_EQ(*move, (GridMove {row.to, row.scroll, row.index}))
            << "command " << int(row.command) << " from " << row.from.firstIndex();
    }
}

TEST(GridNavigation, EmptyGridsGridsWithoutLayoutAndNonMoves)
{
    EXPECT_EQ(gridMoveForCommand(K::moveDown, {}, 0, 4), GridMove {});
    EXPECT_EQ(gridMoveForCommand(K::selectAll, {}, 0, 4), GridMove {});
    EXPECT_EQ(gridMoveForCommand(K::moveToEndOfLine, {}, 0, 4), GridMove {});
    // Before the first layout there are no columns yet: rows are one item long.
    EXPECT_EQ(gridMoveForCommand(K::moveDown, IndexSet(2), 5, 0)->selection, IndexSet(3));
    for (const KeyCommand command : {K::deleteBackward, K::insertTab, K::insertBackTab})
        EXPECT_FALSE(gridMoveForCommand(command, IndexSet(1), 10, 4));
}

} // namespace pondrel
