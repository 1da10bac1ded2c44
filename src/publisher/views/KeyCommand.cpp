// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/KeyCommand.h"

#include <QKeyEvent>

namespace pondrel {

namespace {

std::optional<KeyCommand> plainCommand(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return KeyCommand::moveLeft;
    case Qt::Key_Right:
        return KeyCommand::moveRight;
    case Qt::Key_Up:
        return KeyCommand::moveUp;
    case Qt::Key_Down:
        return KeyCommand::moveDown;
    case Qt::Key_Home:
        return KeyCommand::moveToBeginningOfLine;
    case Qt::Key_End:
        return KeyCommand::moveToEndOfLine;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return KeyCommand::deleteBackward;
    case Qt::Key_Tab:
        return KeyCommand::insertTab;
    case Qt::Key_Backtab:
        return KeyCommand::insertBackTab;
    default:
        return std::nullopt;
    }
}

std::optional<KeyCommand> shiftCommand(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return KeyCommand::moveLeftAndModifySelection;
    case Qt::Key_Right:
        return KeyCommand::moveRightAndModifySelection;
    case Qt::Key_Up:
        return KeyCommand::moveUpAndModifySelection;
    case Qt::Key_Down:
        return KeyCommand::moveDownAndModifySelection;
    case Qt::Key_Home:
        return KeyCommand::moveToBeginningOfLineAndModifySelection;
    case Qt::Key_End:
        return KeyCommand::moveToEndOfLineAndModifySelection;
    case Qt::Key_Backtab:
    case Qt::Key_Tab:
        return KeyCommand::insertBackTab;
    default:
        return std::nullopt;
    }
}

std::optional<KeyCommand> controlCommand(int key)
{
    switch (key) {
    case Qt::Key_Home:
        return KeyCommand::moveToBeginningOfDocument;
    case Qt::Key_End:
        return KeyCommand::moveToEndOfDocument;
    case Qt::Key_Up:
        return KeyCommand::scrollToBeginningOfDocument;
    case Qt::Key_Down:
        return KeyCommand::scrollToEndOfDocument;
    case Qt::Key_A:
        return KeyCommand::selectAll;
    default:
        return std::nullopt;
    }
}

std::optional<KeyCommand> controlShiftCommand(int key)
{
    switch (key) {
    case Qt::Key_Home:
        return KeyCommand::moveToBeginningOfDocumentAndModifySelection;
    case Qt::Key_End:
        return KeyCommand::moveToEndOfDocumentAndModifySelection;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<KeyCommand> keyCommandForEvent(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers()
        & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers == Qt::NoModifier)
        return plainCommand(event->key());
    if (modifiers == Qt::ShiftModifier)
        return shiftCommand(event->key());
    if (modifiers == Qt::ControlModifier)
        return controlCommand(event->key());
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return controlShiftCommand(event->key());
    return std::nullopt;
}

} // namespace pondrel
