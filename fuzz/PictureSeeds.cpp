// SPDX-License-Identifier: GPL-2.0-or-later
// Writes small pictures of every decoded format into the folder given as the only argument.
#include "imaging/JpegMarkers.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <exiv2/exiv2.hpp>

#ifdef PONDREL_HAVE_OPENJPEG
#include <openjpeg.h>
#endif

#include <memory>

using namespace pondrel;

namespace {

QImage smallScene()
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 12, 8, Qt::red);
    painter.fillRect(12, 8, 12, 8, Qt::blue);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

bool write(const QDir &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A small JPEG with what the Exif readers look at: an orientation, a date and a thumbnail.
bool writeExifJpeg(const QDir &folder, const QByteArray &jpeg, const QByteArray &thumbnail)
{
    const QString path = folder.filePath("exif.jpg");
    if (!write(folder, "exif.jpg", jpeg))
        return false;
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        Exiv2::ExifData exif;
        exif["Exif.Image.Orientation"] = uint16_t(6);
        exif["Exif.Photo.DateTimeDigitized"] = "2008:03:12 10:11:12";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        Exiv2::ExifThumb(exif).setJpegThumbnail(
            reinterpret_cast<const Exiv2::byte *>(thumbnail.constData()), long(thumbnail.size()));
        image->setExifData(exif);
        image->writeMetadata();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

#ifdef PONDREL_HAVE_OPENJPEG
bool writeJpeg2000(const QImage &image, const QString &path, OPJ_CODEC_FORMAT format)
{
    const auto width = OPJ_UINT32(image.width()), height = OPJ_UINT32(image.height());
    opj_image_cmptparm_t parameters[3] {};
    for (opj_image_cmptparm_t &component : parameters) {
        component.dx = component.dy = 1;
        component.w = width;
        component.h = height;
        component.prec = 8;
    }
    std::unique_ptr<opj_image_t, void (*)(opj_image_t *)> picture(
        opj_image_create(3, parameters, OPJ_CLRSPC_SRGB), opj_image_destroy);
    picture->x1 = width;
    picture->y1 = height;
    for (int at = 0; at < image.width() * image.height(); ++at) {
        const QRgb colour = image.pixel(at % image.width(), at / image.width());
        picture->comps[0].data[at] = qRed(colour);
        picture->comps[1].data[at] = qGreen(colour);
        picture->comps[2].data[at] = qBlue(colour);
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.numresolution = 3;
    std::unique_ptr<opj_codec_t, void (*)(opj_codec_t *)> codec(
        opj_create_compress(format), opj_destroy_codec);
    std::unique_ptr<opj_stream_t, void (*)(opj_stream_t *)> stream(
        opj_stream_create_default_file_stream(QFile::encodeName(path).constData(), 0),
        opj_stream_destroy);
    return codec && stream && opj_setup_encoder(codec.get(), &settings, picture.get())
        && opj_start_compress(codec.get(), picture.get(), stream.get())
        && opj_encode(codec.get(), stream.get()) && opj_end_compress(codec.get(), stream.get());
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2)
        return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QImage image = smallScene();
    const QByteArray jpeg = encoded(image, "jpg");
    bool written = write(folder, "scene.png", encoded(image, "png"))
        && write(folder, "scene.tiff", encoded(image, "tiff")) && write(folder, "scene.jpg", jpeg)
        && write(folder, "profiled.jpg",
            JpegMarkers::withIccProfile(jpeg, QColorSpace(QColorSpace::DisplayP3).iccProfile()))
        && writeExifJpeg(folder, jpeg, encoded(image.scaled(8, 6), "jpg"));
#ifdef PONDREL_HAVE_OPENJPEG
    written = written && writeJpeg2000(image, folder.filePath("scene.jp2"), OPJ_CODEC_JP2)
        && writeJpeg2000(image, folder.filePath("scene.j2k"), OPJ_CODEC_J2K);
#endif
    return written ? 0 : 1;
}
