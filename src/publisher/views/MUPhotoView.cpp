// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/MUPhotoView.h"

#include "publisher/views/Artwork.h"
#include "publisher/views/FileDrops.h"
#include "publisher/views/GridNavigation.h"
#include "publisher/views/MUPhotoViewDelegate.h"
#include "publisher/views/PhotoViewHost.h"
#include "publisher/views/ScrollViewExtras.h"
#include "support/oruLog.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pondrel {

namespace {

constexpr qreal titleFontSize = 10.0;
constexpr int fastPhotoSide = 100;
constexpr qint64 resizeSettleMilliseconds = 1000;
constexpr int photoSizeTickMilliseconds = 500;
constexpr int spacingTickMilliseconds = 2000;
constexpr int liveResizeSettleMilliseconds = 250;

// A point inside a rectangle that owns its top and left edges but not its bottom and right.
bool mouseInRect(const QPointF &point, const QRectF &rect)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top()
        && point.y() < rect.bottom();
}

} // namespace

MUPhotoView::MUPhotoView(QWidget *parent)
    : QWidget(parent)
    , backgroundColor_(QColor::fromRgbF(0.5f, 0.5f, 0.5f))
    , borderOutlineColor_(QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f))
    , selectionBorderColor_(palette().color(QPalette::Highlight))
    , shadowBoxColor_(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    photoResizeTime_.start();
    connect(&photoResizeTimer_, &QTimer::timeout, this, &MUPhotoView::updatePhotoResizing);
    liveResizeTimer_.setSingleShot(true);
    liveResizeTimer_.setInterval(liveResizeSettleMilliseconds);
    connect(&liveResizeTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

MUPhotoView::~MUPhotoView() = default;

void MUPhotoView::setDelegate(MUPhotoViewDelegate *delegate)
{
    if (delegate == delegate_)
        return;
    delegate_ = delegate;
    emit delegateChanged();
}

void MUPhotoView::setPhotosArray(const QList<QImage> &photos)
{
    if (photosArray_ && *photosArray_ == photos)
        return;
    photosArray_ = photos;
    photosFastArray_ = QList<QImage>(photos.size());
    emit photosArrayChanged();
    ScrollViewExtras::scrollPoint(this, QPointF(0, 0));
    update();
}

void MUPhotoView::setSelectedPhotoIndexes(const std::optional<IndexSet> &indexes)
{
    if (indexes == selectedPhotoIndexes_)
        return;
    selectedPhotoIndexes_ = indexes;
    emit selectedPhotoIndexesChanged();
}

void MUPhotoView::setBackgroundColor(const QColor &color)
{
    if (color == backgroundColor_)
        return;
    backgroundColor_ = color;
    emit backgroundColorChanged();
    const QColor rgb = color.toRgb();
    const qreal brightness = (rgb.redF() + rgb.greenF() + rgb.blueF()) / 3;
    setShadowBoxColor(
        brightness < 0.5 ? QColor::fromRgbF(1, 1, 1, 0.5f) : QColor::fromRgbF(0, 0, 0, 0.5f));
    update();
}

void MUPhotoView::setShadowBoxColor(const QColor &color)
{
    changeAndRepaint(shadowBoxColor_, color, &MUPhotoView::shadowBoxColorChanged);
}

void MUPhotoView::setBorderOutlineColor(const QColor &color)
{
    changeAndRepaint(borderOutlineColor_, color, &MUPhotoView::borderOutlineColorChanged);
}

void MUPhotoView::setSelectionBorderColor(const QColor &color)
{
    changeAndRepaint(selectionBorderColor_, color, &MUPhotoView::selectionBorderColorChanged);
}

void MUPhotoView::setUseShadowBorder(bool use)
{
    changeAndRepaint(useShadowBorder_, use, &MUPhotoView::useShadowBorderChanged);
}

void MUPhotoView::setUseOutlineBorder(bool use)
{
    changeAndRepaint(useOutlineBorder_, use, &MUPhotoView::useOutlineBorderChanged);
}

void MUPhotoView::setUseShadowSelection(bool use)
{
    changeAndRepaint(useShadowSelection_, use, &MUPhotoView::useShadowSelectionChanged);
}

void MUPhotoView::setUseBorderSelection(bool use)
{
    changeAndRepaint(useBorderSelection_, use, &MUPhotoView::useBorderSelectionChanged);
}

void MUPhotoView::setPhotoSize(float size)
{
    changeAndResize(photoSize_, size, &MUPhotoView::photoSizeChanged, photoSizeTickMilliseconds);
}

void MUPhotoView::setPhotoVerticalSpacing(float spacing)
{
    changeAndResize(photoVerticalSpacing_, spacing, &MUPhotoView::photoVerticalSpacingChanged,
        spacingTickMilliseconds);
}

void MUPhotoView::setPhotoHorizontalSpacing(float spacing)
{
    changeAndResize(photoHorizontalSpacing_, spacing, &MUPhotoView::photoHorizontalSpacingChanged,
        spacingTickMilliseconds);
}

void MUPhotoView::changeAndResize(
    float &member, float value, void (MUPhotoView::*changed)(), int tickMilliseconds)
{
    if (member == value)
        return;
    member = value;
    emit(this->*changed)();
    startPhotoResizing(tickMilliseconds);
}

void MUPhotoView::startPhotoResizing(int tickMilliseconds)
{
    ScrollViewExtras::scrollRectToVisible(this, ScrollViewExtras::visibleRect(this));
    update();
    photoResizeTime_.start();
    isDonePhotoResizing_ = false;
    if (!photoResizeTimer_.isActive())
        photoResizeTimer_.start(tickMilliseconds);
}

void MUPhotoView::updatePhotoResizing()
{
    if (photoResizeTime_.elapsed() > resizeSettleMilliseconds) {
        isDonePhotoResizing_ = true;
        photoResizeTimer_.stop();
    }
    update();
}

quint32 MUPhotoView::photoCount() const
{
    if (photosArray_)
        return quint32(photosArray_->size());
    return delegate_ ? delegate_->photoCountForPhotoView(const_cast<MUPhotoView *>(this)) : 0;
}

void MUPhotoView::updateGridAndFrame()
{
    const quint32 count = photoCount();
    update();
    layout_.layOut(count, ScrollViewExtras::contentWidth(this),
        QSizeF(photoSize_ + photoHorizontalSpacing_, photoSize_ + photoVerticalSpacing_));
    setFocusPolicy(count > 0 ? Qt::StrongFocus : Qt::NoFocus);
    if (count == 0 && hasFocus())
        clearFocus();
    resize(layout_.frameSize());
    updateGeometry();
}

QRectF MUPhotoView::gridRectForIndex(quint32 index) const
{
    return layout_.gridRectForIndex(index);
}

QSizeF MUPhotoView::scaledPhotoSizeForSize(const QSizeF &size) const
{
    const qreal longest = std::max(size.width(), size.height());
    if (longest <= 0)
        return QSizeF(photoSize_, photoSize_);
    const qreal ratio = photoSize_ / longest;
    return QSizeF(size.width() * ratio, size.height() * ratio);
}

QRectF MUPhotoView::photoRectForIndex(quint32 index) const
{
    if (photoCount() == 0)
        return QRectF();
    const QImage photo = index < photoCount() ? photoAtIndex(index) : QImage();
    return CellPainter::photoRect(gridRectForIndex(index), photo.size(), photoSize_);
}

bool MUPhotoView::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const quint32 index = photoIndexForPoint(help->pos());
    const QString text
        = delegate_ && index < photoCount() ? delegate_->toolTipAtIndex(this, index) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
}

quint32 MUPhotoView::photoIndexForPoint(const QPointF &point) const
{
    return layout_.photoIndexForPoint(point);
}

IndexRange MUPhotoView::photoIndexRangeForRect(const QRectF &rect) const
{
    return layout_.photoIndexRangeForRect(rect, photoCount());
}

IndexSet MUPhotoView::selectionIndexes() const
{
    if (selectedPhotoIndexes_)
        return *selectedPhotoIndexes_;
    if (delegate_)
        return delegate_->selectionIndexesForPhotoView(const_cast<MUPhotoView *>(this));
    return {};
}

bool MUPhotoView::isPhotoSelectedAtIndex(quint32 index) const
{
    return selectionIndexes().contains(index);
}

void MUPhotoView::setSelectionIndexes(const IndexSet &indexes)
{
    std::optional<IndexSet> before;
    std::optional<IndexSet> after;
    if (selectedPhotoIndexes_) {
        before = selectedPhotoIndexes_;
        setSelectedPhotoIndexes(indexes);
        after = indexes;
    } else if (delegate_) {
        before = delegate_->selectionIndexesForPhotoView(this).below(photoCount());
        after = delegate_->willSetSelectionIndexes(this, indexes);
        delegate_->didSetSelectionIndexes(this, *after);
    }
    redisplaySelectionChange(before, after);
}

void MUPhotoView::redisplaySelectionChange(
    const std::optional<IndexSet> &before, const std::optional<IndexSet> &after)
{
    if (!before || !after) {
        update();
        return;
    }
    // Only cells on screen can need a repaint, so the work follows the window, not the list.
    const IndexRange visible = photoIndexRangeForRect(ScrollViewExtras::visibleRect(this));
    for (quint32 i = visible.location; i < visible.location + visible.length; ++i) {
        if (before->contains(i) != after->contains(i))
            update(gridRectForIndex(i).toAlignedRect());
    }
}

QImage MUPhotoView::photoAtIndex(quint32 index) const
{
    if (photosArray_)
        return index < quint32(photosArray_->size()) ? photosArray_->at(index) : QImage();
    return delegate_ ? delegate_->photoAtIndex(const_cast<MUPhotoView *>(this), index) : QImage();
}

QImage MUPhotoView::fastPhotoAtIndex(quint32 index) const
{
    if (photosArray_ && index < quint32(photosArray_->size())) {
        QImage &fast = photosFastArray_[index];
        const QImage &full = photosArray_->at(index);
        if (fast.isNull() && !full.isNull()) {
            const qreal factor = qreal(fastPhotoSide) / std::max(full.width(), full.height());
            fast = full.scaled(std::max(1, qRound(full.width() * factor)),
                std::max(1, qRound(full.height() * factor)), Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
        }
        return fast;
    }
    const QImage fast = delegate_
        ? delegate_->fastPhotoAtIndex(const_cast<MUPhotoView *>(this), index)
        : QImage();
    return fast.isNull() ? photoAtIndex(index) : fast;
}

QImage MUPhotoView::placeholder(qreal devicePixelRatio) const
{
    return Artwork::image(
        QStringLiteral("placeholder"), QSizeF(photoSize_, photoSize_), devicePixelRatio);
}

void MUPhotoView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    drawRect(painter, event->rect());
}

void MUPhotoView::drawRect(QPainter &painter, const QRectF &dirty)
{
    painter.fillRect(dirty, backgroundColor_);
    const IndexRange range = photoIndexRangeForRect(dirty);
    if (range.length == 0)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    // Pictures are scaled once, with the quality asked for, and drawn pixel for pixel; a
    // smoothing hint would only send every blit down the painter's slow transformed path.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);

    cellPainter_.setStyle(cellStyle(painter.device()->devicePixelRatioF()));
    const bool fastDrawing = liveResizeTimer_.isActive() || !isDonePhotoResizing_;
    const IndexSet selection = selectionIndexes();
    for (quint32 i = range.location; i < range.location + range.length; ++i) {
        const QRectF cell = gridRectForIndex(i);
        if (cell.intersects(dirty))
            drawCell(painter, i, cell, selection.contains(i), fastDrawing);
    }

    if (const std::optional<QRectF> band = mouse_.band()) {
        painter.setPen(Qt::white);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*band);
        painter.fillRect(*band, QColor::fromRgbF(0.8f, 0.8f, 0.8f, 0.5f));
    }
}

