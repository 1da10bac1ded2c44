// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/views/CellPainter.h"
#include "publisher/views/GridLayout.h"
#include "publisher/views/GridMouseSelection.h"
#include "publisher/views/IndexSet.h"
#include "publisher/views/KeyCommand.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include <optional>

class QMenu;
class QPainter;

namespace pondrel {

class MUPhotoViewDelegate;

// The scrollable grid of thumbnail cells: each cell holds a picture scaled to fit, a title band
// with a type icon and the truncated title, and status badges. It owns layout, drawing, hit
// testing, selection by mouse and keyboard, and accepts dropped files; it asks its delegate for
// everything it shows. Coordinates are device-independent pixels with y growing downwards.
class MUPhotoView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor NOTIFY
            backgroundColorChanged)
    Q_PROPERTY(QColor shadowBoxColor READ shadowBoxColor WRITE setShadowBoxColor NOTIFY
            shadowBoxColorChanged)
    Q_PROPERTY(QColor borderOutlineColor READ borderOutlineColor WRITE setBorderOutlineColor NOTIFY
            borderOutlineColorChanged)
    Q_PROPERTY(QColor selectionBorderColor READ selectionBorderColor WRITE setSelectionBorderColor
            NOTIFY selectionBorderColorChanged)
    Q_PROPERTY(bool useShadowBorder READ useShadowBorder WRITE setUseShadowBorder NOTIFY
            useShadowBorderChanged)
    Q_PROPERTY(bool useOutlineBorder READ useOutlineBorder WRITE setUseOutlineBorder NOTIFY
            useOutlineBorderChanged)
    Q_PROPERTY(bool useShadowSelection READ useShadowSelection WRITE setUseShadowSelection NOTIFY
            useShadowSelectionChanged)
    Q_PROPERTY(bool useBorderSelection READ useBorderSelection WRITE setUseBorderSelection NOTIFY
            useBorderSelectionChanged)
    Q_PROPERTY(bool useHighQualityResize READ useHighQualityResize WRITE setUseHighQualityResize)
    Q_PROPERTY(float photoSize READ photoSize WRITE setPhotoSize NOTIFY photoSizeChanged)
    Q_PROPERTY(float photoVerticalSpacing READ photoVerticalSpacing WRITE setPhotoVerticalSpacing
            NOTIFY photoVerticalSpacingChanged)
    Q_PROPERTY(float photoHorizontalSpacing READ photoHorizontalSpacing WRITE
            setPhotoHorizontalSpacing NOTIFY photoHorizontalSpacingChanged)
    Q_PROPERTY(float selectionBorderWidth READ selectionBorderWidth WRITE setSelectionBorderWidth)
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(
        QList<QImage> photosArray READ photosArray WRITE setPhotosArray NOTIFY photosArrayChanged)

