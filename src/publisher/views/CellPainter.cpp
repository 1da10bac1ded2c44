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
#include <memory>

namespace pondrel {

namespace {

constexpr qreal photoInset = 15.0;
constexpr qreal cellBoxInset = 5.0;
constexpr qreal cellCornerRadius = 15.0;
constexpr qreal titleBandHeight = 25.0;
constexpr qreal badgeAdvance = 20.0;
// Enough for the thumbnails, shadows, borders and titles of several screenfuls at 2x.
constexpr qsizetype thumbnailCacheKilobytes = 16 * 1024;
constexpr qsizetype photoStampCacheKilobytes = 16 * 1024;
constexpr qsizetype titleCacheKilobytes = 8 * 1024;
// A grid's columns differ by a pixel at most, so a few sizes serve a layout and the one before.
constexpr qsizetype cellSizesKept = 16;

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

// The parts of a tile that hold paint, as few rectangles: runs of 8-pixel blocks with paint
// along each row of blocks, joined down the rows while each row has as many runs as the one
// above and they overlap. Every part costs a blit call, which outweighs blending the few
// transparent pixels such joins take in.
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
    qsizetype previousRuns = 0;
    for (int row = 0; row < rows; ++row) {
        const int top = row * block;
        const int height = std::min(tile.height(), top + block) - top;
        QList<QRect> runs;
        for (int column = 0; column < columns; ++column) {
            if (!blockHasPaint(column, row))
                continue;
            const int right = std::min(tile.width(), (column + 1) * block) - 1;
            if (!runs.isEmpty() && runs.last().right() + 1 == column * block)
                runs.last().setRight(right);
            else
                runs.append(QRect(QPoint(column * block, top), QPoint(right, top + height - 1)));
        }
        const qsizetype first = parts.size() - previousRuns;
        bool joins
            = !runs.isEmpty() && runs.size() == previousRuns && parts.last().bottom() + 1 == top;
        for (qsizetype index = 0; joins && index < runs.size(); ++index) {
            const QRect &above = parts[first + index];
            joins = runs[index].left() <= above.right() && above.left() <= runs[index].right();
        }
        if (joins) {
            for (qsizetype index = 0; index < runs.size(); ++index)
                parts[first + index] |= runs[index];
        } else {
            parts.append(runs);
        }
        previousRuns = runs.size();
    }
    return parts;
}

} // namespace

CellPainter::CellPainter()
    : photoStamps_(photoStampCacheKilobytes)
    , thumbnails_(thumbnailCacheKilobytes)
    , titles_(titleCacheKilobytes)
{ }

qsizetype CellPainter::Stamp::kilobytes() const
{
    qsizetype bytes = 0;
    for (const Piece &piece : pieces)
        bytes += piece.image.sizeInBytes();
    return std::max<qsizetype>(1, bytes / 1024);
}

// Paints into a transparent image covering `bounds` (points), in the coordinates a stamp is
// drawn in, and keeps the parts that hold paint; or the whole image, for small pictures such
// as text where cutting costs more than it saves.
template <typename Paint>
CellPainter::Stamp CellPainter::stampOf(
    const QRectF &bounds, qreal dpr, bool whole, const Paint &paint)
{
    const QRect pixels = QRectF(bounds.topLeft() * dpr, bounds.size() * dpr).toAlignedRect();
    QImage image(pixels.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-QPointF(pixels.topLeft()) / dpr);
        paint(painter);
    }
    Stamp stamp;
    if (whole) {
        stamp.pieces.append({pixels.topLeft(), image});
        return stamp;
    }
    for (const QRect &part : paintedParts(image)) {
        QImage piece = image.copy(part);
        piece.setDevicePixelRatio(dpr);
        stamp.pieces.append({pixels.topLeft() + part.topLeft(), piece});
    }
    return stamp;
}

void CellPainter::drawStamp(QPainter &painter, const QPoint &pixel, const Stamp &stamp) const
{
    const qreal dpr = style_.devicePixelRatio;
    for (const Stamp::Piece &piece : stamp.pieces)
        painter.drawImage(QPointF(pixel + piece.offset) / dpr, piece.image);
}

