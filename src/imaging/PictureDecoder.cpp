// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/PictureDecoder.h"

#include "imaging/Jpeg2000Decoder.h"
#include "imaging/JpegMarkers.h"
#include "support/CHandle.h"
#include "support/oruLog.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <turbojpeg.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>

namespace pondrel {

namespace {

// A bitmap larger than this is refused rather than risking the process on one picture.
constexpr qint64 kMaxBitmapBytes = qint64(1) << 30;

std::atomic<int> decodesSoFar {0};

using TurboJpegHandle = CHandle<void, tjDestroy>;

struct TurboJpegHeader
{
    QSize size;
    int colourSpace = TJCS_RGB;
};

std::optional<TurboJpegHeader> readJpegHeader(const QByteArray &bytes, QString &errorMsg)
{
    const TurboJpegHandle handle(tjInitDecompress());
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (!handle
        || tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char *>(bytes.data()),
               static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
               &colourSpace)
            != 0
        || width <= 0 || height <= 0) {
        errorMsg = notAValidImageMessage();
        return std::nullopt;
    }
    return TurboJpegHeader {QSize(width, height), colourSpace};
}

bool looksLikeJpeg(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray("\xff\xd8\xff", 3));
}

bool looksLikeJpeg2000(const QByteArray &bytes)
{
    static const QByteArray box("\x00\x00\x00\x0cjP  \r\n\x87\n", 12);
    static const QByteArray codestream("\xff\x4f\xff\x51", 4);
    return bytes.startsWith(box) || bytes.startsWith(codestream);
}

// The formats of Qt's readers that the rendering takes; others Qt may read (icons, vector
// drawings) are not pictures a user publishes.
QByteArray qtPictureFormat(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    static const QList<QByteArray> accepted {"png", "tiff", "tif", "bmp", "gif", "webp"};
    return accepted.contains(format) ? format : QByteArray();
}

bool fitsInMemory(QSize size)
{
    return !size.isEmpty() && qint64(size.width()) * size.height() * 4 <= kMaxBitmapBytes;
}

QString tooLargeMessage(QSize size)
{
    return QStringLiteral("The picture is too large to render (%1 x %2 pixels)")
        .arg(size.width())
        .arg(size.height());
}

// The TurboJPEG factors that do not enlarge.
QList<tjscalingfactor> shrinkingFactors()
{
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    QList<tjscalingfactor> shrinking;
    for (int index = 0; factors && index < count; ++index) {
        if (factors[index].num <= factors[index].denom)
            shrinking.append(factors[index]);
    }
    return shrinking;
}

tjscalingfactor jpegFactorFor(double minimumScale)
{
    tjscalingfactor best {1, 1};
    // A factor a hair below the wanted scale still gives every pixel asked for.
    const double wanted = minimumScale * (1.0 - 1e-9);
    for (const tjscalingfactor &factor : shrinkingFactors()) {
        const double scale = double(factor.num) / factor.denom;
        if (scale >= wanted && scale < double(best.num) / best.denom)
            best = factor;
    }
    return best;
}

int jpeg2000ReductionFor(double minimumScale, int levels)
{
    int reduction = 0;
    while (reduction + 1 < levels && std::ldexp(1.0, -(reduction + 1)) >= minimumScale * (1 - 1e-9))
        ++reduction;
    return reduction;
}

std::optional<Picture> decodeJpeg(
    const QByteArray &bytes, QSize size, double minimumScale, QString &errorMsg)
{
    const tjscalingfactor factor = jpegFactorFor(minimumScale);
    const QSize scaled(TJSCALED(size.width(), factor), TJSCALED(size.height(), factor));
    if (!fitsInMemory(scaled)) {
        errorMsg = tooLargeMessage(size);
        return std::nullopt;
    }
    QImage bitmap(scaled, QImage::Format_RGB32);
    const TurboJpegHandle handle(tjInitDecompress());
    if (bitmap.isNull() || !handle) {
        errorMsg = QStringLiteral("Not enough memory to decode the picture");
        return std::nullopt;
    }
    // BGRA is the byte order of RGB32 on little-endian machines, with the fourth byte at 0xff.
    // A progressive file may repeat scans without end, each decoded in full: past 500 it is
    // refused.
    const int result
        = tjDecompress2(handle.get(), reinterpret_cast<const unsigned char *>(bytes.constData()),
            static_cast<unsigned long>(bytes.size()), bitmap.bits(), scaled.width(),
            int(bitmap.bytesPerLine()), scaled.height(), TJPF_BGRA, TJFLAG_LIMITSCANS);
    if (result != 0) {
        const QString reason = QString::fromUtf8(tjGetErrorStr2(handle.get()));
        // Damage after the headers is a warning: the rest of the picture still decodes.
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING) {
            errorMsg = QStringLiteral("%1 (%2)").arg(notAValidImageMessage(), reason);
            return std::nullopt;
        }
        ORU_LOG(QStringLiteral("JPEG decoded with a warning: %1").arg(reason));
    }
    const double scale = double(factor.num) / factor.denom;
    return Picture(std::move(bitmap), JpegMarkers::iccProfile(bytes), size, scale);
}

