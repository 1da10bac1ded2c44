// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QCache>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRectF>
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
// its shadow and outline, the type icon, the truncated title and the status badges. Everything
// but the picture itself is drawn once into a stamp (the box and band per cell size, the
// shadow, ground and borders per picture size, the title per text and width) and each picture
// is scaled once per size, so a paint costs blits, not path filling, stroking, resampling and
// text layout.
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

    // Paint made once and blended at many places: the parts of a mostly transparent image
    // that hold paint, each at its offset in device pixels from the place it is drawn at.
    struct Stamp
    {
        struct Piece
        {
            QPoint offset;
            QImage image;
        };
        QList<Piece> pieces;
        qsizetype kilobytes() const;
    };
    struct Tiles
    {
        Stamp plain;
        Stamp selected;
        Stamp outline;
        Stamp selectedOutline;
    };

    // What is painted around a picture depends on the picture's size and on where its corner
    // falls within a device pixel; both are keyed in quarters of a device pixel.
    enum class PhotoStampKind { Ground, Outline, SelectionBorder };
    struct PhotoStampKey
    {
        PhotoStampKind kind = PhotoStampKind::Ground;
        QSize size;
        QPoint phase;
        bool operator==(const PhotoStampKey &) const = default;
    };
    friend size_t qHash(const PhotoStampKey &key, size_t seed) noexcept
    {
        return qHashMulti(
            seed, int(key.kind), key.size.width(), key.size.height(), key.phase.x(), key.phase.y());
    }
    struct TitleKey
    {
        QString text;
        qreal width = 0;
        QPoint phase;
        bool operator==(const TitleKey &) const = default;
    };
    friend size_t qHash(const TitleKey &key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.text, key.width, key.phase.x(), key.phase.y());
    }

    // A place in device pixels and the quarter of a device pixel it lies in.
    struct Anchor
    {
        QPoint pixel;
        QPoint phase;
    };

    template <typename Paint>
    static Stamp stampOf(const QRectF &bounds, qreal dpr, bool whole, const Paint &paint);
    template <typename Key, typename Make>
    void drawCached(QPainter &painter, QCache<Key, Stamp> &cache, const Key &key,
        const QPoint &pixel, const Make &make) const;
    void drawStamp(QPainter &painter, const QPoint &pixel, const Stamp &stamp) const;
    Anchor anchorOf(const QPointF &point) const;

    const Tiles &tilesFor(const QSizeF &cellSize);
    Stamp bandTile(const QSizeF &cellSize, bool selected) const;
    Stamp outlineTile(const QSizeF &cellSize, const QColor &color) const;
    void drawAroundPhoto(QPainter &painter, PhotoStampKind kind, const QRectF &photoRect);
    Stamp photoStamp(PhotoStampKind kind, const QRectF &photoRect) const;
    QImage scaledPhoto(const QImage &photo, const QSizeF &size);
    void drawTitle(QPainter &painter, const QString &text, const QPointF &topLeft, qreal width);
    Stamp titleStamp(const QString &text, const QPointF &topLeft, qreal width) const;
    void drawBadges(QPainter &painter, const QRectF &photoRect, const CellContent &content) const;

    CellStyle style_;
    bool styled_ = false;
    qreal titleHeight_ = 0;
    // By cell size in device pixels (columns of one grid differ by at most a pixel).
    QHash<QSize, Tiles> tiles_;
    QCache<PhotoStampKey, Stamp> photoStamps_;
    std::array<QImage, 4> badges_;
    QCache<ThumbnailKey, QImage> thumbnails_;
    QCache<TitleKey, Stamp> titles_;
};

} // namespace pondrel
