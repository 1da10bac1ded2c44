// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/CellPainter.h"

#include "publisher/views/Artwork.h"
#include "publisher/views/CTGradient.h"
#include "publisher/views/StringTruncation.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

constexpr qreal photoInset = 15.0;
constexpr qreal cellBoxInset = 5.0;
constexpr qreal cellCornerRadius = 15.0;
constexpr qreal titleBandHeight = 25.0;
constexpr qreal badgeAdvance = 20.0;
// Enough for the thumbnails of several screenfuls at 2x.
constexpr qsizetype thumbnailCacheKilobytes = 16 * 1024;
constexpr qsizetype titleCacheEntries = 4096;

const char *const badgeNames[] = {"sml_failed", "sml_shared", "sml_emailshared", "sml_websharing"};

// The cell box: the cell inset by 5 with corners rounded by 15, and the line under the title
// band.
QPainterPath cellBoxPath(const QRectF &cell)
{
    const QRectF box = cell.adjusted(cellBoxInset, cellBoxInset, -cellBoxInset, -cellBoxInset);
    QPainterPath path;
    path.addRoundedRect(box, cellCornerRadius, cellCornerRadius);
    path.moveTo(box.left(), box.top() + titleBandHeight);
    path.lineTo(box.right(), box.top() + titleBandHeight);
    return path;
}

// The top 25 points of the cell box, rounded at the top and square at the bottom.
QPainterPath titleBandPath(const QRectF &cell)
{
    const QRectF box = cell.adjusted(cellBoxInset, cellBoxInset, -cellBoxInset, -cellBoxInset);
    const qreal r = cellCornerRadius;
    const qreal bottom = box.top() + titleBandHeight;
    QPainterPath path;
    path.moveTo(box.center().x(), box.top());
    path.lineTo(box.right() - r, box.top());
    path.arcTo(QRectF(box.right() - 2 * r, box.top(), 2 * r, 2 * r), 90, -90);
    path.lineTo(box.right(), bottom);
    path.lineTo(box.left(), bottom);
    path.lineTo(box.left(), box.top() + r);
    path.arcTo(QRectF(box.left(), box.top(), 2 * r, 2 * r), 180, -90);
    path.closeSubpath();
    return path;
}

QColor lightGray()
{
    return QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
}

QSize devicePixels(const QSizeF &size, qreal dpr)
{
    return QSize(std::max(1, int(std::lround(size.width() * dpr))),
        std::max(1, int(std::lround(size.height() * dpr))));
}

QPointF onDevicePixel(const QPointF &point, qreal dpr)
{
    return QPointF(std::round(point.x() * dpr) / dpr, std::round(point.y() * dpr) / dpr);
}

