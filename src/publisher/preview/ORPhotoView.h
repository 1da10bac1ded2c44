// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"

#include <QImage>
#include <QRectF>
#include <QWidget>

namespace pondrel {

class LoadingSpinner;

// The full picture view: the item's preview centred and never enlarged, with a shadow, its name
// and description above, and a spinner with "Loading..." while the preview is on its way.
// Qt's coordinates grow downwards, so the 60 points for the texts are at the top of the bounds
// and the 20-point margin at the bottom.
class ORPhotoView : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal kBottomMargin = 20.0;
    static constexpr qreal kTextsHeight = 60.0;
    static constexpr QPointF kShadowOffset {2.0, 3.0};
    static constexpr qreal kShadowBlur = 5.0;

    explicit ORPhotoView(QWidget *parent = nullptr);

    const oruItem &item() const { return m_item; }
    void setItem(const oruItem &item);
    // The preview of the shown item has arrived (ignored for any other key).
    void setPreviewPic(const QString &key, const QImage &preview);
    // Whether a preview request is in flight: "Loading..." shows only then, so a preview that
    // failed does not promise one for ever.
    void setPreviewPending(bool pending);
    bool isPreviewPending() const { return m_previewPending; }

    QRectF usableBounds() const;
    qreal photoReduction() const;
    QRectF photoRectInImageView() const;

    LoadingSpinner *loadingSpinner() const { return m_spinner; }

signals:
    void nextRequested(); // moveRight: → displayNextPic:
    void previousRequested(); // moveLeft: → displayPrevPic:
    void backRequested(); // Escape → goBrowser:

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QSizeF previewSize() const;
    bool showsLoading() const;
    void drawPreview(QPainter &painter) const;
    void drawLoading(QPainter &painter) const;
    void drawTexts(QPainter &painter) const;
    void updateSpinner();
    void centreSpinner();

    oruItem m_item;
    bool m_previewPending = false;
    LoadingSpinner *m_spinner;
};

} // namespace pondrel