public:
    explicit MUPhotoView(QWidget *parent = nullptr);
    ~MUPhotoView() override;

    MUPhotoViewDelegate *delegate() const { return delegate_; }
    // Not owned; the delegate must outlive the view or be replaced first.
    void setDelegate(MUPhotoViewDelegate *delegate);

    // The view's own pictures, shown instead of the delegate's when set.
    QList<QImage> photosArray() const { return photosArray_.value_or(QList<QImage>()); }
    bool hasPhotosArray() const { return photosArray_.has_value(); }
    void setPhotosArray(const QList<QImage> &photos);

    // The view's own selection, used instead of the delegate's when set.
    std::optional<IndexSet> selectedPhotoIndexes() const { return selectedPhotoIndexes_; }
    void setSelectedPhotoIndexes(const std::optional<IndexSet> &indexes);

    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor &color);
    QColor shadowBoxColor() const { return shadowBoxColor_; }
    void setShadowBoxColor(const QColor &color);
    QColor borderOutlineColor() const { return borderOutlineColor_; }
    void setBorderOutlineColor(const QColor &color);
    QColor selectionBorderColor() const { return selectionBorderColor_; }
    void setSelectionBorderColor(const QColor &color);
    bool useShadowBorder() const { return useShadowBorder_; }
    void setUseShadowBorder(bool use);
    bool useOutlineBorder() const { return useOutlineBorder_; }
    void setUseOutlineBorder(bool use);
    bool useShadowSelection() const { return useShadowSelection_; }
    void setUseShadowSelection(bool use);
    bool useBorderSelection() const { return useBorderSelection_; }
    void setUseBorderSelection(bool use);
    bool useHighQualityResize() const { return useHighQualityResize_; }
    void setUseHighQualityResize(bool use) { useHighQualityResize_ = use; }
    MUShadow borderShadow() const { return borderShadow_; }
    void setBorderShadow(const MUShadow &shadow) { borderShadow_ = shadow; }
    float selectionBorderWidth() const { return selectionBorderWidth_; }
    void setSelectionBorderWidth(float width) { selectionBorderWidth_ = width; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Size and spacing changes start a period of fast drawing that ends on the first timer tick
    // more than a second after the last change.
    float photoSize() const { return photoSize_; }
    void setPhotoSize(float size);
    float photoVerticalSpacing() const { return photoVerticalSpacing_; }
    void setPhotoVerticalSpacing(float spacing);
    float photoHorizontalSpacing() const { return photoHorizontalSpacing_; }
    void setPhotoHorizontalSpacing(float spacing);
    bool isDonePhotoResizing() const { return isDonePhotoResizing_; }
    void updatePhotoResizing();

    // Layout: recomputes the grid from the item count and the width of the enclosing scroll
    // area and resizes the view. Call it whenever either changes.
    void updateGridAndFrame();
    QSizeF gridSize() const { return layout_.gridSize(); }
    quint32 columns() const { return layout_.columns(); }
    quint32 rows() const { return layout_.rows(); }
    quint32 photoCount() const;

    // Geometry.
    QRectF gridRectForIndex(quint32 index) const;
    QRectF photoRectForIndex(quint32 index) const;
    QSizeF scaledPhotoSizeForSize(const QSizeF &size) const;
    // May answer an index at or beyond the count, or the index of a cell that does not contain
    // the point (a point right of the last column lands in a later row).
    quint32 photoIndexForPoint(const QPointF &point) const;
    IndexRange photoIndexRangeForRect(const QRectF &rect) const;

    // Selection.
    IndexSet selectionIndexes() const;
    void setSelectionIndexes(const IndexSet &indexes);
    bool isPhotoSelectedAtIndex(quint32 index) const;

    void removePhotosAtIndexes(const IndexSet &indexes);

    // Performs a key command; false when this view does not handle it.
    bool doCommand(KeyCommand command);
    // The host's context menu for the current selection, or none.
    QMenu *menuForEvent() const;

    // Paints the cells meeting dirty; the paint event's work, callable on any painter.
    void drawRect(QPainter &painter, const QRectF &dirty);

    QSize sizeHint() const override { return layout_.frameSize(); }
    QSize minimumSizeHint() const override { return QSize(0, layout_.frameSize().height()); }

signals:
    void delegateChanged();
    void photosArrayChanged();
    void selectedPhotoIndexesChanged();
    void backgroundColorChanged();
    void shadowBoxColorChanged();
    void borderOutlineColorChanged();
    void selectionBorderColorChanged();
    void useShadowBorderChanged();
    void useOutlineBorderChanged();
    void useShadowSelectionChanged();
    void useBorderSelectionChanged();
    void photoSizeChanged();
    void photoVerticalSpacingChanged();
    void photoHorizontalSpacingChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QImage photoAtIndex(quint32 index) const;
    QImage fastPhotoAtIndex(quint32 index) const;
    QImage placeholder(qreal devicePixelRatio) const;
    // Stores a property's new value, tells and repaints; nothing when it is the same.
    template <typename T>
    void changeAndRepaint(T &member, const T &value, void (MUPhotoView::*changed)())
    {
        if (member == value)
            return;
        member = value;
        emit(this->*changed)();
        update();
    }
    // Geometry changes settle over ticks of this length before the grid is laid out anew.
    void changeAndResize(
        float &member, float value, void (MUPhotoView::*changed)(), int tickMilliseconds);
    CellStyle cellStyle(qreal devicePixelRatio) const;
    void drawCell(
        QPainter &painter, quint32 index, const QRectF &cell, bool selected, bool fastDrawing);

    void startPhotoResizing(int tickMilliseconds);
    void redisplaySelectionChange(
        const std::optional<IndexSet> &before, const std::optional<IndexSet> &after);
    void scrollIndexToVisible(quint32 index);
    void scrollToTopOfView();

    void primaryMouseDown(
        const QPointF &point, Qt::KeyboardModifiers modifiers, const QPointF &globalPoint);
    void secondaryMouseDown(const QPointF &point);
    void reportDoubleClicks();

    MUPhotoViewDelegate *delegate_ = nullptr;
    bool useHighQualityResize_ = true;
    std::optional<QList<QImage>> photosArray_;
    // Low-resolution copies of photosArray_, a null image until built.
    mutable QList<QImage> photosFastArray_;
    std::optional<IndexSet> selectedPhotoIndexes_;
    QColor backgroundColor_;
    bool useShadowBorder_ = false;
    bool useOutlineBorder_ = true;
    MUShadow borderShadow_ {QPointF(2.0, -3.0), 5.0};
    MUShadow noShadow_ {QPointF(0, 0), 0};
    QColor borderOutlineColor_;
    bool useBorderSelection_ = true;
    bool useShadowSelection_ = true;
    QColor selectionBorderColor_;
    QColor shadowBoxColor_;
    float selectionBorderWidth_ = 3.0f;
    float photoSize_ = 100.0f;
    float photoVerticalSpacing_ = 25.0f;
    float photoHorizontalSpacing_ = 50.0f;
    GridLayout layout_;
    QTimer photoResizeTimer_;
    QElapsedTimer photoResizeTime_;
    bool isDonePhotoResizing_ = true;
    int tag_ = 0;

    // Width changes arrive as a stream while a window is dragged larger or smaller; until they
    // settle the view draws fast, as during a live resize.
    QTimer liveResizeTimer_;
    GridMouseSelection mouse_;
    CellPainter cellPainter_;
};

} // namespace pondrel