CellStyle MUPhotoView::cellStyle(qreal devicePixelRatio) const
{
    CellStyle style;
    style.devicePixelRatio = devicePixelRatio;
    style.smoothScaling = useHighQualityResize_;
    style.photoSize = photoSize_;
    style.shadowBoxColor = shadowBoxColor_;
    style.borderOutlineColor = borderOutlineColor_;
    style.selectionBorderColor = selectionBorderColor_;
    style.useShadowBorder = useShadowBorder_;
    style.useOutlineBorder = useOutlineBorder_;
    style.useShadowSelection = useShadowSelection_;
    style.useBorderSelection = useBorderSelection_;
    style.borderShadow = borderShadow_;
    style.selectionBorderWidth = selectionBorderWidth_;
    style.titleFont = font();
    style.titleFont.setPixelSize(int(titleFontSize));
    style.titleColor = palette().color(QPalette::ButtonText);
    return style;
}

void MUPhotoView::drawCell(
    QPainter &painter, quint32 index, const QRectF &cell, bool selected, bool fastDrawing)
{
    const qreal dpr = painter.device()->devicePixelRatioF();
    CellContent content;
    content.photo = fastDrawing ? fastPhotoAtIndex(index) : photoAtIndex(index);
    if (content.photo.isNull())
        content.photo = placeholder(dpr);
    content.selected = selected;
    // A source that does not answer leaves the flags as they are: the picture could not be had.
    content.retrievalFailed = true;
    if (delegate_) {
        content.icon = delegate_->smallIconAtIndex(this, index);
        content.title = delegate_->titleAtIndex(this, index);
        delegate_->attribsAtIndex(this, index, content.isShared, content.emailShared,
            content.webShared, content.retrievalFailed);
    }
    if (content.icon.isNull())
        ORU_LOG(QStringLiteral("icon is empty!"));
    cellPainter_.draw(painter, CellPainter::alignedToDevicePixels(cell, dpr), content);
}

