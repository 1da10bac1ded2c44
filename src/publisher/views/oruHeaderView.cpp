// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/oruHeaderView.h"

#include "publisher/views/CTGradient.h"
#include "publisher/views/PhotoViewHost.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace pondrel {

oruHeaderView::oruHeaderView(QWidget *parent)
    : QWidget(parent)
    , headerAttributes_(font())
{
    headerAttributes_.setBold(true);
    headerAttributes_.setPixelSize(12);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void oruHeaderView::setHeaderText(const QString &text)
{
    headerText_ = text;
    update();
}

QSize oruHeaderView::sizeHint() const
{
    return QSize(int(ruleWidth), 34);
}

void oruHeaderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    painter.fillRect(bounds, Qt::white);
    const CTGradient rule = CTGradient::gradientWithBeginningColor(
        QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3), Qt::white);
    rule.fillRect(painter, QRectF(bounds.x(), bounds.height() - 13.0, ruleWidth, 3.0), 0);
    painter.setFont(headerAttributes_);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(bounds.x() + 5.0, bounds.y() + 5.0, bounds.width(), bounds.height()),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, headerText_);
}

void oruHeaderView::mousePressEvent(QMouseEvent *event)
{
    PhotoViewHost::shared().resetAllSelectionIndexes();
    event->accept();
}

} // namespace pondrel
