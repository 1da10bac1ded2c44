#include "TestPictures.h"

#include "imaging/PictureRendering.h"
#include "imaging/Resampler.h"

#include <QDir>
#include <QPainter>

#include <cstdlib>

namespace TestPictures {

QString exifOrientationFolder()
{
    const QDir folder(QStringLiteral(PONDREL_EXIF_TESTDATA));
    return folder.exists(QStringLiteral("Landscape_1.jpg")) ? folder.absolutePath() : QString();
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

QImage bands(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, width / 8, height), Qt::blue);
    painter.fillRect(QRect(width - width / 8, 0, width / 8, height), Qt::green);
    return image;
}

bool writeJpeg(
    const QImage &image, const QString &path, float quality, const QByteArray &iccProfile)
{
    return saveBMAsJPEG(Picture(image, iccProfile), quality, path);
}

double meanDifference(const QImage &a, const QImage &b, QSize size)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage first = Resampler::resampled(
        a.convertToFormat(QImage::Format_RGB32), QRectF(QPointF(0, 0), QSizeF(a.size())), size);
    const QImage second = Resampler::resampled(
        b.convertToFormat(QImage::Format_RGB32), QRectF(QPointF(0, 0), QSizeF(b.size())), size);
    double total = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb p = first.pixel(x, y);
            const QRgb q = second.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * size.width() * size.height());
}

QRgb pixel(const Picture &picture, int x, int y)
{
    return picture.bitmap().pixel(x, y);
}

bool isWhite(QRgb colour, int tolerance)
{
    return isNear(colour, Qt::white, tolerance);
}

bool isNear(QRgb colour, QColor expected, int tolerance)
{
    return std::abs(qRed(colour) - expected.red()) <= tolerance
        && std::abs(qGreen(colour) - expected.green()) <= tolerance
        && std::abs(qBlue(colour) - expected.blue()) <= tolerance;
}

} // namespace TestPictures
