// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QAbstractButton>
#include <QImage>

namespace pondrel {

// A flat toolbar button: its image at the top edge, centred, and its title at the bottom edge.
class ToolbarButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToolbarButton(QWidget *parent = nullptr);

    QImage image() const { return image_; }
    void setImage(const QImage &image);
    // Shown while pressed; without one the image is shown darkened.
    QImage alternateImage() const { return alternateImage_; }
    void setAlternateImage(const QImage &image);

    // The image with black at 30 % laid over its opaque pixels only; a null image for none.
    static QImage highlightedImageForImage(const QImage &image);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage image_;
    QImage alternateImage_;
};

} // namespace pondrel
