// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "imaging/Picture.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace pondrel {

// Decodes one picture file. JPEG goes through libjpeg-turbo, which can shrink by 1/8 to 7/8 while
// it decodes (DCT scaling) at a fraction of the cost of a full decode; JPEG 2000 through OpenJPEG
// (when built with it), which can skip its finest resolution levels; PNG, TIFF, BMP, GIF and WebP
// through Qt's readers at full size. Any other content is "not a valid image".
class PictureDecoder
{
public:
    enum class Format { Jpeg, Jpeg2000, QtReadable };

    // Reads the file and its header; nothing on failure, with the reason in errorMsg.
    static std::optional<PictureDecoder> open(const QString &path, QString &errorMsg);

    const QString &path() const { return m_path; }
    Format format() const { return m_format; }
    // Pixel size as stored in the file.
    QSize size() const { return m_size; }

    // The scale decode() uses for a wanted minimum: the smallest the decoder offers that is at
    // least `minimumScale`, and never more than 1 (enlarging is the resampler's job).
    double scaleFor(double minimumScale) const;
    // Decodes the pixels at scaleFor(minimumScale); the embedded colour profile comes along.
    std::optional<Picture> decode(double minimumScale, QString &errorMsg) const;

    // How many pictures this process has decoded, for the log and for checks of the batch rule.
    static int decodeCount();

private:
    QString m_path;
    QByteArray m_bytes;
    Format m_format = Format::QtReadable;
    QByteArray m_qtFormat;
    QSize m_size;
    int m_resolutionLevels = 1;
};

// The message for content that no decoder here understands.
QString notAValidImageMessage();

} // namespace pondrel
