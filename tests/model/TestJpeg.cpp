#include "TestJpeg.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>

#include <exiv2/exiv2.hpp>

#include <cstdlib>

namespace TestJpeg {

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, width - halfWidth, halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, height - halfHeight, Qt::blue);
    painter.fillRect(halfWidth, halfHeight, width - halfWidth, height - halfHeight, Qt::white);
    return image;
}

QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool write(const QString &path, const QImage &image, const Metadata &metadata)
{
    if (!image.save(path, "JPEG", 90))
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

QColor colourAt(const QImage &image, double x, double y)
{
    return image.pixelColor(int(x * image.width()), int(y * image.height()));
}

bool near(const QColor &colour, const QColor &expected, int tolerance)
{
    return std::abs(colour.red() - expected.red()) <= tolerance
        && std::abs(colour.green() - expected.green()) <= tolerance
        && std::abs(colour.blue() - expected.blue()) <= tolerance;
}

} // namespace TestJpeg