void MUPhotoView::resizeEvent(QResizeEvent *event)
{
    if (event->oldSize().width() != event->size().width()) {
        liveResizeTimer_.start();
        update();
    }
    QWidget::resizeEvent(event);
}

void MUPhotoView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        // The context menu event follows and asks menuForEvent.
        secondaryMouseDown(event->position());
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    mouse_.countClick(event);
    primaryMouseDown(event->position(), event->modifiers(), event->globalPosition());
}

void MUPhotoView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (mouse_.repeatsLastPress(event))
        return;
    mouse_.countClick(event);
    primaryMouseDown(event->position(), event->modifiers(), event->globalPosition());
}

void MUPhotoView::primaryMouseDown(
    const QPointF &point, Qt::KeyboardModifiers modifiers, const QPointF &globalPoint)
{
    const quint32 clicked = photoIndexForPoint(point);
    const quint32 count = photoCount();
    if (clicked >= count)
        ORU_LOG(QStringLiteral("clickedIndex %1 > [photosArray count] %2").arg(clicked).arg(count));
    // Control-click is the one-button context-menu click; Qt reports that key as Meta.
    if (clicked < count && (modifiers & Qt::MetaModifier)) {
        ORU_LOG(QStringLiteral("controlKey. clickedIndex: %1").arg(clicked));
        mouse_.release();
        secondaryMouseDown(point);
        if (QMenu *menu = menuForEvent())
            menu->popup(globalPoint.toPoint());
        return;
    }
    const GridMouseSelection::PressResult result = mouse_.press(point, modifiers, clicked, count,
        mouseInRect(point, gridRectForIndex(clicked)), selectionIndexes());
    if (!result.setsSelection)
        return;
    if (result.clearsOtherGrids)
        PhotoViewHost::shared().resetAllSelectionIndexes();
    setSelectionIndexes(result.selection);
}

