// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/oruItem.h"

#include "model/ImageSource.h"

#include "client/oruNetwork.h"
#include "imaging/PictureTransforms.h"
#include "client/oruUtils.h"
#include "support/CSCache.h"
#include "support/ISO8601Unparsing.h"
#include "support/Values.h"
#include "support/oruLog.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>

namespace pondrel {

namespace {

const QString kDraft = QStringLiteral("Draft");
const QString kFolderAsset = QStringLiteral("FolderAsset");
const QString kPictureFileAsset = QStringLiteral("PictureFileAsset");

constexpr quint32 kNewAlbumPermissions = 3;
constexpr quint32 kThumbnailFirstImage = 1;

// Orientations outside 1 to 8 (0 and 9 exist in the wild, and the service's "Nada") are taken
// as upright rather than refused: the item stays usable and a log line says what happened.
quint32 checkedOrientation(qint64 orientation, const QString &source)
{
    if (orientation >= 1 && orientation <= 8)
        return quint32(orientation);
    ORU_LOG(QStringLiteral("Orientation %1 of %2 is not 1 to 8; taken as 1")
                .arg(orientation)
                .arg(source));
    return 1;
}

// Numbers reach the records as numbers (drafts) or decimal texts (the service).
quint32 unsigned32(const QVariant &value)
{
    return quint32(value.toLongLong());
}

QString nowText()
{
    return ISO8601Unparsing::ISO8601DateStringWithTime(QDateTime::currentDateTime(), true);
}

QString flagText(bool flag)
{
    return flag ? QStringLiteral("true") : QStringLiteral("false");
}

QString textOrNil(const QString &text)
{
    return text.isNull() ? QStringLiteral("nil") : text;
}

QVariantMap emptyRenditions(const QString &entryName)
{
    return QVariantMap {{entryName, QVariantList()}};
}

// An Exif thumbnail serves when it has the pixels the item's thumbnail needs and shows the whole
// picture: some cameras pad a 3:2 picture into a 4:3 thumbnail with black bars.
bool embeddedThumbnailServes(const QImage &embedded, const QSize &pictureSize)
{
    if (embedded.isNull() || pictureSize.isEmpty())
        return false;
    if (std::max(embedded.width(), embedded.height()) < oruItem::kThumbnailSize)
        return false;
    const qint64 expectedHeight
        = qRound64(double(embedded.width()) * pictureSize.height() / pictureSize.width());
    return std::abs(expectedHeight - embedded.height()) <= 1;
}

std::optional<Picture> thumbnailOf(const QString &path, const ImageSource &source)
{
    const QImage embedded = QImage::fromData(source.embeddedThumbnail);
    if (embeddedThumbnailServes(embedded, source.pixelSize))
        return thumbnailImage(Picture(embedded), oruItem::kThumbnailSize);
    return thumbnailImageWithFile(path, oruItem::kThumbnailSize);
}

QByteArray losslessEncoding(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

oruItem::oruItem(Zeroed) { }

oruItem::oruItem()
    : m_previewURL(QStringLiteral(""))
    , m_thumbnailURL(QStringLiteral(""))
    , m_name(QStringLiteral(""))
    , m_uniqueID(QStringLiteral(""))
    , m_comment(QStringLiteral(""))
    , m_viewTag(-1)
    , m_thumbnailOptions(kThumbnailOptionsNotSet)
    , m_orientation(1)
    , m_fullPathName(QStringLiteral(""))
{ }

oruItem oruItem::initWithEmptyAlbum()
{
    oruItem album;
    album.m_isFolder = true;
    album.m_isDraft = true;
    album.m_thumbnailOptions = kThumbnailFirstImage;
    album.m_permissions = kNewAlbumPermissions;
    return album;
}

oruItem oruItem::initWithFile(const QString &path, quint32 permissions)
{
    ORU_LOG(path);
    oruItem item;
    item.m_previewPic = QImage();
    item.m_isDraft = true;
    item.m_permissions = permissions + kDraftPicturePermissions;
    item.m_viewTag = 1;
    item.readMetadataOfFile(path);
    item.m_name = QFileInfo(path).fileName();
    item.m_fullPathName = path;
    item.m_fileSize = QFileInfo(path).size();
    return item;
}

void oruItem::readMetadataOfFile(const QString &path)
{
    QString errorMsg;
    const std::optional<ImageSource> source
        = ImageSource::open(path, ImageSource::Thumbnail::Extract, errorMsg);
    if (!source) {
        ORU_LOG(QStringLiteral("%1 is not a picture: %2").arg(path, errorMsg));
        return;
    }
    if (const std::optional<qint64> orientation = source->exifOrientation()) {
        ORU_LOG(QStringLiteral("Orientation of file %1 is %2").arg(path).arg(*orientation));
        m_orientation = checkedOrientation(*orientation, path);
    }
    std::optional<Picture> thumbnail = thumbnailOf(path, *source);
    if (thumbnail && m_orientation > 1)
        thumbnail = rotateAccordingToExifOrientation(*thumbnail, int(m_orientation));
    if (thumbnail)
        CSCache::sharedCache().cacheData(losslessEncoding(thumbnail->bitmap()), path);
    const bool quarterTurned = m_orientation >= 5;
    const QSize stored = source->pixelSize;
    m_pixelsWidth = quarterTurned ? stored.height() : stored.width();
    m_pixelsHeight = quarterTurned ? stored.width() : stored.height();
}

oruItem oruItem::initWithAsset(const QVariantMap &record)
{
    oruItem item {Zeroed {}};
    item.readRecord(record, RecordReading::Commit);
    return item;
}

oruItem oruItem::initWithBrowsedAsset(
    const QVariantMap &record, const RenditionUrlLookup &renditionUrlForItem)
{
    oruItem item;
    item.readRecord(record, RecordReading::Browsing);
    item.m_thumbnailURL
        = renditionUrlForItem(item, QStringLiteral("Thumbnail")).value_or(item.m_thumbnailURL);
    if (!item.m_isFolder)
        item.m_previewURL
            = renditionUrlForItem(item, QStringLiteral("Preview")).value_or(item.m_previewURL);
    return item;
}

void oruItem::readRecord(const QVariantMap &record, RecordReading reading)
{
    const QString assetType = record.value(QStringLiteral("AssetType")).toString();
    if (assetType == kDraft) {
        m_viewTag = 1;
        m_isDraft = true;
        if (record.contains(QStringLiteral("CS_LocalFileName")))
            m_fullPathName = record.value(QStringLiteral("CS_LocalFileName")).toString();
    } else if (assetType == QLatin1String("Local")) {
        m_viewTag = 2;
        m_isLocal = true;
    } else if (assetType == QLatin1String("Remote")) {
        m_viewTag = 3;
        m_isRemote = true;
    } else if (assetType == QLatin1String("Imported")) {
        m_viewTag = 4;
        m_isImported = true;
    }
    m_name = record.value(QStringLiteral("Name")).toString();
    m_uniqueID = record.value(QStringLiteral("UniqueIdentifier")).toString();
    m_orientation
        = checkedOrientation(oruUtils::orientationFromRotateMode(
                                 record.value(QStringLiteral("RotateFlipType")).toString()),
            m_name);
    m_pixelsWidth = record.value(QStringLiteral("SourceWidth")).toInt();
    m_pixelsHeight = record.value(QStringLiteral("SourceHeight")).toInt();
    const QVariant description = record.value(QStringLiteral("Description"));
    m_comment = Values::isNullMarker(description) || !description.isValid()
        ? QStringLiteral("")
        : description.toString();
    const QVariant failed = record.value(QStringLiteral("RetrievalAttemptFailed"));
    m_retrievalAttemptFailed = reading == RecordReading::Commit
        ? failed.toString() != QLatin1String("false")
        : failed.toString() == QLatin1String("true");
    if (record.contains(QStringLiteral("Rating")))
        m_rating = ratingIndex(record.value(QStringLiteral("Rating")).toString());
    m_itemDownloaded = false;
    m_isFolder = record.value(QStringLiteral("CS_AssetKind")).toString() == kFolderAsset;
    if (m_isFolder) {
        m_permissions = unsigned32(record.value(QStringLiteral("FolderAssetSharingPermissions")));
        if (reading == RecordReading::Commit)
            m_thumbnailOptions = unsigned32(record.value(QStringLiteral("CS_ThumbnailOptions")));
    } else {
        m_permissions
            = unsigned32(record.value(QStringLiteral("PictureFileAssetSharingPermissions")));
    }
    m_isShared = record.contains(QStringLiteral("FolderAssetExportLinks"));
    m_hasEmailAliases = record.contains(QStringLiteral("FolderAssetEmailAliases"));
    m_hasWebAddresses = record.contains(QStringLiteral("FolderAssetSymbolicLinks"));
}

QVariantMap oruItem::asset() const
{
    return m_isFolder ? albumRecord() : pictureRecord();
}

QVariantMap oruItem::albumRecord() const
{
    const QString now = nowText();
    return QVariantMap {
        {QStringLiteral("AssetType"), kDraft},
        {QStringLiteral("CS_AssetKind"), kFolderAsset},
        {QStringLiteral("Children"), QStringLiteral("0")},
        {QStringLiteral("Comments"), QStringLiteral("0")},
        {QStringLiteral("CreationDateUtc"), now},
        {QStringLiteral("Description"), m_comment},
        {QStringLiteral("FolderAssetRenditions"),
            emptyRenditions(QStringLiteral("FolderAssetRendition"))},
        {QStringLiteral("FolderAssetSharingPermissions"), qint64(m_permissions)},
        {QStringLiteral("LastModificationDateUtc"), now},
        {QStringLiteral("Name"), m_name},
        {QStringLiteral("Rank"), QStringLiteral("0")},
        {QStringLiteral("CS_ThumbnailOptions"), qint64(m_thumbnailOptions)},
        {QStringLiteral("AverageUserRating"), ratingName(m_rating)},
        {QStringLiteral("Rating"), ratingName(m_rating)},
        {QStringLiteral("UniqueIdentifier"), stringWithUUID()},
    };
}

QVariantMap oruItem::pictureRecord() const
{
    const QString now = nowText();
    const QString rotateFlipType = oruUtils::rotateModeFromOrientation(int(m_orientation));
    ORU_LOG(QStringLiteral("RotateFlipType: %1").arg(rotateFlipType));
    ORU_LOG(QStringLiteral("Orientation: %1").arg(m_orientation));
    return QVariantMap {
        {QStringLiteral("AssetType"), kDraft},
        {QStringLiteral("AverageUserRating"), QStringLiteral("Unrated")},
        {QStringLiteral("CS_AssetKind"), kPictureFileAsset},
        {QStringLiteral("CS_LocalFileName"), m_fullPathName},
        {QStringLiteral("Children"), QStringLiteral("0")},
        {QStringLiteral("Comments"), QStringLiteral("0")},
        {QStringLiteral("CreationDateUtc"), now},
        {QStringLiteral("DatePictureTakenUtc"), now},
        {QStringLiteral("Description"), m_comment},
        {QStringLiteral("FileCreationDateUtc"), now},
        {QStringLiteral("FileLastModificationDateUtc"), now},
        {QStringLiteral("FileSize"), QString::number(m_fileSize)},
        {QStringLiteral("LastModificationDateUtc"), now},
        {QStringLiteral("MediaType"), QStringLiteral("image/jpeg")},
        {QStringLiteral("Name"), m_name},
        {QStringLiteral("PictureFileAssetRenditions"),
            emptyRenditions(QStringLiteral("PictureFileAssetRendition"))},
        {QStringLiteral("PictureFileAssetSharingPermissions"), qint64(m_permissions)},
        {QStringLiteral("PrintsCounter"), qint64(0)},
        {QStringLiteral("Rank"), QStringLiteral("0")},
        {QStringLiteral("Rating"), ratingName(m_rating)},
        {QStringLiteral("ReplacementDateUtc"), QStringLiteral("0001-01-01T00:00:00+00:00")},
        {QStringLiteral("SourceHeight"), qint64(m_pixelsHeight)},
        {QStringLiteral("SourceWidth"), qint64(m_pixelsWidth)},
        {QStringLiteral("RotateFlipType"), rotateFlipType},
        {QStringLiteral("RetrievalAttemptFailed"), QStringLiteral("false")},
        {QStringLiteral("UniqueIdentifier"), stringWithUUID()},
    };
}

std::optional<QVariantMap> oruItem::exifDataForFileAtPath(const QString &path)
{
    QString errorMsg;
    const std::optional<ImageSource> source
        = ImageSource::open(path, ImageSource::Thumbnail::Skip, errorMsg);
    if (!source)
        return std::nullopt;
    return source->properties;
}

QString oruItem::stringWithUUID()
{
    return oruNetwork::stringWithUUID();
}

QString oruItem::description() const
{
    return QStringLiteral("Name: %1\n").arg(textOrNil(m_name))
        + QStringLiteral("  fullPathName: %1\n").arg(textOrNil(m_fullPathName))
        + QStringLiteral("  description: %1\n").arg(textOrNil(m_comment))
        + QStringLiteral("  previewURL: %1\n").arg(textOrNil(m_previewURL))
        + QStringLiteral("  thumbnailURL: %1\n").arg(textOrNil(m_thumbnailURL))
        + QStringLiteral("  uniqueID: %1\n").arg(textOrNil(m_uniqueID))
        + QStringLiteral("  rating:%1\n").arg(qint32(m_rating))
        + QStringLiteral("  permissions:%1\n").arg(qint32(m_permissions))
        + QStringLiteral("  thumbnailOptions:%1\n").arg(qint32(m_thumbnailOptions))
        + QStringLiteral("  SourceWidth:%1\n").arg(m_pixelsWidth)
        + QStringLiteral("  SourceHeight:%1\n").arg(m_pixelsHeight)
        + QStringLiteral("  retrievalAttemptFailed:%1\n").arg(flagText(m_retrievalAttemptFailed))
        + QStringLiteral("  isFolder:%1\n").arg(flagText(m_isFolder))
        + QStringLiteral("  isLocal:%1\n").arg(flagText(m_isLocal))
        + QStringLiteral("  isRemote:%1\n").arg(flagText(m_isRemote))
        + QStringLiteral("  isImported:%1\n").arg(flagText(m_isImported))
        + QStringLiteral("  Orientation:%1\n").arg(qint32(m_orientation));
}

bool oruItem::isRoot() const
{
    return !m_uniqueID.isNull() && m_uniqueID.isEmpty();
}

QString oruItem::ratingName(quint32 rating)
{
    const QStringList &names = oruNetwork::ratingType();
    return rating < quint32(names.size()) ? names.at(qsizetype(rating)) : names.first();
}

quint32 oruItem::ratingIndex(const QString &name)
{
    const qsizetype index = oruNetwork::ratingType().indexOf(name);
    if (index >= 0)
        return quint32(index);
    ORU_LOG(QStringLiteral("Rating %1 is unknown; taken as Unrated").arg(name));
    return 0;
}

} // namespace pondrel
