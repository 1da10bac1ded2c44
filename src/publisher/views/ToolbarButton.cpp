// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/ToolbarButton.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cstdlib>

namespace pondrel {

namespace {

constexpr qreal disabledOpacity = 0.4;
constexpr qreal highlightAlpha = 0.3;

} // namespace

ToolbarButton::ToolbarButton(QWidget *parent)
    : QAbstractButton(parent)
{
    QFont titleFont = font();
    titleFont.setPixelSize(10);
    setFont(titleFont);
}

void ToolbarButton::setImage(const QImage &image)
{
    image_ = image;
    update();
}

void ToolbarButton::setAlternateImage(const QImage &image)
{
    alternateImage_ = image;
    update();
}

QImage ToolbarButton::highlightedImageForImage(const QImage &image)
{
    if (image.isNull())
        return {};
    QImage highlighted(image.size(), QImage::Format_ARGB32_Premultiplied);
    highlighted.setDevicePixelRatio(image.devicePixelRatio());
    highlighted.fill(Qt::transparent);
    QPainter painter(&highlighted);
    painter.drawImage(QPointF(0, 0), image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(QRectF(QPointF(0, 0), image.deviceIndependentSize()),
        QColor::fromRgbF(0, 0, 0, highlightAlpha));
    return highlighted;
}

QSize ToolbarButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const QSizeF imageSize = image_.deviceIndependentSize();
    return QSize(int(std::max(imageSize.width(), metrics.horizontalAdvance(text()))) + 8,
        int(imageSize.height() + metrics.height()) + 2);
}

void ToolbarButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    const bool pressed = isEnabled() && isDown();

    QImage shown = image_;
    if (pressed)
        shown = alternateImage_.isNull() ? highlightedImageForImage(image_) : alternateImage_;
    if (!shown.isNull()) {
        painter.setOpacity(isEnabled() ? 1.0 : disabledOpacity);
        const qreal x = (bounds.width() - shown.deviceIndependentSize().width()) / 2;
        painter.drawImage(QPointF(x, 0), shown);
        painter.setOpacity(1.0);
    }

    const QFontMetricsF metrics(font());
    const qreal titleWidth = metrics.horizontalAdvance(text());
    const qreal titleHeight = metrics.height();
    const int spare = std::abs(int(titleWidth - bounds.width()));
    const QPointF titleOrigin(bounds.x() + spare / 2, bounds.y() + bounds.height() - titleHeight);
    const QRectF titleRect(titleOrigin, QSizeF(titleWidth + 1, titleHeight));
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
    if (pressed) {
        // A sharp black shadow one pixel to the left and below.
        painter.setPen(QColor(0, 0, 0, 200));
        painter.drawText(titleRect.translated(-1.0, 1.0), flags, text());
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(titleRect, flags, text());
}

} // namespace pondrel
