// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/oruMetaView.h"

#include "publisher/views/FileDrops.h"
#include "publisher/views/MUPhotoView.h"
#include "publisher/views/ScrollViewExtras.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPainter>
#include <QScrollArea>

namespace pondrel {

oruMetaView::oruMetaView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
}

void oruMetaView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
}

void oruMetaView::keyPressEvent(QKeyEvent *event)
{
    consumedKeyDown_ = false;
    if (const std::optional<KeyCommand> command = keyCommandForEvent(event))
        consumedKeyDown_ = doCommand(*command);
    if (!consumedKeyDown_)
        QWidget::keyPressEvent(event);
}

bool oruMetaView::doCommand(KeyCommand command)
{
    switch (command) {
    case KeyCommand::selectAll:
    case KeyCommand::deleteBackward:
        for (MUPhotoView *grid : findChildren<MUPhotoView *>(Qt::FindDirectChildrenOnly))
            grid->doCommand(command);
        return true;
    case KeyCommand::scrollToBeginningOfDocument:
        ScrollViewExtras::scrollPoint(this, QPointF(0, 0));
        return true;
    case KeyCommand::scrollToEndOfDocument:
        if (QScrollArea *area = ScrollViewExtras::enclosingScrollArea(this))
            ScrollViewExtras::scrollToBottom(area);
        return true;
    case KeyCommand::insertTab:
        focusNextPrevChild(true);
        return true;
    default:
        return false;
    }
}

void oruMetaView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void oruMetaView::dragEnterEvent(QDragEnterEvent *event)
{
    FileDrops::acceptAsCopy(event);
}

void oruMetaView::dragMoveEvent(QDragMoveEvent *event)
{
    FileDrops::acceptAsCopy(event);
}

void oruMetaView::dropEvent(QDropEvent *event)
{
    FileDrops::openFiles(event);
    update();
}

} // namespace pondrel
