// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QCache>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QStaticText>
#include <QString>

#include <array>

class QPainter;

namespace pondrel {

// A shadow cast under a picture. The offset follows the drawing convention of shadows: a
// negative y casts the shadow downwards on screen.
struct MUShadow
{
    QPointF offset;
    qreal blurRadius = 0;
    bool operator==(const MUShadow &) const = default;
};

// How every cell of a grid looks: the grid's properties and the title font, the same for all
// cells of one paint.
struct CellStyle
{
    qreal devicePixelRatio = 1;
    bool smoothScaling = true;
    qreal photoSize = 100;
    QColor shadowBoxColor;
    QColor borderOutlineColor;
    QColor selectionBorderColor;
    bool useShadowBorder = false;
    bool useOutlineBorder = true;
    bool useShadowSelection = true;
    bool useBorderSelection = true;
    MUShadow borderShadow;
    float selectionBorderWidth = 3.0f;
    QFont titleFont;
    QColor titleColor;
    bool operator==(const CellStyle &) const = default;
};

// What one cell shows.
struct CellContent
{
    QImage photo;
    QImage icon;
    QString title;
    bool selected = false;
    bool isShared = false;
    bool emailShared = false;
    bool webShared = false;
    bool retrievalFailed = false;
};

// Paints grid cells: the cell box with its gradient title band, the picture scaled to fit with
// its shadow and outline, the type icon, the truncated title and the status badges. What all
// cells share (the box and band as tiles, the badges) is drawn once per style and cell size,
// and each picture is scaled once per size, so a paint costs blits, not path filling,
// resampling and text layout.
class CellPainter
{
public:
    CellPainter();

    // Where the picture of a given pixel size sits in a cell: scaled to fit photoSize, at the
    // left and 15 above the bottom.
    static QRectF photoRect(const QRectF &cell, const QSizeF &photo, qreal photoSize);
    // Edges moved to whole device pixels so that outlines stay sharp.
    static QRectF alignedToDevicePixels(const QRectF &rect, qreal dpr);

    void setStyle(const CellStyle &style);
    // Paints one cell; `cell` is the cell's rectangle aligned to device pixels.
    void draw(QPainter &painter, const QRectF &cell, const CellContent &content);

private:
    struct ThumbnailKey
    {
        qint64 image = 0;
        QSize pixels;
        bool operator==(const ThumbnailKey &) const = default;
    };
    friend size_t qHash(const ThumbnailKey &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.image, key.pixels.width(), key.pixels.height());
    }
    struct Title
    {
        QStaticText text;
        qreal height = 0;
    };

    // A mostly transparent image and the parts of it (device pixels) that hold paint, so that
    // drawing it blends only those.
    struct Tile
    {
        QImage image;
        QList<QRect> parts;
    };
    struct Tiles
    {
        Tile plain;
        Tile selected;
        Tile outline;
        Tile selectedOutline;
    };
    struct ShadowKey
    {
        QSize size;
        QPoint phase;
        bool operator==(const ShadowKey &) const = default;
    };
    friend size_t qHash(const ShadowKey &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.size.width(), key.size.height(), key.phase.x(), key.phase.y());
    }

    const Tiles &tilesFor(const QSizeF &cellSize);
    Tile bandTile(const QSizeF &cellSize, bool selected) const;
    Tile outlineTile(const QSizeF &cellSize, const QColor &color) const;
    const Tile &shadowTile(const QRectF &photoRect, QPointF &origin);
    QImage scaledPhoto(const QImage &photo, const QSizeF &size);
    const Title &title(const QString &text, qreal width);
    void drawShadow(QPainter &painter, const QRectF &photoRect);
    void drawBadges(QPainter &painter, const QRectF &photoRect, const CellContent &content) const;

    CellStyle style_;
    bool styled_ = false;
    // By cell size in device pixels (columns of one grid differ by at most a pixel).
    QHash<QSize, Tiles> tiles_;
    // By the picture's size and where it falls within a device pixel, in quarters.
    QHash<ShadowKey, Tile> shadows_;
    std::array<QImage, 4> badges_;
    QCache<ThumbnailKey, QImage> thumbnails_;
    QHash<QString, QHash<qreal, Title>> titles_;
};

} // namespace pondrel