std::optional<Picture> decodeWithQt(
    const QByteArray &bytes, const QByteArray &format, QSize size, QString &errorMsg)
{
    if (size.isValid() && !fitsInMemory(size)) {
        errorMsg = tooLargeMessage(size);
        return std::nullopt;
    }
    // Qt refuses bitmaps above 128 MB by default; a 40-megapixel scan is an ordinary picture.
    static std::once_flag raiseLimit;
    std::call_once(
        raiseLimit, [] { QImageReader::setAllocationLimit(int(kMaxBitmapBytes >> 20)); });
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The caller turns the picture upright from the orientation it is told, not from the file.
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        errorMsg = QStringLiteral("%1 (%2)").arg(notAValidImageMessage(), reader.errorString());
        return std::nullopt;
    }
    const QByteArray profile = image.colorSpace().iccProfile();
    return Picture(std::move(image), profile);
}

} // namespace

QString notAValidImageMessage()
{
    return QStringLiteral("not a valid image");
}

std::optional<PictureDecoder> PictureDecoder::open(const QString &path, QString &errorMsg)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorMsg = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    PictureDecoder decoder;
    decoder.m_path = path;
    decoder.m_bytes = file.readAll();
    const QByteArray &bytes = decoder.m_bytes;

    if (looksLikeJpeg(bytes)) {
        const std::optional<TurboJpegHeader> header = readJpegHeader(bytes, errorMsg);
        if (!header)
            return std::nullopt;
        decoder.m_size = header->size;
        // libjpeg-turbo hands CMYK out as CMYK; Qt's reader turns it into RGB.
        const bool cmyk = header->colourSpace == TJCS_CMYK || header->colourSpace == TJCS_YCCK;
        decoder.m_format = cmyk ? Format::QtReadable : Format::Jpeg;
        decoder.m_qtFormat = "jpeg";
        return decoder;
    }
    if (looksLikeJpeg2000(bytes)) {
        const std::optional<Jpeg2000Decoder::Header> header
            = Jpeg2000Decoder::readHeader(path, errorMsg);
        if (!header)
            return std::nullopt;
        decoder.m_format = Format::Jpeg2000;
        decoder.m_size = header->size;
        decoder.m_resolutionLevels = header->levels;
        decoder.m_bytes.clear();
        return decoder;
    }
    decoder.m_qtFormat = qtPictureFormat(bytes);
    if (decoder.m_qtFormat.isEmpty()) {
        errorMsg = notAValidImageMessage();
        return std::nullopt;
    }
    QBuffer buffer(&decoder.m_bytes);
    buffer.open(QIODevice::ReadOnly);
    const QImageReader reader(&buffer, decoder.m_qtFormat);
    decoder.m_size = reader.size();
    decoder.m_format = Format::QtReadable;
    return decoder;
}

double PictureDecoder::scaleFor(double minimumScale) const
{
    switch (m_format) {
    case Format::Jpeg: {
        const tjscalingfactor factor = jpegFactorFor(minimumScale);
        return double(factor.num) / factor.denom;
    }
    case Format::Jpeg2000:
        return std::ldexp(1.0, -jpeg2000ReductionFor(minimumScale, m_resolutionLevels));
    case Format::QtReadable:
        break;
    }
    return 1.0;
}

std::optional<Picture> PictureDecoder::decode(double minimumScale, QString &errorMsg) const
{
    std::optional<Picture> picture;
    switch (m_format) {
    case Format::Jpeg:
        picture = decodeJpeg(m_bytes, m_size, minimumScale, errorMsg);
        break;
    case Format::Jpeg2000:
        picture = Jpeg2000Decoder::decode(
            m_path, jpeg2000ReductionFor(minimumScale, m_resolutionLevels), errorMsg);
        break;
    case Format::QtReadable:
        picture = decodeWithQt(m_bytes, m_qtFormat, m_size, errorMsg);
        break;
    }
    if (picture && !picture->isValid()) {
        errorMsg = notAValidImageMessage();
        picture.reset();
    }
    if (picture)
        ++decodesSoFar;
    return picture;
}

int PictureDecoder::decodeCount()
{
    return decodesSoFar.load();
}

} // namespace pondrel