// A transparent image of one cell, to be painted on.
QImage emptyTile(const QSizeF &cellSize, qreal dpr)
{
    QImage image(devicePixels(cellSize, dpr), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

CellPainter::CellPainter()
    : thumbnails_(thumbnailCacheKilobytes)
{ }

QRectF CellPainter::photoRect(const QRectF &cell, const QSizeF &photo, qreal photoSize)
{
    const qreal longest = std::max(photo.width(), photo.height());
    const qreal ratio = longest > 0 ? photoSize / longest : 0;
    const QSizeF scaled = longest > 0 ? photo * ratio : QSizeF(photoSize, photoSize);
    return QRectF(cell.x() + photoInset, cell.y() + cell.height() - scaled.height() - photoInset,
        scaled.width(), scaled.height());
}

QRectF CellPainter::alignedToDevicePixels(const QRectF &rect, qreal dpr)
{
    const auto align = [dpr](qreal value) { return std::round(value * dpr) / dpr; };
    const qreal left = align(rect.left());
    const qreal top = align(rect.top());
    return QRectF(left, top, align(rect.right()) - left, align(rect.bottom()) - top);
}

void CellPainter::setStyle(const CellStyle &style)
{
    if (styled_ && style == style_)
        return;
    styled_ = true;
    if (style.titleFont != style_.titleFont)
        titles_.clear();
    if (style.devicePixelRatio != style_.devicePixelRatio
        || style.smoothScaling != style_.smoothScaling)
        thumbnails_.clear();
    style_ = style;
    tiles_.clear();
    for (size_t index = 0; index < badges_.size(); ++index)
        badges_[index]
            = Artwork::smallImage(QLatin1String(badgeNames[index]), style_.devicePixelRatio);
}

void CellPainter::draw(QPainter &painter, const QRectF &cell, const CellContent &content)
{
    const qreal dpr = style_.devicePixelRatio;
    const QRectF photoRect = CellPainter::photoRect(cell, content.photo.size(), style_.photoSize);
    const Tiles &tiles = tilesFor(cell.size());
    painter.drawImage(cell.topLeft(),
        content.selected && style_.useShadowSelection ? tiles.selected : tiles.plain);

    if (style_.useShadowBorder)
        drawShadow(painter, photoRect);
    painter.fillRect(photoRect, Qt::white);
    painter.drawImage(
        onDevicePixel(photoRect.topLeft(), dpr), scaledPhoto(content.photo, photoRect.size()));

    qreal iconWidth = 0;
    if (!content.icon.isNull()) {
        painter.drawImage(QPointF(cell.x() + photoInset, cell.y() + 10.0), content.icon);
        iconWidth = content.icon.deviceIndependentSize().width();
    }
    drawBadges(painter, photoRect, content);

    const Title &shown = title(content.title, cell.width() - iconWidth - 25.0);
    painter.setFont(style_.titleFont);
    painter.setPen(style_.titleColor);
    painter.drawStaticText(
        QPointF(cell.x() + photoInset + iconWidth + 3.0, cell.y() + shown.height), shown.text);

    painter.setBrush(Qt::NoBrush);
    const bool selectionBorder = content.selected && style_.useBorderSelection;
    if (selectionBorder) {
        painter.setPen(QPen(style_.selectionBorderColor, style_.selectionBorderWidth));
        painter.drawRect(photoRect);
    } else if (style_.useOutlineBorder) {
        painter.setPen(QPen(style_.borderOutlineColor, 1.0));
        painter.drawRect(photoRect.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    if (style_.useOutlineBorder)
        painter.drawImage(cell.topLeft(), selectionBorder ? tiles.selectedOutline : tiles.outline);
}

const CellPainter::Tiles &CellPainter::tilesFor(const QSizeF &cellSize)
{
    const QSize pixels = devicePixels(cellSize, style_.devicePixelRatio);
    const auto found = tiles_.constFind(pixels);
    if (found != tiles_.constEnd())
        return *found;
    const Tiles tiles {bandTile(cellSize, false), bandTile(cellSize, true),
        outlineTile(cellSize, style_.borderOutlineColor),
        outlineTile(cellSize, style_.selectionBorderColor)};
    return *tiles_.insert(pixels, tiles);
}

QImage CellPainter::bandTile(const QSizeF &cellSize, bool selected) const
{
    QImage image = emptyTile(cellSize, style_.devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cell(QPointF(0, 0), cellSize);
    if (selected)
        painter.fillPath(cellBoxPath(cell), style_.shadowBoxColor);
    const QPainterPath band = titleBandPath(cell);
    painter.setClipPath(band, Qt::IntersectClip);
    CTGradient::gradientWithBeginningColor(lightGray(), Qt::white)
        .fillRect(painter, band.boundingRect(), 0);
    return image;
}

QImage CellPainter::outlineTile(const QSizeF &cellSize, const QColor &color) const
{
    QImage image = emptyTile(cellSize, style_.devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.0));
    painter.drawPath(cellBoxPath(QRectF(QPointF(0, 0), cellSize)));
    return image;
}

QImage CellPainter::scaledPhoto(const QImage &photo, const QSizeF &size)
{
    const ThumbnailKey key {photo.cacheKey(), devicePixels(size, style_.devicePixelRatio)};
    if (const QImage *cached = thumbnails_.object(key))
        return *cached;
    QImage scaled
        = photo
              .scaled(key.pixels, Qt::IgnoreAspectRatio,
                  style_.smoothScaling ? Qt::SmoothTransformation : Qt::FastTransformation)
              .convertToFormat(photo.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                       : QImage::Format_RGB32);
    scaled.setDevicePixelRatio(style_.devicePixelRatio);
    const qsizetype kilobytes = std::max<qsizetype>(1, scaled.sizeInBytes() / 1024);
    thumbnails_.insert(key, new QImage(scaled), kilobytes);
    return scaled;
}

const CellPainter::Title &CellPainter::title(const QString &text, qreal width)
{
    QHash<qreal, Title> &widths = titles_[text];
    const auto found = widths.constFind(width);
    if (found != widths.constEnd())
        return *found;
    if (titles_.size() > titleCacheEntries) {
        titles_.clear();
        return title(text, width);
    }
    const QString shown = StringExtras::stringByTruncatingStringWithAttributesForWidth(
        text, width, style_.titleFont);
    Title entry;
    entry.text = QStaticText(shown);
    entry.text.setTextFormat(Qt::PlainText);
    entry.text.prepare(QTransform(), style_.titleFont);
    entry.height = QFontMetricsF(style_.titleFont).height();
    return *widths.insert(width, entry);
}

void CellPainter::drawShadow(QPainter &painter, const QRectF &rect) const
{
    // A soft shadow as a few widening translucent layers; the offset's y points up.
    const MUShadow &shadow = style_.borderShadow;
    const QRectF cast = rect.translated(shadow.offset.x(), -shadow.offset.y());
    const int layers = std::max(1, int(std::ceil(shadow.blurRadius)));
    const QColor layerColor = QColor::fromRgbF(0, 0, 0, 1.0f / 3 / layers);
    for (int layer = layers; layer >= 1; --layer) {
        const qreal spread = shadow.blurRadius * layer / layers / 2;
        painter.fillRect(cast.adjusted(-spread, -spread, spread, spread), layerColor);
    }
}

void CellPainter::drawBadges(
    QPainter &painter, const QRectF &photoRect, const CellContent &content) const
{
    const bool shown[]
        = {content.retrievalFailed, content.isShared, content.emailShared, content.webShared};
    QPointF origin(photoRect.right() + photoInset, photoRect.bottom() - 16.0);
    for (size_t index = 0; index < badges_.size(); ++index) {
        if (!shown[index])
            continue;
        painter.drawImage(origin, badges_[index]);
        origin.rx() += badgeAdvance;
    }
}

} // namespace pondrel
