#include "PictureMetadata.h"

#include "Orientation.h"

#include <QFile>

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace {

// Exiv2 wants its XMP parser set up once before threads use it (the Publisher reads metadata
// on its import thread); its warnings about odd files are not ours to print.
void prepareLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

} // namespace

QSize PictureMetadata::uprightPixelSize() const
{
    return Orientation::swapsAxes(orientation.value_or(1)) ? pixelSize.transposed() : pixelSize;
}

std::optional<PictureMetadata> PictureMetadata::read(const QString &path, QString &errorMsg)
{
    prepareLibrary();
    try {
        const Exiv2::Image::AutoPtr image
            = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
        if (!image.get()) {
            errorMsg = QStringLiteral("not a valid image");
            return std::nullopt;
        }
        image->readMetadata();
        PictureMetadata metadata;
        metadata.pixelSize = QSize(image->pixelWidth(), image->pixelHeight());
        const Exiv2::ExifData &exif = image->exifData();
        const auto tag = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (tag != exif.end() && tag->count() > 0)
            metadata.orientation = int(tag->toLong());
        return metadata;
    } catch (const Exiv2::AnyError &error) {
        errorMsg = QString::fromStdString(error.what());
        return std::nullopt;
    }
}
