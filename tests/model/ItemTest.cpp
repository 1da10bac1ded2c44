// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "tests/common/ScratchHome.h"
#include "model/oruItem.h"
#include "support/CSCache.h"
#include "support/Values.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pondrel {

using namespace TestPictures;

namespace {

class ItemTest : public ::testing::Test
{
protected:
    QString writePicture(const QString &name, const QImage &image, const Metadata &metadata = {})
    {
        const QString file = m_dir.filePath(name);
        EXPECT_TRUE(writeJpeg(file, image, metadata)) << file.toStdString();
        return file;
    }

    static QImage cachedThumbnail(const QString &file)
    {
        const std::optional<QByteArray> bytes = CSCache::sharedCache().cachedDataForKey(file);
        return bytes ? QImage::fromData(*bytes, "PNG") : QImage();
    }
    static bool near(QRgb colour, QColor expected) { return isNear(colour, expected, 40); }

    ScratchHome m_home;
    QTemporaryDir m_dir;
};

QVariantMap albumRecordFromService()
{
    return {{"AssetType", "Local"}, {"CS_AssetKind", "FolderAsset"}, {"Name", "Trip"},
        {"UniqueIdentifier", "A1"}, {"Description", Values::nullMarker()}, {"Rating", "Good"},
        {"FolderAssetSharingPermissions", "7"}, {"CS_ThumbnailOptions", "2"},
        {"FolderAssetExportLinks", QVariantMap()}};
}

TEST_F(ItemTest, QuarterTurnedPictureIsSizedAndThumbnailedUpright)
{
    const QString file = writePicture("six.jpg", quadrants(640, 480), Metadata().oriented(6));
    const oruItem item = oruItem::initWithFile(file, 0);
    EXPECT_EQ(item.orientation(), 6u);
    EXPECT_EQ(QSize(item.pixelsWidth(), item.pixelsHeight()), QSize(480, 640));
    EXPECT_EQ(item.permissions(), 28u);
    EXPECT_EQ(oruItem::initWithFile(file, 3).permissions(), 31u);
    EXPECT_EQ(item.fileSize(), QFile(file).size());

    // Turned a quarter clockwise: the stored bottom-left (blue) is now top-left, the stored
    // top-left (red) top-right, the stored bottom-right (white) bottom-left.
    const QImage thumbnail = cachedThumbnail(file);
    ASSERT_EQ(thumbnail.size(), QSize(75, 100));
    EXPECT_TRUE(near(colourAt(thumbnail, 0.25, 0.25), Qt::blue));
    EXPECT_TRUE(near(colourAt(thumbnail, 0.75, 0.25), Qt::red));
    EXPECT_TRUE(near(colourAt(thumbnail, 0.25, 0.75), Qt::white));
    EXPECT_TRUE(near(colourAt(thumbnail, 0.75, 0.75), Qt::green));

    const QVariantMap record = item.asset();
    EXPECT_EQ(record.value("RotateFlipType").toString(), "Rotate90FlipNone");
    EXPECT_EQ(record.value("SourceWidth").toLongLong(), 480);
    EXPECT_EQ(record.value("SourceHeight").toLongLong(), 640);
}

TEST_F(ItemTest, LargeEnoughExifThumbnailIsUsedAndOthersAreNot)
{
    // The embedded thumbnails are yellow, the picture is not: the colour tells which was used.
    const QImage yellow = filled(160, 120, Qt::yellow);
    const struct
    {
        const char *name;
        QSize picture;
        Metadata metadata;
        bool usesEmbedded;
        QSize thumbnail;
    } cases[] {
        {"served.jpg", {640, 480}, Metadata().thumbnail(yellow), true, {100, 75}},
        {"small.jpg", {640, 480}, Metadata().thumbnail(filled(80, 60, Qt::yellow)), false,
            {100, 75}},
        // Of other proportions than the picture: it would be padded.
        {"padded.jpg", {600, 400}, Metadata().thumbnail(yellow), false, {100, 67}},
        {"turned.jpg", {640, 480}, Metadata().oriented(8).thumbnail(yellow), true, {75, 100}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file
            = writePicture(c.name, quadrants(c.picture.width(), c.picture.height()), c.metadata);
        oruItem::initWithFile(file, 0);
        const QImage thumbnail = cachedThumbnail(file);
        EXPECT_EQ(thumbnail.size(), c.thumbnail);
        EXPECT_EQ(near(colourAt(thumbnail, 0.25, 0.75), Qt::yellow), c.usesEmbedded);
    }
}

TEST_F(ItemTest, OddFilesAndOrientationsStillGiveAnUprightItem)
{
    // A file size past 32 bits is kept whole.
    const QString huge = m_dir.filePath("huge.tif");
    QFile sparse(huge);
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(3LL * 1024 * 1024 * 1024 + 5));
    sparse.close();
    EXPECT_EQ(oruItem::initWithFile(huge, 0).asset().value("FileSize").toString(), "3221225477");

    const QString text = m_dir.filePath("notes.jpg");
    ASSERT_TRUE(writeBytes(text, "not a picture at all"));
    const oruItem notPicture = oruItem::initWithFile(text, 0);
    EXPECT_EQ(notPicture.orientation(), 1u);
    EXPECT_EQ(notPicture.pixelsWidth(), 0);
    EXPECT_EQ(notPicture.name(), "notes.jpg");
    EXPECT_FALSE(CSCache::sharedCache().cachedDataForKey(text).has_value());
    EXPECT_FALSE(oruItem::exifDataForFileAtPath(text).has_value());

    for (const int odd : {0, 9}) {
        const oruItem item
            = oruItem::initWithFile(writePicture(QStringLiteral("odd%1.jpg").arg(odd),
                                        quadrants(64, 48), Metadata().oriented(odd)),
                0);
        EXPECT_EQ(item.orientation(), 1u) << odd;
        EXPECT_EQ(item.pixelsWidth(), 64) << odd;
        EXPECT_EQ(item.asset().value("RotateFlipType").toString(), "RotateNoneFlipNone");
    }
    QVariantMap record {{"AssetType", "Local"}, {"CS_AssetKind", "PictureFileAsset"},
        {"RotateFlipType", "Nada"}, {"Rating", "Splendid"}};
    for (const oruItem &item : {oruItem::initWithAsset(record),
             oruItem::initWithBrowsedAsset(record,
                 [](const oruItem &, const QString &) { return std::optional<QString>(); })}) {
        EXPECT_EQ(item.orientation(), 1u);
        EXPECT_EQ(item.rating(), 0u);
        EXPECT_EQ(item.asset().value("Rating").toString(), "Unrated");
    }
    record.insert("RotateFlipType", "Rotate270FlipX");
    record.insert("Rating", "Excellent");
    EXPECT_EQ(oruItem::initWithAsset(record).orientation(), 7u);
    EXPECT_EQ(oruItem::initWithAsset(record).rating(), 4u);
}

TEST_F(ItemTest, DraftRecordsGetNewIdentifiersAndReadBackAsTheSameItem)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setUniqueID("KEPT");
    const QVariantMap first = album.asset();
    const QVariantMap second = album.asset();
    EXPECT_NE(first.value("UniqueIdentifier"), second.value("UniqueIdentifier"));
    EXPECT_NE(first.value("UniqueIdentifier").toString(), "KEPT");
    EXPECT_EQ(first.value("UniqueIdentifier").toString().size(), 36);
    EXPECT_EQ(first.value("AssetType").toString(), "Draft");
    EXPECT_EQ(first.value("CS_AssetKind").toString(), "FolderAsset");
    EXPECT_EQ(first.value("FolderAssetSharingPermissions").toLongLong(), 3);
    EXPECT_EQ(first.value("CS_ThumbnailOptions").toLongLong(), 1);
    EXPECT_FALSE(first.contains("RetrievalAttemptFailed"));
    EXPECT_EQ(first.value("FolderAssetRenditions").toMap(),
        (QVariantMap {{"FolderAssetRendition", QVariantList()}}));

