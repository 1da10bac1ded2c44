// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/ExivImage.h"

#include <QFile>

#include <mutex>

namespace pondrel {

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

// Exiv2 hands the image over in a std::auto_ptr, taken over at once by a std::unique_ptr.
std::unique_ptr<Exiv2::Image> openExivImage(const QString &path, QString &errorMsg)
{
    prepareLibrary();
    std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData())).release());
    if (!image) {
        errorMsg = QStringLiteral("not a valid image");
        return image;
    }
    image->readMetadata();
    return image;
}

} // namespace pondrel
