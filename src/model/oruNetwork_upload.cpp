// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/oruNetwork_upload.h"

#include "model/ImageSource.h"
#include "soap/SoapReply.h"

#include "client/oruNetwork.h"
#include "client/oruUtils.h"
#include "support/FileManagerExtras.h"
#include "support/oruLog.h"

#include <QFileInfo>

#include <cstdio>

namespace pondrel {

namespace oruNetworkUpload {

namespace {

constexpr qsizetype kLongestExifTime = 254;
constexpr quint32 kThumbnailFirstImage = 1;

// Albums read while browsing carry no thumbnail option; the service needs one, and the option
// every new album starts with is the natural choice.
QString thumbnailOptionName(quint32 options)
{
    const QStringList &names = oruNetwork::thumbnailOptionsType();
    if (options < quint32(names.size()))
        return names.at(qsizetype(options));
    ORU_LOG(QStringLiteral("Thumbnail option %1 is unknown; sending %2")
                .arg(options)
                .arg(names.at(kThumbnailFirstImage)));
    return names.at(kThumbnailFirstImage);
}

bool refuse(oruNetwork &network, const QString &message)
{
    ORU_LOG(message);
    network.setErrorMsg(message);
    return false;
}

QDateTime creationDate(const QFileInfo &file)
{
    const QDateTime birth = file.birthTime();
    return birth.isValid() ? birth : file.lastModified();
}

} // namespace

std::optional<QString> uploadFolderItem(
    oruNetwork &network, const oruItem &item, const QString &parent)
{
    ORU_LOG(QStringLiteral("MARK"));
    const QVariantMap reply = network.publishingServices().CreateFolderAsset({
        network.sessionIdentifier(),
        parent,
        item.name(),
        item.comment(),
        oruItem::ratingName(item.rating()),
        thumbnailOptionName(item.thumbnailOptions()),
        item.permissions(),
    });
    if (reply.contains(SoapReply::kErrorKey)) {
        ORU_LOG(QStringLiteral("CreateFolderAsset for %1 failed: %2")
                    .arg(item.name(), reply.value(SoapReply::kErrorKey).toString()));
        network.setErrorMsg(reply.value(SoapReply::kErrorKey).toString());
        return std::nullopt;
    }
    return reply.value(QStringLiteral("CreateFolderAssetResult")).toString();
}

bool uploadPictureAsset(oruNetwork &network, const oruItem &item, const QString &parent)
{
    const QString path = FileManagerExtras::pathResolved(item.fullPathName());
    ORU_LOG(QStringLiteral("Inserting file with name '%1' in '%2'").arg(path, parent));
    const QString moniker = oruNetwork::stringWithUUID();
    const QFileInfo file(path);
    if (!file.exists())
        return refuse(network, QStringLiteral("File %1 was not found").arg(path));
    const QString lastModificationDateUtc = dateText(file.lastModified());
    const QString creationDateUtc = dateText(creationDate(file));
    const qint64 fileSize = file.size();

    QString reason;
    const std::optional<ImageSource> source
        = ImageSource::open(path, ImageSource::Thumbnail::Skip, reason);
    if (!source) {
        ORU_LOG(QStringLiteral("File %1 was not found").arg(path));
        return refuse(network, QStringLiteral("File %1 is not a picture: %2").arg(path, reason));
    }
    const int orientation = int(item.orientation());
    const bool quarterTurned = orientation >= 5 && orientation <= 8;
    const qint32 width = quarterTurned ? source->pixelSize.height() : source->pixelSize.width();
    const qint32 height = quarterTurned ? source->pixelSize.width() : source->pixelSize.height();
    ORU_LOG(QStringLiteral("in_width: %1, in_height: %2").arg(width).arg(height));
    const std::optional<QString> datePictureTakenUtc
        = ExifTimeToUTC(source->exifText(QStringLiteral("DateTimeDigitized")));

    const std::optional<QString> hash = oruNetwork::sha1FromFile(path);
    if (!hash)
        return refuse(network, QStringLiteral("File %1 could not be read").arg(path));
    // Without its record the Agent could never find the picture the service will ask for, so a
    // picture whose record cannot be written is not created at all.
    if (!network.addPhotoToDB(path, moniker, *hash)) {
        ORU_LOG(QStringLiteral("Photo record of %1 not written: %2").arg(path, network.errorMsg()));
        return false;
    }

    const QVariantMap reply = network.publishingServices().CreatePictureFileAsset({
        network.sessionIdentifier(),
        parent,
        file.fileName(),
        item.comment(),
        source->mediaType,
        oruItem::ratingName(item.rating()),
        creationDateUtc,
        lastModificationDateUtc,
        fileSize,
        *hash,
        moniker,
        item.permissions(),
        width,
        height,
        oruUtils::rotateModeFromOrientation(orientation),
        datePictureTakenUtc ? QVariant(*datePictureTakenUtc) : QVariant(),
    });
    if (reply.contains(SoapReply::kErrorKey)) {
        ORU_LOG(QStringLiteral("Error in CreatePictureFileAsset:%1")
                    .arg(reply.value(SoapReply::kErrorKey).toString()));
        network.setErrorMsg(reply.value(SoapReply::kErrorKey).toString());
        return false;
    }
    return true;
}

void createItemFromFile(oruNetwork &, const QString &, const QString &) { }

std::optional<QString> ExifTimeToUTC(const QString &exifTime)
{
    const QString text = exifTime.left(kLongestExifTime);
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar character : text) {
        if (character.unicode() > 0x7F)
            return std::nullopt;
    }
    const QByteArray ascii = text.toLatin1();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(
            ascii.constData(), "%d:%d:%d%*c%d:%d:%d", &year, &month, &day, &hour, &minute, &second)
        < 6)
        return std::nullopt;
    // Cameras write "0000:00:00 00:00:00" for an unknown date; no such day means no date.
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return dateText(QDateTime(date, time, Qt::LocalTime));
}

QString dateText(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

} // namespace oruNetworkUpload

} // namespace pondrel
