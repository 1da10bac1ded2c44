// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/ScrollViewExtras.h"

#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace pondrel {

namespace ScrollViewExtras {

void scrollToTop(QAbstractScrollArea *scrollArea)
{
    scrollArea->horizontalScrollBar()->setValue(0);
    scrollArea->verticalScrollBar()->setValue(scrollArea->verticalScrollBar()->minimum());
}

void scrollToBottom(QAbstractScrollArea *scrollArea)
{
    scrollArea->horizontalScrollBar()->setValue(0);
    scrollArea->verticalScrollBar()->setValue(scrollArea->verticalScrollBar()->maximum());
}

QScrollArea *enclosingScrollArea(const QWidget *widget)
{
    for (QWidget *ancestor = widget->parentWidget(); ancestor;
         ancestor = ancestor->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(ancestor))
            return area;
    }
    return nullptr;
}

int contentWidth(const QWidget *widget)
{
    if (const QScrollArea *area = enclosingScrollArea(widget))
        return area->viewport()->width();
    if (const QWidget *parent = widget->parentWidget())
        return parent->width();
    return widget->width();
}

QRectF visibleRect(const QWidget *widget)
{
    const QScrollArea *area = enclosingScrollArea(widget);
    if (!area)
        return widget->rect();
    const QWidget *viewport = area->viewport();
    const QRect shown(widget->mapFrom(viewport, QPoint(0, 0)), viewport->size());
    return shown.intersected(widget->rect());
}

void scrollRectToVisible(QWidget *widget, const QRectF &rect)
{
    QScrollArea *area = enclosingScrollArea(widget);
    if (!area || !area->widget())
        return;
    const QPointF center = widget->mapTo(area->widget(), rect.center().toPoint());
    area->ensureVisible(int(center.x()), int(center.y()), int(std::ceil(rect.width() / 2)),
        int(std::ceil(rect.height() / 2)));
}

void scrollPoint(QWidget *widget, const QPointF &point)
{
    QScrollArea *area = enclosingScrollArea(widget);
    if (!area || !area->widget())
        return;
    const QPoint inDocument = widget->mapTo(area->widget(), point.toPoint());
    area->horizontalScrollBar()->setValue(inDocument.x());
    area->verticalScrollBar()->setValue(inDocument.y());
}

} // namespace ScrollViewExtras

} // namespace pondrel