    const QString file = writePicture("back.jpg", quadrants(320, 240), Metadata().oriented(3));
    oruItem picture = oruItem::initWithFile(file, 3);
    picture.setRating(5);
    picture.setComment("at the lake");
    const QVariantMap record = picture.asset();
    EXPECT_EQ(record.size(), 26);
    EXPECT_EQ(record.value("MediaType").toString(), "image/jpeg");
    EXPECT_EQ(record.value("RetrievalAttemptFailed").toString(), "false");
    EXPECT_EQ(record.value("ReplacementDateUtc").toString(), "0001-01-01T00:00:00+00:00");
    const oruItem back = oruItem::initWithAsset(record);
    EXPECT_TRUE(back.isDraft());
    EXPECT_EQ(back.viewTag(), 1);
    EXPECT_EQ(back.fullPathName(), file);
    EXPECT_EQ(back.comment(), "at the lake");
    EXPECT_EQ(back.orientation(), 3u);
    EXPECT_EQ(back.rating(), 5u);
    EXPECT_EQ(back.permissions(), 31u);
    EXPECT_EQ(QSize(back.pixelsWidth(), back.pixelsHeight()), QSize(320, 240));
    EXPECT_FALSE(back.retrievalAttemptFailed());
}

TEST_F(ItemTest, CommittedAlbumFailsRetrievalWhereTheBrowsedOneDoesNot)
{
    const QVariantMap record = albumRecordFromService();
    const oruItem committed = oruItem::initWithAsset(record);
    EXPECT_TRUE(committed.retrievalAttemptFailed());
    EXPECT_EQ(committed.thumbnailOptions(), 2u);
    EXPECT_EQ(committed.viewTag(), 2);
    EXPECT_EQ(committed.rating(), 3u);
    EXPECT_FALSE(committed.comment().isNull());
    EXPECT_TRUE(committed.thumbnailURL().isNull());
    EXPECT_EQ(committed.description(),
        "Name: Trip\n  fullPathName: nil\n  description: \n  previewURL: nil\n"
        "  thumbnailURL: nil\n  uniqueID: A1\n  rating:3\n  permissions:7\n"
        "  thumbnailOptions:2\n  SourceWidth:0\n  SourceHeight:0\n"
        "  retrievalAttemptFailed:true\n  isFolder:true\n  isLocal:true\n  isRemote:false\n"
        "  isImported:false\n  Orientation:1\n");

    QStringList asked;
    const oruItem browsed
        = oruItem::initWithBrowsedAsset(record, [&](const oruItem &item, const QString &name) {
              asked << item.uniqueID() + '/' + name;
              return std::optional<QString>("http://127.0.0.1/a1/" + name);
          });
    EXPECT_FALSE(browsed.retrievalAttemptFailed());
    EXPECT_EQ(browsed.thumbnailOptions(), oruItem::kThumbnailOptionsNotSet);
    EXPECT_EQ(browsed.thumbnailURL(), "http://127.0.0.1/a1/Thumbnail");
    EXPECT_EQ(browsed.previewURL(), "");
    EXPECT_EQ(asked, QStringList {"A1/Thumbnail"});

    // A picture asks for both renditions and keeps the service's failure flag.
    QVariantMap picture {{"AssetType", "Imported"}, {"CS_AssetKind", "PictureFileAsset"},
        {"UniqueIdentifier", "P9"}, {"SourceWidth", "2000"}, {"SourceHeight", "3000"},
        {"RotateFlipType", "Rotate90FlipNone"}, {"RetrievalAttemptFailed", "true"}};
    const oruItem browsedPicture
        = oruItem::initWithBrowsedAsset(picture, [](const oruItem &item, const QString &name) {
              return name == "Preview" ? std::optional<QString>(item.uniqueID() + "-preview")
                                       : std::nullopt;
          });
    EXPECT_EQ(browsedPicture.previewURL(), "P9-preview");
    EXPECT_EQ(browsedPicture.thumbnailURL(), "");
    EXPECT_TRUE(browsedPicture.retrievalAttemptFailed());
    EXPECT_EQ(browsedPicture.viewTag(), 4);
    EXPECT_EQ(browsedPicture.orientation(), 6u);
    picture.insert("AssetType", "Remote");
    EXPECT_EQ(oruItem::initWithAsset(picture).viewTag(), 3);
}