template <typename Key, typename Make>
void CellPainter::drawCached(QPainter &painter, QCache<Key, Stamp> &cache, const Key &key,
    const QPoint &pixel, const Make &make) const
{
    if (const Stamp *cached = cache.object(key)) {
        drawStamp(painter, pixel, *cached);
        return;
    }
    auto made = std::make_unique<Stamp>(make());
    drawStamp(painter, pixel, *made);
    const qsizetype cost = made->kilobytes();
    cache.insert(key, made.release(), cost);
}

CellPainter::Anchor CellPainter::anchorOf(const QPointF &point) const
{
    const qreal dpr = style_.devicePixelRatio;
    const QPointF device = point * dpr;
    Anchor anchor;
    anchor.pixel = QPoint(int(std::floor(device.x())), int(std::floor(device.y())));
    anchor.phase = QPoint(int(std::lround((device.x() - anchor.pixel.x()) * 4)),
        int(std::lround((device.y() - anchor.pixel.y()) * 4)));
    return anchor;
}

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
    if (!styled_ || style.titleFont != style_.titleFont || style.titleColor != style_.titleColor
        || style.devicePixelRatio != style_.devicePixelRatio)
        titles_.clear();
    if (!styled_ || style.devicePixelRatio != style_.devicePixelRatio
        || style.smoothScaling != style_.smoothScaling)
        thumbnails_.clear();
    styled_ = true;
    style_ = style;
    titleHeight_ = QFontMetricsF(style_.titleFont).height();
    tiles_.clear();
    photoStamps_.clear();
    for (size_t index = 0; index < badges_.size(); ++index)
        badges_[index]
            = Artwork::smallImage(QLatin1String(badgeNames[index]), style_.devicePixelRatio);
}

void CellPainter::draw(QPainter &painter, const QRectF &cell, const CellContent &content)
{
    const qreal dpr = style_.devicePixelRatio;
    const QPoint cellPixel = (cell.topLeft() * dpr).toPoint();
    const QRectF photoRect = CellPainter::photoRect(cell, content.photo.size(), style_.photoSize);
    const Tiles &tiles = tilesFor(cell.size());
    drawStamp(painter, cellPixel,
        content.selected && style_.useShadowSelection ? tiles.selected : tiles.plain);

    drawAroundPhoto(painter, PhotoStampKind::Ground, photoRect);
    painter.drawImage(
        onDevicePixel(photoRect.topLeft(), dpr), scaledPhoto(content.photo, photoRect.size()));

    qreal iconWidth = 0;
    if (!content.icon.isNull()) {
        painter.drawImage(QPointF(cell.x() + photoInset, cell.y() + 10.0), content.icon);
        iconWidth = content.icon.deviceIndependentSize().width();
    }
    drawBadges(painter, photoRect, content);
    drawTitle(painter, content.title,
        QPointF(cell.x() + photoInset + iconWidth + 3.0, cell.y() + titleHeight_),
        cell.width() - iconWidth - 25.0);

    const bool selectionBorder = content.selected && style_.useBorderSelection;
    if (selectionBorder)
        drawAroundPhoto(painter, PhotoStampKind::SelectionBorder, photoRect);
    else if (style_.useOutlineBorder)
        drawAroundPhoto(painter, PhotoStampKind::Outline, photoRect);
    if (style_.useOutlineBorder)
        drawStamp(painter, cellPixel, selectionBorder ? tiles.selectedOutline : tiles.outline);
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
    // Every width the window is resized through makes a new cell size; keep only recent ones.
    if (tiles_.size() >= cellSizesKept)
        tiles_.clear();
    return *tiles_.insert(pixels, tiles);
}

CellPainter::Stamp CellPainter::bandTile(const QSizeF &cellSize, bool selected) const
{
    const QRectF cell(QPointF(0, 0), cellSize);
    return stampOf(cell, style_.devicePixelRatio, false, [&](QPainter &painter) {
        if (selected)
            painter.fillPath(cellBoxPath(cell), style_.shadowBoxColor);
        const QPainterPath band = titleBandPath(cell);
        painter.setClipPath(band, Qt::IntersectClip);
        CTGradient::gradientWithBeginningColor(lightGray(), Qt::white)
            .fillRect(painter, band.boundingRect(), 0);
    });
}

CellPainter::Stamp CellPainter::outlineTile(const QSizeF &cellSize, const QColor &color) const
{
    const QRectF cell(QPointF(0, 0), cellSize);
    return stampOf(cell, style_.devicePixelRatio, false, [&](QPainter &painter) {
        painter.setPen(QPen(color, 1.0));
        painter.drawPath(cellBoxPath(cell));
    });
}

