// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace pondrel {

// A decoded picture: its pixels, the colour profile embedded in its file, and its size in
// pixels as stored in the file. A picture decoded at a reduced scale (JPEG DCT scaling,
// JPEG 2000 resolution levels) keeps its full size, so that geometry is worked out in the file's
// own pixels whatever resolution the bitmap has; bitmapScale() maps the one onto the other.
// The bitmap is Format_RGB32, or Format_ARGB32_Premultiplied when it has transparency.
class Picture
{
public:
    Picture() = default;
    explicit Picture(QImage bitmap, QByteArray iccProfile = {});
    Picture(QImage bitmap, QByteArray iccProfile, QSize size, double bitmapScale);

    bool isValid() const;
    const QImage &bitmap() const { return m_bitmap; }
    const QByteArray &iccProfile() const { return m_iccProfile; }
    // Size in the file's pixels, the unit of all rendering geometry.
    QSize size() const { return m_size; }
    // Bitmap pixels per file pixel: 1 for a full decode, 1/8 for a JPEG decoded at 1/8.
    double bitmapScale() const { return m_bitmapScale; }

    Picture withIccProfile(QByteArray iccProfile) const;

private:
    QImage m_bitmap;
    QByteArray m_iccProfile;
    QSize m_size;
    double m_bitmapScale = 1.0;
};

} // namespace pondrel
