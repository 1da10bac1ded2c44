// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/PictureRendering.h"

#include "imaging/JpegMarkers.h"
#include "imaging/Orientation.h"
#include "imaging/PictureDecoder.h"
#include "imaging/Resampler.h"
#include "support/CHandle.h"
#include "support/Paths.h"
#include "support/oruLog.h"

#include <QFile>
#include <QPainter>

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace pondrel {

namespace {

using TurboJpegHandle = CHandle<void, tjDestroy>;
using TurboJpegBuffer = CHandle<unsigned char, tjFree>;

// The output pixels a fractional drawing rectangle covers: edges rounded, at least one pixel.
QRect wholePixelRect(const QRectF &rect, QSize bounds)
{
    const int left = std::clamp(int(std::lround(rect.left())), 0, bounds.width() - 1);
    const int top = std::clamp(int(std::lround(rect.top())), 0, bounds.height() - 1);
    const int right = std::clamp(int(std::lround(rect.right())), left + 1, bounds.width());
    const int bottom = std::clamp(int(std::lround(rect.bottom())), top + 1, bounds.height());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRectF inBitmapPixels(const QRectF &filePixels, const Picture &picture)
{
    const double scale = picture.bitmapScale();
    const QRectF scaled(filePixels.topLeft() * scale, filePixels.size() * scale);
    return scaled.intersected(QRectF(QPointF(0, 0), QSizeF(picture.bitmap().size())));
}

std::optional<Picture> renderThumbnail(
    const Picture &picture, QSizeF canvas, int orientation, int cropMode, QString &errorMsg)
{
    if (!picture.isValid()) {
        ORU_FATAL(QStringLiteral("the picture to render has no pixels"));
        errorMsg = notAValidImageMessage();
        return std::nullopt;
    }
    if (!Orientation::isSupported(orientation))
        ORU_LOG(QStringLiteral("Unsupported rotation: %1").arg(orientation));
    const std::optional<RenderGeometry> geometry
        = RenderGeometry::compute(picture.size(), canvas, orientation, cropMode, errorMsg);
    if (!geometry)
        return std::nullopt;

    QImage output(geometry->outputPixels, QImage::Format_RGB32);
    if (output.isNull()) {
        ORU_FATAL(QStringLiteral("croppedImage is NULL!"));
        errorMsg = QStringLiteral("Not enough memory for the rendition");
        return std::nullopt;
    }
    output.fill(Qt::white);

    // Shrinking before turning upright touches the fewest pixels; area averaging gives the same
    // result either way, since turning and mirroring only permute pixels.
    const QRect target = wholePixelRect(geometry->drawRect, geometry->outputPixels);
    const QSize storedTarget = Orientation::swapsAxes(geometry->orientation)
        ? target.size().transposed()
        : target.size();
    const QRectF storedPart = Orientation::storedRect(
        geometry->sourcePart, QSizeF(picture.size()), geometry->orientation);
    const QImage piece
        = Resampler::resampled(picture.bitmap(), inBitmapPixels(storedPart, picture), storedTarget);
    const QImage upright = Orientation::orientedImage(piece, geometry->orientation);
    if (upright.isNull()) {
        ORU_FATAL(QStringLiteral("croppedImage has no bitmap"));
        errorMsg = QStringLiteral("Not enough memory for the rendition");
        return std::nullopt;
    }
    QPainter painter(&output);
    painter.drawImage(target.topLeft(), upright);
    painter.end();
    return Picture(std::move(output), picture.iccProfile());
}

QImage opaqueOnWhite(const QImage &bitmap)
{
    if (bitmap.format() == QImage::Format_RGB32)
        return bitmap;
    QImage opaque(bitmap.size(), QImage::Format_RGB32);
    if (opaque.isNull())
        return opaque;
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, bitmap);
    return opaque;
}

std::optional<QByteArray> encodeJpeg(const QImage &bitmap, float quality)
{
    const TurboJpegHandle handle(tjInitCompress());
    if (!handle)
        return std::nullopt;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const int jpegQuality = std::clamp(int(std::lround(quality * 100)), 1, 100);
    const int result
        = tjCompress2(handle.get(), bitmap.constBits(), bitmap.width(), int(bitmap.bytesPerLine()),
            bitmap.height(), TJPF_BGRX, &buffer, &size, TJSAMP_420, jpegQuality, 0);
    const TurboJpegBuffer owned(buffer);
    if (result != 0 || !buffer || size == 0)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
}

std::optional<QByteArray> jpegWithProfile(const Picture &bitmap, float quality)
{
    const QImage opaque = opaqueOnWhite(bitmap.bitmap());
    const std::optional<QByteArray> jpeg
        = opaque.isNull() ? std::nullopt : encodeJpeg(opaque, quality);
    if (!jpeg)
        return std::nullopt;
    return JpegMarkers::withIccProfile(*jpeg, bitmap.iccProfile());
}

} // namespace

std::optional<Picture> decodePictureForRequests(
    const QString &path, const QList<RenderRequest> &requests, QString &errorMsg)
{
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
    if (!decoder)
        return std::nullopt;
    double minimumScale = 0;
    for (const RenderRequest &request : requests) {
        QString ignored;
        const std::optional<RenderGeometry> geometry = RenderGeometry::compute(
            decoder->size(), request.size, request.orientation, request.cropMode, ignored);
        if (geometry)
            minimumScale = std::max(minimumScale, geometry->requiredScale());
    }
    if (minimumScale <= 0)
        minimumScale = 1.0;
    std::optional<Picture> picture = decoder->decode(minimumScale, errorMsg);
    if (picture)
        ORU_LOG(QStringLiteral("Decoded %1 (%2 x %3) at scale %4 for %5 renditions")
                    .arg(path)
                    .arg(decoder->size().width())
                    .arg(decoder->size().height())
                    .arg(picture->bitmapScale())
                    .arg(requests.size()));
    return picture;
}

std::optional<Picture> makeThumbnail(
    const Picture &picture, QSizeF canvas, int orientation, const QString &imageID, int cropMode)
{
    QString errorMsg;
    std::optional<Picture> bitmap
        = renderThumbnail(picture, canvas, orientation, cropMode, errorMsg);
    if (!bitmap)
        ORU_LOG(QStringLiteral("No rendition of %1: %2").arg(imageID, errorMsg));
    return bitmap;
}

bool saveBMAsJPEG(const Picture &bitmap, float quality, const QString &saveTo)
{
    const std::optional<QByteArray> bytes = jpegWithProfile(bitmap, quality);
    if (!bytes) {
        ORU_FATAL(QStringLiteral("cant create JPEG file"));
        return false;
    }
    const std::unique_ptr<QFile> file = Paths::createPrivateFile(saveTo);
    if (!file || file->write(*bytes) != bytes->size() || !file->flush()) {
        ORU_FATAL(QStringLiteral("writeToFile failed"));
        return false;
    }
    return true;
}

bool saveAsJPEG(const Picture &picture, float quality, const QString &saveTo)
{
    if (!picture.isValid()) {
        ORU_FATAL(QStringLiteral("the source picture has no pixels"));
        return false;
    }
    if (picture.bitmap().size() == picture.size())
        return saveBMAsJPEG(picture, quality, saveTo);
    const QImage &bitmap = picture.bitmap();
    QImage full = Resampler::resampled(
        bitmap, QRectF(QPointF(0, 0), QSizeF(bitmap.size())), picture.size());
    if (full.isNull()) {
        ORU_FATAL(QStringLiteral("the picture could not be brought to its full size"));
        return false;
    }
    return saveBMAsJPEG(Picture(std::move(full), picture.iccProfile()), quality, saveTo);
}

std::optional<RenderedJpeg> render(
    const Picture &picture, const RenderRequest &request, QString &errorMsg)
{
    const std::optional<Picture> bitmap
        = renderThumbnail(picture, request.size, request.orientation, request.cropMode, errorMsg);
    if (!bitmap)
        return std::nullopt;
    std::optional<QByteArray> bytes = jpegWithProfile(*bitmap, request.quality);
    if (!bytes) {
        errorMsg = QStringLiteral("The rendition could not be encoded as JPEG");
        return std::nullopt;
    }
    return RenderedJpeg {std::move(*bytes), bitmap->bitmap().size()};
}

} // namespace pondrel
