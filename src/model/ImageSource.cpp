// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/ImageSource.h"

#include "imaging/ExivImage.h"

#include <exiv2/exiv2.hpp>

#include <exception>

namespace pondrel {

namespace {

// Undefined-type entries larger than this (maker notes, embedded profiles) are not image
// properties anybody reads, and copying them would slow every import down.
constexpr long kLargestOpaqueValue = 256;

QString propertyGroup(const std::string &exivGroup)
{
    if (exivGroup == "Image")
        return QStringLiteral("{TIFF}");
    if (exivGroup == "Photo")
        return QStringLiteral("{Exif}");
    if (exivGroup == "GPSInfo")
        return QStringLiteral("{GPS}");
    return {};
}

bool isIntegerType(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return true;
    default:
        return false;
    }
}

bool isRationalType(Exiv2::TypeId type)
{
    return type == Exiv2::unsignedRational || type == Exiv2::signedRational;
}

// Single numbers become numbers, texts lose the terminating NULs Exif pads them with, and
// everything else keeps Exiv2's text form.
std::optional<QVariant> propertyValue(const Exiv2::Exifdatum &datum)
{
    const Exiv2::TypeId type = datum.typeId();
    if (datum.count() == 1 && isIntegerType(type))
        return QVariant(qint64(datum.toLong()));
    if (datum.count() == 1 && isRationalType(type))
        return QVariant(double(datum.toFloat()));
    if (type == Exiv2::undefined && datum.size() > kLargestOpaqueValue)
        return std::nullopt;
    QString text = QString::fromStdString(datum.toString());
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return QVariant(text);
}

QVariantMap exifProperties(const Exiv2::ExifData &exif)
{
    QVariantMap groups;
    for (const Exiv2::Exifdatum &datum : exif) {
        const QString group = propertyGroup(datum.groupName());
        if (group.isEmpty())
            continue;
        const std::optional<QVariant> value = propertyValue(datum);
        if (!value)
            continue;
        QVariantMap members = groups.value(group).toMap();
        members.insert(QString::fromStdString(datum.tagName()), *value);
        groups.insert(group, members);
    }
    return groups;
}

QByteArray embeddedThumbnailOf(const Exiv2::ExifData &exif)
{
    const Exiv2::ExifThumbC thumbnail(exif);
    const Exiv2::DataBuf bytes = thumbnail.copy();
    if (bytes.size_ <= 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(bytes.pData_), int(bytes.size_));
}

} // namespace

std::optional<ImageSource> ImageSource::open(
    const QString &path, Thumbnail thumbnail, QString &errorMsg)
{
    try {
        const auto image = openExivImage(path, errorMsg);
        if (!image.get())
            return std::nullopt;
        ImageSource source;
        source.pixelSize = QSize(image->pixelWidth(), image->pixelHeight());
        source.mediaType = QString::fromStdString(image->mimeType());
        const Exiv2::ExifData &exif = image->exifData();
        source.properties = exifProperties(exif);
        source.properties.insert(QStringLiteral("PixelWidth"), qint64(source.pixelSize.width()));
        source.properties.insert(QStringLiteral("PixelHeight"), qint64(source.pixelSize.height()));
        if (const std::optional<qint64> orientation = source.exifOrientation())
            source.properties.insert(QStringLiteral("Orientation"), *orientation);
        if (thumbnail == Thumbnail::Extract)
            source.embeddedThumbnail = embeddedThumbnailOf(exif);
        return source;
    } catch (const std::exception &error) {
        // Exiv2 throws more than its own errors on damaged files (std::out_of_range,
        // std::overflow_error, std::bad_alloc among them); none may end the program.
        errorMsg = QString::fromStdString(error.what());
        return std::nullopt;
    }
}

std::optional<qint64> ImageSource::exifOrientation() const
{
    const QVariant value
        = properties.value(QStringLiteral("{TIFF}")).toMap().value(QStringLiteral("Orientation"));
    bool isNumber = false;
    const qint64 orientation = value.toLongLong(&isNumber);
    if (!value.isValid() || !isNumber)
        return std::nullopt;
    return orientation;
}

QString ImageSource::exifText(const QString &key) const
{
    const QVariant value = properties.value(QStringLiteral("{Exif}")).toMap().value(key);
    return value.isValid() ? value.toString() : QString();
}

} // namespace pondrel