void MUPhotoView::secondaryMouseDown(const QPointF &point)
{
    mouse_.startAt(point);
    const quint32 clicked = photoIndexForPoint(point);
    PhotoViewHost::shared().resetAllSelectionIndexes();
    setSelectionIndexes(clicked < photoCount() ? IndexSet(clicked) : IndexSet());
}

void MUPhotoView::mouseMoveEvent(QMouseEvent *event)
{
    // A drag that began between the cells draws the selection band; one that began on a cell
    // does nothing (pictures are not dragged out of the grid).
    event->accept();
    const std::optional<QRectF> band
        = (event->buttons() & Qt::LeftButton) ? mouse_.dragTo(event->position()) : std::nullopt;
    if (!band)
        return;
    IndexSet underBand;
    const IndexRange range = photoIndexRangeForRect(*band);
    const quint32 end = std::min<quint64>(quint64(range.location) + range.length, photoCount());
    for (quint32 index = range.location; index < end; ++index) {
        if (gridRectForIndex(index).intersects(*band))
            underBand.add(index);
    }
    const IndexSet selection = mouse_.bandSelection(underBand);
    if (selection != selectionIndexes())
        setSelectionIndexes(selection);
    update();
}

void MUPhotoView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (mouse_.clickCount() == 2)
        reportDoubleClicks();
    mouse_.release();
    update();
}

