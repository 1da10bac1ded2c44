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

// The parts of a tile that hold paint, as few rectangles: 8-pixel blocks with paint, joined
// along each row of blocks and then down rows with the same runs.
QList<QRect> paintedParts(const QImage &tile)
{
    constexpr int block = 8;
    const int columns = (tile.width() + block - 1) / block;
    const int rows = (tile.height() + block - 1) / block;
    const auto blockHasPaint = [&](int column, int row) {
        for (int y = row * block; y < std::min(tile.height(), (row + 1) * block); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(tile.constScanLine(y));
            for (int x = column * block; x < std::min(tile.width(), (column + 1) * block); ++x) {
                if (qAlpha(line[x]) != 0)
                    return true;
            }
        }
        return false;
    };
    QList<QRect> parts;
    QList<QRect> previousRow;
    for (int row = 0; row < rows; ++row) {
        QList<QRect> runs;
        for (int column = 0; column < columns; ++column) {
            if (!blockHasPaint(column, row))
                continue;
            if (!runs.isEmpty() && runs.last().right() + 1 == column * block)
                runs.last().setRight(std::min(tile.width(), (column + 1) * block) - 1);
            else
                runs.append(QRect(column * block, row * block,
                    std::min(tile.width(), (column + 1) * block) - column * block, 0));
        }
        const int height = std::min(tile.height(), (row + 1) * block) - row * block;
        bool sameRuns = runs.size() == previousRow.size();
        for (qsizetype index = 0; sameRuns && index < runs.size(); ++index)
            sameRuns = runs[index].left() == previousRow[index].left()
                && runs[index].right() == previousRow[index].right();
        if (sameRuns && !runs.isEmpty()) {
            for (qsizetype index = 0; index < runs.size(); ++index)
                parts[parts.size() - runs.size() + index].setBottom(row * block + height - 1);
        } else {
            for (QRect &run : runs) {
                run.setHeight(height);
                parts.append(run);
            }
        }
        previousRow = runs;
    }
    return parts;
}

void drawTile(
    QPainter &painter, const QPointF &origin, const QImage &image, const QList<QRect> &parts)
{
    const qreal dpr = image.devicePixelRatio();
    for (const QRect &part : parts)
        painter.drawImage(origin + QPointF(part.topLeft()) / dpr, image, QRectF(part));
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
    shadows_.clear();
    for (size_t index = 0; index < badges_.size(); ++index)
        badges_[index]
            = Artwork::smallImage(QLatin1String(badgeNames[index]), style_.devicePixelRatio);
}

void CellPainter::draw(QPainter &painter, const QRectF &cell, const CellContent &content)
{
    const qreal dpr = style_.devicePixelRatio;
    const QRectF photoRect = CellPainter::photoRect(cell, content.photo.size(), style_.photoSize);
    const Tiles &tiles = tilesFor(cell.size());
    const Tile &under
        = content.selected && style_.useShadowSelection ? tiles.selected : tiles.plain;
    drawTile(painter, cell.topLeft(), under.image, under.parts);

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
    if (style_.useOutlineBorder) {
        const Tile &outline = selectionBorder ? tiles.selectedOutline : tiles.outline;
        drawTile(painter, cell.topLeft(), outline.image, outline.parts);
    }
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

CellPainter::Tile CellPainter::bandTile(const QSizeF &cellSize, bool selected) const
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
    painter.end();
    return Tile {image, paintedParts(image)};
}

CellPainter::Tile CellPainter::outlineTile(const QSizeF &cellSize, const QColor &color) const
{
    QImage image = emptyTile(cellSize, style_.devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.0));
    painter.drawPath(cellBoxPath(QRectF(QPointF(0, 0), cellSize)));
    painter.end();
    return Tile {image, paintedParts(image)};
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

void CellPainter::drawShadow(QPainter &painter, const QRectF &photoRect)
{
    QPointF origin;
    const Tile &shadow = shadowTile(photoRect, origin);
    drawTile(painter, origin, shadow.image, shadow.parts);
}

// A soft shadow as a few widening translucent layers; the offset's y points up. Drawn once per
// picture size and position within a device pixel, at the picture's place in a tile; what the
// picture covers is left out, as the picture's white ground is painted over it.
const CellPainter::Tile &CellPainter::shadowTile(const QRectF &photoRect, QPointF &origin)
{
    const qreal dpr = style_.devicePixelRatio;
    const MUShadow &shadow = style_.borderShadow;
    const QRectF cast = photoRect.translated(shadow.offset.x(), -shadow.offset.y());
    const qreal reach = std::ceil(shadow.blurRadius / 2) + 1;
    const QPointF corner = cast.topLeft() - QPointF(reach, reach);
    origin = QPointF(std::floor(corner.x() * dpr), std::floor(corner.y() * dpr)) / dpr;
    const QPointF phase = (corner - origin) * dpr;
    const ShadowKey key {QSize(int(std::lround(photoRect.width() * dpr * 4)),
                             int(std::lround(photoRect.height() * dpr * 4))),
        QPoint(int(std::lround(phase.x() * 4)), int(std::lround(phase.y() * 4)))};
    const auto found = shadows_.constFind(key);
    if (found != shadows_.constEnd())
        return *found;

    const QRectF local = cast.translated(-origin);
    const QRectF picture = photoRect.translated(-origin);
    QImage image(devicePixels(local.size() + QSizeF(2 * reach + 1, 2 * reach + 1), dpr),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int layers = std::max(1, int(std::ceil(shadow.blurRadius)));
    const QColor layerColor = QColor::fromRgbF(0, 0, 0, 1.0f / 3 / layers);
    for (int layer = layers; layer >= 1; --layer) {
        const qreal spread = shadow.blurRadius * layer / layers / 2;
        painter.fillRect(local.adjusted(-spread, -spread, spread, spread), layerColor);
    }
    // Whole device pixels under the picture, in the tile's own coordinates.
    const QPointF coveredTopLeft(std::ceil(picture.left() * dpr), std::ceil(picture.top() * dpr));
    const QPointF coveredBottomRight(
        std::floor(picture.right() * dpr), std::floor(picture.bottom() * dpr));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(coveredTopLeft / dpr, coveredBottomRight / dpr), Qt::transparent);
    painter.end();
    if (shadows_.size() > 256)
        shadows_.clear();
    return *shadows_.insert(key, Tile {image, paintedParts(image)});
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
