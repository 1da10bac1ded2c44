// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/Picture.h"

#include <utility>

namespace pondrel {

namespace {

// Keeps the two 32-bit layouts the resampler and the JPEG writer understand.
QImage normalised(QImage bitmap)
{
    if (bitmap.isNull())
        return bitmap;
    if (bitmap.hasAlphaChannel())
        return bitmap.format() == QImage::Format_ARGB32_Premultiplied
            ? bitmap
            : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return bitmap.format() == QImage::Format_RGB32 ? bitmap
                                                   : bitmap.convertToFormat(QImage::Format_RGB32);
}

} // namespace

Picture::Picture(QImage bitmap, QByteArray iccProfile)
    : m_bitmap(normalised(std::move(bitmap)))
    , m_iccProfile(std::move(iccProfile))
    , m_size(m_bitmap.size())
{ }

Picture::Picture(QImage bitmap, QByteArray iccProfile, QSize size, double bitmapScale)
    : m_bitmap(normalised(std::move(bitmap)))
    , m_iccProfile(std::move(iccProfile))
    , m_size(size)
    , m_bitmapScale(bitmapScale)
{ }

bool Picture::isValid() const
{
    return !m_bitmap.isNull() && !m_size.isEmpty() && m_bitmapScale > 0;
}

Picture Picture::withIccProfile(QByteArray iccProfile) const
{
    Picture copy = *this;
    copy.m_iccProfile = std::move(iccProfile);
    return copy;
}

} // namespace pondrel
