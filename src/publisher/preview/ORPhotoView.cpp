// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/ORPhotoView.h"

#include "publisher/preview/LoadingSpinner.h"
#include "publisher/views/StringTruncation.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace pondrel {

namespace {

qreal roundHalfUp(qreal value)
{
    return std::floor(value + 0.5);
}

QFont boldSystemFont(const QWidget &widget)
{
    QFont font = widget.font();
    font.setBold(true);
    return font;
}

QFont smallSystemFont(const QWidget &widget)
{
    QFont font = widget.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

} // namespace

ORPhotoView::ORPhotoView(QWidget *parent)
    : QWidget(parent)
    , m_spinner(new LoadingSpinner(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ORPhotoView::setItem(const oruItem &item)
{
    m_item = item;
    updateSpinner();
    update();
}

void ORPhotoView::setPreviewPic(const QString &key, const QImage &preview)
{
    if (key != m_item.uniqueID())
        return;
    m_item.setPreviewPic(preview);
    updateSpinner();
    update();
}

void ORPhotoView::setPreviewPending(bool pending)
{
    m_previewPending = pending;
    updateSpinner();
    update();
}

bool ORPhotoView::showsLoading() const
{
    return m_previewPending && !m_item.previewPic() && !m_item.previewURL().isEmpty();
}

QRectF ORPhotoView::usableBounds() const
{
    return QRectF(0, kTextsHeight, width(), height() - kTextsHeight - kBottomMargin);
}

QSizeF ORPhotoView::previewSize() const
{
    return m_item.previewPic() ? QSizeF(m_item.previewPic()->deviceIndependentSize()) : QSizeF();
}

qreal ORPhotoView::photoReduction() const
{
    const QRectF usable = usableBounds();
    const QSizeF preview = previewSize();
    if (preview.isEmpty())
        return 1.0;
    if (usable.width() > preview.width() && usable.height() > preview.height())
        return 1.0;
    return std::min(usable.width() / preview.width(), usable.height() / preview.height());
}

QRectF ORPhotoView::photoRectInImageView() const
{
    const QRectF usable = usableBounds();
    const QSizeF preview = previewSize();
    const qreal reduction = photoReduction();
    const qreal w = roundHalfUp(preview.width() * reduction);
    const qreal h = roundHalfUp(preview.height() * reduction);
    return QRectF(usable.x() + roundHalfUp((usable.width() - w) / 2),
        usable.y() + roundHalfUp((usable.height() - h) / 2), w, h);
}

void ORPhotoView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (m_item.previewPic())
        drawPreview(painter);
    else if (showsLoading())
        drawLoading(painter);
    drawTexts(painter);
}

void ORPhotoView::drawPreview(QPainter &painter) const
{
    const QRectF photo = photoRectInImageView();
    // A soft shadow: concentric translucent rectangles fading out over the blur radius.
    const QRectF shadow = photo.translated(kShadowOffset);
    painter.setPen(Qt::NoPen);
    for (int ring = int(kShadowBlur); ring >= 1; --ring) {
        painter.setBrush(QColor(0, 0, 0, 70 / (ring + 1)));
        painter.drawRoundedRect(shadow.adjusted(-ring, -ring, ring, ring), ring, ring);
    }
    painter.fillRect(photo, Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(photo, *m_item.previewPic());
}

void ORPhotoView::drawLoading(QPainter &painter) const
{
    const QFont font = boldSystemFont(*this);
    const QString text = tr("Loading...");
    const QFontMetricsF metrics(font);
    const qreal textWidth = metrics.horizontalAdvance(text);
    const QRectF spinner = m_spinner->geometry();
    const QRectF textRect(
        spinner.center().x() - textWidth / 2, spinner.top() + 40.0, textWidth, metrics.height());
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignCenter, text);
}

void ORPhotoView::drawTexts(QPainter &painter) const
{
    const QRectF usable = usableBounds();
    painter.setPen(palette().color(QPalette::WindowText));

    const QFont nameFont = boldSystemFont(*this);
    const QFontMetricsF nameMetrics(nameFont);
    const QRectF nameRect(usable.x(), 10.0, usable.width(), nameMetrics.height());
    painter.setFont(nameFont);
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop, m_item.name());

    const QFont commentFont = smallSystemFont(*this);
    const QString comment = StringExtras::stringByTruncatingStringWithAttributesForWidth(
        m_item.comment(), usable.width() - 20.0, commentFont);
    const QRectF commentRect(
        usable.x(), nameRect.bottom(), usable.width(), QFontMetricsF(commentFont).height());
    painter.setFont(commentFont);
    painter.drawText(commentRect, Qt::AlignHCenter | Qt::AlignTop, comment);
}

void ORPhotoView::updateSpinner()
{
    centreSpinner();
    if (showsLoading())
        m_spinner->startAnimation();
    else
        m_spinner->stopAnimation();
}

void ORPhotoView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    centreSpinner();
}

void ORPhotoView::centreSpinner()
{
    m_spinner->move((width() - LoadingSpinner::kSide) / 2, (height() - LoadingSpinner::kSide) / 2);
}

void ORPhotoView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Right:
        emit nextRequested();
        break;
    case Qt::Key_Left:
        emit previousRequested();
        break;
    case Qt::Key_Escape:
        emit backRequested();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ORPhotoView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void ORPhotoView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace pondrel