void MUPhotoView::reportDoubleClicks()
{
    if (!delegate_)
        return;
    // The host may change the selection from its handler (opening an album), so it is read
    // again after every report.
    quint32 index = selectionIndexes().firstIndex();
    while (index != IndexSet::notFound && index < photoCount()) {
        delegate_->doubleClickOnPhotoAtIndex(this, index);
        index = selectionIndexes().indexGreaterThan(index);
    }
}

void MUPhotoView::contextMenuEvent(QContextMenuEvent *event)
{
    if (QMenu *menu = menuForEvent())
        menu->popup(event->globalPos());
}

QMenu *MUPhotoView::menuForEvent() const
{
    if (selectionIndexes().isEmpty())
        return nullptr;
    return PhotoViewHost::shared().contextualMenuForSelection(tag_);
}

void MUPhotoView::removePhotosAtIndexes(const IndexSet &indexes)
{
    const IndexSet removed
        = delegate_ ? delegate_->willRemovePhotosAtIndexes(this, indexes) : indexes;
    if (!removed.isEmpty() && photosArray_) {
        std::vector<quint32> doomed;
        for (quint32 index = removed.firstIndex();
             index != IndexSet::notFound && index < quint32(photosArray_->size());
             index = removed.indexGreaterThan(index))
            doomed.push_back(index);
        // From the back, so that the positions still to remove stay valid.
        for (auto index = doomed.rbegin(); index != doomed.rend(); ++index) {
            photosArray_->removeAt(*index);
            photosFastArray_.removeAt(*index);
        }
        emit photosArrayChanged();
    }
    if (delegate_)
        delegate_->didRemovePhotosAtIndexes(this, removed);
    IndexSet remaining = selectionIndexes();
    remaining.removeIndexes(removed);
    setSelectionIndexes(remaining);
}

void MUPhotoView::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void MUPhotoView::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void MUPhotoView::keyPressEvent(QKeyEvent *event)
{
    const std::optional<KeyCommand> command = keyCommandForEvent(event);
    if (!command || !doCommand(*command))
        QWidget::keyPressEvent(event);
}

void MUPhotoView::scrollIndexToVisible(quint32 index)
{
    if (index != IndexSet::notFound)
        ScrollViewExtras::scrollRectToVisible(this, gridRectForIndex(index));
}

void MUPhotoView::scrollToTopOfView()
{
    ScrollViewExtras::scrollPoint(this, QPointF(0, 0));
}

bool MUPhotoView::doCommand(KeyCommand command)
{
    switch (command) {
    case KeyCommand::deleteBackward:
        if (!selectionIndexes().isEmpty())
            removePhotosAtIndexes(selectionIndexes());
        return true;
    case KeyCommand::insertTab:
        focusNextPrevChild(true);
        return true;
    case KeyCommand::insertBackTab:
        focusNextPrevChild(false);
        return true;
    default:
        break;
    }
    const std::optional<GridMove> move
        = gridMoveForCommand(command, selectionIndexes(), photoCount(), layout_.columns());
    if (!move)
        return false;
    if (move->selection)
        setSelectionIndexes(*move->selection);
    switch (move->scroll) {
    case GridMove::Scroll::none:
        break;
    case GridMove::Scroll::top:
        scrollToTopOfView();
        break;
    case GridMove::Scroll::index:
        scrollIndexToVisible(move->index);
        break;
    case GridMove::Scroll::firstSelected:
        scrollIndexToVisible(selectionIndexes().firstIndex());
        break;
    case GridMove::Scroll::lastSelected:
        scrollIndexToVisible(selectionIndexes().lastIndex());
        break;
    }
    return true;
}

void MUPhotoView::dragEnterEvent(QDragEnterEvent *event)
{
    if (FileDrops::acceptAsCopy(event))
        update();
}

void MUPhotoView::dragMoveEvent(QDragMoveEvent *event)
{
    FileDrops::acceptAsCopy(event);
}

void MUPhotoView::dragLeaveEvent(QDragLeaveEvent *event)
{
    repaint();
    event->accept();
}

void MUPhotoView::dropEvent(QDropEvent *event)
{
    FileDrops::openFiles(event);
    update();
}

} // namespace pondrel