void CellPainter::drawAroundPhoto(QPainter &painter, PhotoStampKind kind, const QRectF &photoRect)
{
    const qreal dpr = style_.devicePixelRatio;
    const Anchor anchor = anchorOf(photoRect.topLeft());
    const PhotoStampKey key {kind,
        QSize(int(std::lround(photoRect.width() * dpr * 4)),
            int(std::lround(photoRect.height() * dpr * 4))),
        anchor.phase};
    drawCached(painter, photoStamps_, key, anchor.pixel, [&] {
        // Drawn for the key's own geometry, so that every picture it stands for looks the same.
        const QRectF keyed(QPointF(anchor.phase) / 4 / dpr, QSizeF(key.size) / 4 / dpr);
        return photoStamp(kind, keyed);
    });
}

// Around a picture whose corner lies within the first device pixel: its soft shadow (a few
// widening translucent layers; the offset's y points up) and white ground, or its border.
CellPainter::Stamp CellPainter::photoStamp(PhotoStampKind kind, const QRectF &photoRect) const
{
    const qreal dpr = style_.devicePixelRatio;
    switch (kind) {
    case PhotoStampKind::Ground: {
        const MUShadow &shadow = style_.borderShadow;
        const QRectF cast = photoRect.translated(shadow.offset.x(), -shadow.offset.y());
        const qreal reach = std::ceil(shadow.blurRadius / 2) + 1;
        const QRectF bounds = style_.useShadowBorder
            ? photoRect.united(cast.adjusted(-reach, -reach, reach, reach))
            : photoRect;
        return stampOf(bounds, dpr, false, [&](QPainter &painter) {
            if (style_.useShadowBorder) {
                const int layers = std::max(1, int(std::ceil(shadow.blurRadius)));
                const QColor layerColor = QColor::fromRgbF(0, 0, 0, 1.0f / 3 / layers);
                for (int layer = layers; layer >= 1; --layer) {
                    const qreal spread = shadow.blurRadius * layer / layers / 2;
                    painter.fillRect(cast.adjusted(-spread, -spread, spread, spread), layerColor);
                }
            }
            painter.fillRect(photoRect, Qt::white);
        });
    }
    case PhotoStampKind::Outline:
        return stampOf(photoRect.adjusted(-1, -1, 1, 1), dpr, false, [&](QPainter &painter) {
            painter.setPen(QPen(style_.borderOutlineColor, 1.0));
            painter.drawRect(photoRect.adjusted(0.5, 0.5, -0.5, -0.5));
        });
    case PhotoStampKind::SelectionBorder: {
        const qreal reach = style_.selectionBorderWidth / 2 + 1;
        return stampOf(
            photoRect.adjusted(-reach, -reach, reach, reach), dpr, false, [&](QPainter &painter) {
                painter.setPen(QPen(style_.selectionBorderColor, style_.selectionBorderWidth));
                painter.drawRect(photoRect);
            });
    }
    }
    return {};
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

void CellPainter::drawTitle(
    QPainter &painter, const QString &text, const QPointF &topLeft, qreal width)
{
    if (text.isEmpty())
        return;
    const Anchor anchor = anchorOf(topLeft);
    const TitleKey key {text, width, anchor.phase};
    drawCached(painter, titles_, key, anchor.pixel, [&] {
        return titleStamp(text, QPointF(anchor.phase) / 4 / style_.devicePixelRatio, width);
    });
}

// The title cut to the width it may take, laid out once.
CellPainter::Stamp CellPainter::titleStamp(
    const QString &text, const QPointF &topLeft, qreal width) const
{
    const QString shown = StringExtras::stringByTruncatingStringWithAttributesForWidth(
        text, width, style_.titleFont);
    const QFontMetricsF metrics(style_.titleFont);
    const QRectF ink = metrics.boundingRect(shown).translated(0, metrics.ascent());
    const QRectF bounds = QRectF(0, 0, metrics.horizontalAdvance(shown), titleHeight_)
                              .united(ink)
                              .translated(topLeft)
                              .adjusted(-2, -2, 2, 2);
    return stampOf(bounds, style_.devicePixelRatio, true, [&](QPainter &painter) {
        painter.setFont(style_.titleFont);
        painter.setPen(style_.titleColor);
        painter.drawText(topLeft + QPointF(0, metrics.ascent()), shown);
    });
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
