// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "tests/common/ProgramRun.h"

#include "imaging/PictureRendering.h"
#include "imaging/Resampler.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>

#include <exiv2/exiv2.hpp>

#include <cstdlib>

namespace pondrel {

namespace TestPictures {

QString exifOrientationFolder()
{
    return QDir(QStringLiteral(PONDREL_EXIF_TESTDATA)).absolutePath();
}

QImage scene(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(255 * x / width, 255 * y / height, 128);
    }
    QPainter painter(&image);
    painter.fillRect(QRectF(0.05 * width, 0.05 * height, 0.2 * width, 0.3 * height), Qt::black);
    painter.fillRect(QRectF(0.6 * width, 0.6 * height, 0.3 * width, 0.15 * height), Qt::white);
    return image;
}

QImage quadrants(int width, int height)
{
    QImage image = filled(width, height, Qt::white);
    QPainter painter(&image);
    const int halfWidth = width / 2, halfHeight = height / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, width - halfWidth, halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, height - halfHeight, Qt::blue);
    return image;
}

QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool writeJpeg(const QString &path, const QImage &image, const Metadata &metadata)
{
    if (!saveBMAsJPEG(Picture(image, metadata.iccProfile), 0.9f, path))
        return false;
    if (!metadata.orientation && metadata.dateTimeDigitized.isEmpty()
        && metadata.exifThumbnail.isNull())
        return true;
    try {
        auto file = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
        file->readMetadata();
        Exiv2::ExifData &exif = file->exifData();
        if (metadata.orientation)
            exif["Exif.Image.Orientation"] = uint16_t(*metadata.orientation);
        if (!metadata.dateTimeDigitized.isEmpty())
            exif["Exif.Photo.DateTimeDigitized"] = metadata.dateTimeDigitized.toStdString();
        if (!metadata.exifThumbnail.isNull()) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            metadata.exifThumbnail.save(&buffer, "JPEG", 90);
            Exiv2::ExifThumb(exif).setJpegThumbnail(
                reinterpret_cast<const Exiv2::byte *>(bytes.constData()), long(bytes.size()));
        }
        file->writeMetadata();
        return true;
    } catch (const Exiv2::AnyError &) {
        return false;
    }
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double meanDifference(const QImage &a, const QImage &b, QSize size)
{
    if (a.isNull() || b.isNull())
        return 255;
    const auto shrunk = [size](const QImage &image) {
        return Resampler::resampled(image.convertToFormat(QImage::Format_RGB32),
            QRectF(QPointF(0, 0), QSizeF(image.size())), size);
    };
    const QImage first = shrunk(a), second = shrunk(b);
    double total = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb p = first.pixel(x, y), q = second.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * size.width() * size.height());
}

bool isNear(QRgb colour, QColor expected, int tolerance)
{
    return std::abs(qRed(colour) - expected.red()) <= tolerance
        && std::abs(qGreen(colour) - expected.green()) <= tolerance
        && std::abs(qBlue(colour) - expected.blue()) <= tolerance;
}

QRgb colourAt(const QImage &image, double x, double y)
{
    return image.pixel(int(x * image.width()), int(y * image.height()));
}

ToolRun runTool(const QStringList &arguments, const QByteArray &input)
{
    QProcess tool;
    tool.start(ProgramRun::builtProgram(QStringLiteral("pondrel-tool")), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished(120'000);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
        QString::fromUtf8(tool.readAllStandardOutput()),
        QString::fromUtf8(tool.readAllStandardError())};
}

} // namespace TestPictures

} // namespace pondrel
