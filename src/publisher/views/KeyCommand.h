// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>

class QKeyEvent;

namespace pondrel {

// Editing and movement commands that keys are bound to, so that the grid and its container
// handle the same key the same way.
enum class KeyCommand {
    moveLeft,
    moveRight,
    moveUp,
    moveDown,
    moveLeftAndModifySelection,
    moveRightAndModifySelection,
    moveUpAndModifySelection,
    moveDownAndModifySelection,
    moveToBeginningOfLine,
    moveToEndOfLine,
    moveToBeginningOfLineAndModifySelection,
    moveToEndOfLineAndModifySelection,
    moveToBeginningOfDocument,
    moveToEndOfDocument,
    moveToBeginningOfDocumentAndModifySelection,
    moveToEndOfDocumentAndModifySelection,
    scrollToBeginningOfDocument,
    scrollToEndOfDocument,
    selectAll,
    deleteBackward,
    insertTab,
    insertBackTab,
};

// Arrows move (with Shift they extend the selection), Home/End go to the row's ends, Ctrl+Home
// and Ctrl+End to the document's, Ctrl+Up/Ctrl+Down only scroll, Ctrl+A selects all, Backspace
// and Delete delete, Tab and Shift+Tab move the focus.
std::optional<KeyCommand> keyCommandForEvent(const QKeyEvent *event);

} // namespace pondrel
