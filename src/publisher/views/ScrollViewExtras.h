// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QPointF>
#include <QRectF>

class QAbstractScrollArea;
class QScrollArea;
class QWidget;

namespace pondrel {

// Scrolling helpers for documents shown in a scroll area. Widget coordinates grow downwards, so
// the top of a document is always its y = 0.
namespace ScrollViewExtras {

void scrollToTop(QAbstractScrollArea *scrollArea);
void scrollToBottom(QAbstractScrollArea *scrollArea);

// The nearest scroll area that shows widget (as its document or inside it), or none.
QScrollArea *enclosingScrollArea(const QWidget *widget);
// Width of the enclosing scroll area's viewport; the parent's or the widget's own width when the
// widget is not scrolled.
int contentWidth(const QWidget *widget);
// The part of the widget that the enclosing viewport shows, in the widget's coordinates.
QRectF visibleRect(const QWidget *widget);
// Scrolls the least distance that brings rect (in the widget's coordinates) into view.
void scrollRectToVisible(QWidget *widget, const QRectF &rect);
// Scrolls so that point (in the widget's coordinates) is the top-left corner of the view.
void scrollPoint(QWidget *widget, const QPointF &point);

} // namespace ScrollViewExtras

} // namespace pondrel
