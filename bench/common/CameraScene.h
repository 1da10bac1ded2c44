// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace pondrel {

// A camera-like 4000 x 3000 picture: smooth gradients and some detail, so the JPEG has a
// realistic size.
inline QImage cameraScene()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 4000, 3000);
    sky.setColorAt(0, QColor(30, 90, 200));
    sky.setColorAt(1, QColor(240, 200, 120));
    painter.fillRect(image.rect(), sky);
    for (int index = 0; index < 400; ++index)
        painter.fillRect((index * 997) % 3900, (index * 613) % 2900, 60 + index % 90,
            40 + index % 70, QColor::fromHsv((index * 37) % 360, 180, 200));
    return image;
}

} // namespace pondrel