TEST_F(ItemTest, RootIsTheEmptyIdentifierNotAMissingOne)
{
    oruItem item;
    EXPECT_TRUE(item.isRoot());
    EXPECT_TRUE(item.description().contains("thumbnailOptions:-1\n"));
    item.setUniqueID(QString());
    EXPECT_FALSE(item.isRoot());
    item.setUniqueID("X");
    EXPECT_FALSE(item.isRoot());
    EXPECT_FALSE(oruItem::initWithAsset(QVariantMap()).isRoot());
}

TEST_F(ItemTest, ImagePropertiesComeFromTheMetadata)
{
    const QString file = writePicture(
        "props.jpg", quadrants(120, 80), Metadata().oriented(8).digitized("2008:03:01 15:05:09"));
    const std::optional<QVariantMap> properties = oruItem::exifDataForFileAtPath(file);
    ASSERT_TRUE(properties.has_value());
    EXPECT_EQ(properties->value("PixelWidth").toLongLong(), 120);
    EXPECT_EQ(properties->value("PixelHeight").toLongLong(), 80);
    EXPECT_EQ(properties->value("Orientation").toLongLong(), 8);
    EXPECT_EQ(properties->value("{TIFF}").toMap().value("Orientation").toLongLong(), 8);
    EXPECT_EQ(properties->value("{Exif}").toMap().value("DateTimeDigitized").toString(),
        "2008:03:01 15:05:09");
}

} // namespace

} // namespace pondrel
