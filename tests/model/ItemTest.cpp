#include "TestJpeg.h"

#include "ScratchHome.h"
#include "model/oruItem.h"
#include "support/CSCache.h"
#include "support/Values.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ItemTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString writeJpeg(const QString &name, const QImage &image, const TestJpeg::Metadata &metadata)
    {
        const QString file = path(name);
        EXPECT_TRUE(TestJpeg::write(file, image, metadata)) << file.toStdString();
        return file;
    }

    static QImage cachedThumbnail(const QString &file)
    {
        const std::optional<QByteArray> bytes = CSCache::sharedCache().cachedDataForKey(file);
        return bytes ? QImage::fromData(*bytes, "PNG") : QImage();
    }

    ScratchHome m_home;
    QTemporaryDir m_dir;
};

QVariantMap albumRecordFromService()
{
    return QVariantMap {{QStringLiteral("AssetType"), QStringLiteral("Local")},
        {QStringLiteral("CS_AssetKind"), QStringLiteral("FolderAsset")},
        {QStringLiteral("Name"), QStringLiteral("Trip")},
        {QStringLiteral("UniqueIdentifier"), QStringLiteral("A1")},
        {QStringLiteral("Description"), Values::nullMarker()},
        {QStringLiteral("Rating"), QStringLiteral("Good")},
        {QStringLiteral("FolderAssetSharingPermissions"), QStringLiteral("7")},
        {QStringLiteral("CS_ThumbnailOptions"), QStringLiteral("2")},
        {QStringLiteral("FolderAssetExportLinks"), QVariantMap()}};
}

TEST_F(ItemTest, QuarterTurnedPictureIsSizedAndThumbnailedUpright)
{
    const QString file = writeJpeg(
        QStringLiteral("six.jpg"), TestJpeg::quadrants(640, 480), TestJpeg::Metadata().oriented(6));
    const oruItem item = oruItem::initWithFile(file, 0);

    EXPECT_EQ(item.orientation(), 6u);
    EXPECT_EQ(item.pixelsWidth(), 480);
    EXPECT_EQ(item.pixelsHeight(), 640);

    // Turned a quarter clockwise: the stored bottom-left (blue) is now top-left, the stored
    // top-left (red) top-right, the stored bottom-right (white) bottom-left.
    const QImage thumbnail = cachedThumbnail(file);
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(thumbnail.size(), QSize(75, 100));
    EXPECT_TRUE(TestJpeg::near(TestJpeg::colourAt(thumbnail, 0.25, 0.25), Qt::blue));
    EXPECT_TRUE(TestJpeg::near(TestJpeg::colourAt(thumbnail, 0.75, 0.25), Qt::red));
    EXPECT_TRUE(TestJpeg::near(TestJpeg::colourAt(thumbnail, 0.25, 0.75), Qt::white));
    EXPECT_TRUE(TestJpeg::near(TestJpeg::colourAt(thumbnail, 0.75, 0.75), Qt::green));

    const QVariantMap record = item.asset();
    EXPECT_EQ(record.value(QStringLiteral("RotateFlipType")).toString(), "Rotate90FlipNone");
    EXPECT_EQ(record.value(QStringLiteral("SourceWidth")).toLongLong(), 480);
    EXPECT_EQ(record.value(QStringLiteral("SourceHeight")).toLongLong(), 640);
}

TEST_F(ItemTest, NewDraftPictureTakesTheFileAndAddsPermissions)
{
    const QString file = writeJpeg(QStringLiteral("plain.jpg"), TestJpeg::quadrants(300, 200), {});
    const oruItem item = oruItem::initWithFile(file, 0);

    EXPECT_EQ(item.permissions(), 28u);
    EXPECT_EQ(oruItem::initWithFile(file, 3).permissions(), 31u);
    EXPECT_EQ(item.name(), "plain.jpg");
    EXPECT_EQ(item.fullPathName(), file);
    EXPECT_EQ(item.fileSize(), QFile(file).size());
    EXPECT_EQ(item.orientation(), 1u);
    EXPECT_EQ(item.pixelsWidth(), 300);
    EXPECT_EQ(item.pixelsHeight(), 200);
    EXPECT_TRUE(item.isDraft());
    EXPECT_FALSE(item.isFolder());
    EXPECT_EQ(item.viewTag(), 1);
    EXPECT_EQ(item.thumbnailOptions(), oruItem::kThumbnailOptionsNotSet);
    ASSERT_TRUE(item.previewPic().has_value());
    EXPECT_TRUE(item.previewPic()->isNull());
    EXPECT_FALSE(item.thumbnailPic().has_value());
    EXPECT_EQ(cachedThumbnail(file).size(), QSize(100, 67));
}

TEST_F(ItemTest, FileSizeBeyondTwoGibibytesIsKept)
{
    const QString file = path(QStringLiteral("huge.tif"));
    QFile sparse(file);
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    const qint64 size = 3LL * 1024 * 1024 * 1024 + 5;
    ASSERT_TRUE(sparse.resize(size));
    sparse.close();

    const oruItem item = oruItem::initWithFile(file, 0);
    EXPECT_EQ(item.fileSize(), size);
    EXPECT_EQ(item.asset().value(QStringLiteral("FileSize")).toString(), "3221225477");
}

TEST_F(ItemTest, FileThatIsNoPictureStillGivesAnItem)
{
    const QString file = path(QStringLiteral("notes.jpg"));
    QFile text(file);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture at all");
    text.close();

    const oruItem item = oruItem::initWithFile(file, 0);
    EXPECT_EQ(item.orientation(), 1u);
    EXPECT_EQ(item.pixelsWidth(), 0);
    EXPECT_EQ(item.pixelsHeight(), 0);
    EXPECT_EQ(item.name(), "notes.jpg");
    EXPECT_FALSE(CSCache::sharedCache().cachedDataForKey(file).has_value());
    EXPECT_FALSE(oruItem::exifDataForFileAtPath(file).has_value());
}

TEST_F(ItemTest, OrientationsOutsideOneToEightAreTakenAsUpright)
{
    for (const int odd : {0, 9}) {
        const QString file = writeJpeg(QStringLiteral("odd%1.jpg").arg(odd),
            TestJpeg::quadrants(64, 48), TestJpeg::Metadata().oriented(odd));
        const oruItem item = oruItem::initWithFile(file, 0);
        EXPECT_EQ(item.orientation(), 1u) << odd;
        EXPECT_EQ(item.pixelsWidth(), 64) << odd;
        EXPECT_EQ(
            item.asset().value(QStringLiteral("RotateFlipType")).toString(), "RotateNoneFlipNone");
    }
    QVariantMap record {{QStringLiteral("AssetType"), QStringLiteral("Local")},
        {QStringLiteral("CS_AssetKind"), QStringLiteral("PictureFileAsset")},
        {QStringLiteral("RotateFlipType"), QStringLiteral("Nada")},
        {QStringLiteral("Rating"), QStringLiteral("Splendid")}};
    for (const oruItem &item : {oruItem::initWithAsset(record),
             oruItem::initWithBrowsedAsset(record,
                 [](const oruItem &, const QString &) { return std::optional<QString>(); })}) {
        EXPECT_EQ(item.orientation(), 1u);
        EXPECT_EQ(item.rating(), 0u);
        EXPECT_EQ(item.asset().value(QStringLiteral("Rating")).toString(), "Unrated");
    }
    record.insert(QStringLiteral("RotateFlipType"), QStringLiteral("Rotate270FlipX"));
    record.insert(QStringLiteral("Rating"), QStringLiteral("Excellent"));
    EXPECT_EQ(oruItem::initWithAsset(record).orientation(), 7u);
    EXPECT_EQ(oruItem::initWithAsset(record).rating(), 4u);
}

TEST_F(ItemTest, LargeEnoughExifThumbnailIsUsedAndOthersAreNot)
{
    // The embedded thumbnails are yellow, the picture is not: the colour tells which was used.
    const QString served = writeJpeg(QStringLiteral("served.jpg"), TestJpeg::quadrants(640, 480),
        TestJpeg::Metadata().thumbnail(TestJpeg::filled(160, 120, Qt::yellow)));
    const QString tooSmall = writeJpeg(QStringLiteral("small.jpg"), TestJpeg::quadrants(640, 480),
        TestJpeg::Metadata().thumbnail(TestJpeg::filled(80, 60, Qt::yellow)));
    const QString padded = writeJpeg(QStringLiteral("padded.jpg"), TestJpeg::quadrants(600, 400),
        TestJpeg::Metadata().thumbnail(TestJpeg::filled(160, 120, Qt::yellow)));
    const QString turned = writeJpeg(QStringLiteral("turned.jpg"), TestJpeg::quadrants(640, 480),
        TestJpeg::Metadata().oriented(8).thumbnail(TestJpeg::filled(160, 120, Qt::yellow)));

    oruItem::initWithFile(served, 0);
    oruItem::initWithFile(tooSmall, 0);
    oruItem::initWithFile(padded, 0);
    oruItem::initWithFile(turned, 0);

    EXPECT_TRUE(
        TestJpeg::near(TestJpeg::colourAt(cachedThumbnail(served), 0.25, 0.75), Qt::yellow));
    EXPECT_EQ(cachedThumbnail(served).size(), QSize(100, 75));
    EXPECT_TRUE(
        TestJpeg::near(TestJpeg::colourAt(cachedThumbnail(tooSmall), 0.25, 0.75), Qt::blue));
    EXPECT_TRUE(TestJpeg::near(TestJpeg::colourAt(cachedThumbnail(padded), 0.25, 0.75), Qt::blue));
    EXPECT_EQ(cachedThumbnail(padded).size(), QSize(100, 67));
    EXPECT_EQ(cachedThumbnail(turned).size(), QSize(75, 100));
}

TEST_F(ItemTest, EveryCallOfAssetGivesANewIdentifier)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(QStringLiteral("Trip"));
    album.setUniqueID(QStringLiteral("KEPT"));
    const QVariantMap first = album.asset();
    const QVariantMap second = album.asset();
    EXPECT_NE(first.value(QStringLiteral("UniqueIdentifier")),
        second.value(QStringLiteral("UniqueIdentifier")));
    EXPECT_NE(first.value(QStringLiteral("UniqueIdentifier")).toString(), "KEPT");
    EXPECT_EQ(first.value(QStringLiteral("UniqueIdentifier")).toString().size(), 36);

    EXPECT_EQ(first.value(QStringLiteral("AssetType")).toString(), "Draft");
    EXPECT_EQ(first.value(QStringLiteral("CS_AssetKind")).toString(), "FolderAsset");
    EXPECT_EQ(first.value(QStringLiteral("FolderAssetSharingPermissions")).toLongLong(), 3);
    EXPECT_EQ(first.value(QStringLiteral("CS_ThumbnailOptions")).toLongLong(), 1);
    EXPECT_EQ(first.value(QStringLiteral("Rating")).toString(), "Unrated");
    EXPECT_FALSE(first.contains(QStringLiteral("RetrievalAttemptFailed")));
    EXPECT_EQ(first.value(QStringLiteral("FolderAssetRenditions")).toMap(),
        (QVariantMap {{QStringLiteral("FolderAssetRendition"), QVariantList()}}));
}

TEST_F(ItemTest, DraftPictureRecordReadsBackAsTheSameItem)
{
    const QString file = writeJpeg(QStringLiteral("back.jpg"), TestJpeg::quadrants(320, 240),
        TestJpeg::Metadata().oriented(3));
    oruItem picture = oruItem::initWithFile(file, 3);
    picture.setRating(5);
    picture.setComment(QStringLiteral("at the lake"));
    const QVariantMap record = picture.asset();
    EXPECT_EQ(record.size(), 26);
    EXPECT_EQ(record.value(QStringLiteral("MediaType")).toString(), "image/jpeg");
    EXPECT_EQ(record.value(QStringLiteral("RetrievalAttemptFailed")).toString(), "false");
    EXPECT_EQ(
        record.value(QStringLiteral("ReplacementDateUtc")).toString(), "0001-01-01T00:00:00+00:00");

    const oruItem back = oruItem::initWithAsset(record);
    EXPECT_TRUE(back.isDraft());
    EXPECT_EQ(back.viewTag(), 1);
    EXPECT_EQ(back.fullPathName(), file);
    EXPECT_EQ(back.name(), "back.jpg");
    EXPECT_EQ(back.comment(), "at the lake");
    EXPECT_EQ(back.orientation(), 3u);
    EXPECT_EQ(back.rating(), 5u);
    EXPECT_EQ(back.permissions(), 31u);
    EXPECT_EQ(back.pixelsWidth(), 320);
    EXPECT_EQ(back.pixelsHeight(), 240);
    EXPECT_FALSE(back.retrievalAttemptFailed());
    EXPECT_FALSE(back.isFolder());
}

TEST_F(ItemTest, AlbumRecordFailsRetrievalOnlyWhenCommitted)
{
    const QVariantMap record = albumRecordFromService();
    const oruItem committed = oruItem::initWithAsset(record);
    EXPECT_TRUE(committed.retrievalAttemptFailed());
    EXPECT_EQ(committed.thumbnailOptions(), 2u);
    EXPECT_EQ(committed.viewTag(), 2);
    EXPECT_TRUE(committed.isLocal());
    EXPECT_EQ(committed.permissions(), 7u);
    EXPECT_EQ(committed.rating(), 3u);
    EXPECT_EQ(committed.comment(), "");
    EXPECT_FALSE(committed.comment().isNull());
    EXPECT_TRUE(committed.isShared());
    EXPECT_FALSE(committed.hasEmailAliases());
    EXPECT_TRUE(committed.thumbnailURL().isNull());

    QStringList asked;
    const oruItem browsed
        = oruItem::initWithBrowsedAsset(record, [&](const oruItem &item, const QString &name) {
              asked << item.uniqueID() + QLatin1Char('/') + name;
              return std::optional<QString>(QStringLiteral("http://127.0.0.1/a1/") + name);
          });
    EXPECT_FALSE(browsed.retrievalAttemptFailed());
    EXPECT_EQ(browsed.thumbnailOptions(), oruItem::kThumbnailOptionsNotSet);
    EXPECT_EQ(browsed.thumbnailURL(), "http://127.0.0.1/a1/Thumbnail");
    EXPECT_EQ(browsed.previewURL(), "");
    EXPECT_EQ(asked, QStringList {QStringLiteral("A1/Thumbnail")});
    EXPECT_TRUE(browsed.isFolder());
    EXPECT_EQ(browsed.permissions(), 7u);
}

TEST_F(ItemTest, BrowsedPictureGetsBothRenditionAddresses)
{
    QVariantMap record {{QStringLiteral("AssetType"), QStringLiteral("Imported")},
        {QStringLiteral("CS_AssetKind"), QStringLiteral("PictureFileAsset")},
        {QStringLiteral("UniqueIdentifier"), QStringLiteral("P9")},
        {QStringLiteral("SourceWidth"), QStringLiteral("2000")},
        {QStringLiteral("SourceHeight"), QStringLiteral("3000")},
        {QStringLiteral("RotateFlipType"), QStringLiteral("Rotate90FlipNone")},
        {QStringLiteral("RetrievalAttemptFailed"), QStringLiteral("true")},
        {QStringLiteral("PictureFileAssetSharingPermissions"), QStringLiteral("31")}};
    const oruItem browsed
        = oruItem::initWithBrowsedAsset(record, [](const oruItem &item, const QString &name) {
              return name == QLatin1String("Preview")
                  ? std::optional<QString>(item.uniqueID() + QStringLiteral("-preview"))
                  : std::nullopt;
          });
    EXPECT_EQ(browsed.previewURL(), "P9-preview");
    EXPECT_EQ(browsed.thumbnailURL(), "");
    EXPECT_TRUE(browsed.retrievalAttemptFailed());
    EXPECT_TRUE(browsed.isImported());
    EXPECT_EQ(browsed.viewTag(), 4);
    EXPECT_EQ(browsed.orientation(), 6u);
    EXPECT_EQ(browsed.pixelsWidth(), 2000);
    EXPECT_EQ(browsed.pixelsHeight(), 3000);
    EXPECT_EQ(browsed.permissions(), 31u);

    record.insert(QStringLiteral("AssetType"), QStringLiteral("Remote"));
    EXPECT_EQ(oruItem::initWithAsset(record).viewTag(), 3);
    EXPECT_TRUE(oruItem::initWithAsset(record).isRemote());
}

TEST_F(ItemTest, RootIsTheEmptyIdentifierNotAMissingOne)
{
    oruItem item;
    EXPECT_TRUE(item.isRoot());
    item.setUniqueID(QString());
    EXPECT_FALSE(item.isRoot());
    item.setUniqueID(QStringLiteral("X"));
    EXPECT_FALSE(item.isRoot());
    // An item read from a record without an identifier is not the root either.
    EXPECT_FALSE(oruItem::initWithAsset(QVariantMap()).isRoot());
}

TEST_F(ItemTest, DescriptionListsTheFieldsForTheLog)
{
    oruItem item = oruItem::initWithAsset(albumRecordFromService());
    EXPECT_EQ(item.description(),
        "Name: Trip\n  fullPathName: nil\n  description: \n  previewURL: nil\n"
        "  thumbnailURL: nil\n  uniqueID: A1\n  rating:3\n  permissions:7\n"
        "  thumbnailOptions:2\n  SourceWidth:0\n  SourceHeight:0\n"
        "  retrievalAttemptFailed:true\n  isFolder:true\n  isLocal:true\n  isRemote:false\n"
        "  isImported:false\n  Orientation:1\n");
    EXPECT_TRUE(oruItem().description().contains("thumbnailOptions:-1\n"));
}

TEST_F(ItemTest, ImagePropertiesComeFromTheMetadata)
{
    const QString file = writeJpeg(QStringLiteral("props.jpg"), TestJpeg::quadrants(120, 80),
        TestJpeg::Metadata().oriented(8).digitized(QStringLiteral("2008:03:01 15:05:09")));
    const std::optional<QVariantMap> properties = oruItem::exifDataForFileAtPath(file);
    ASSERT_TRUE(properties.has_value());
    EXPECT_EQ(properties->value(QStringLiteral("PixelWidth")).toLongLong(), 120);
    EXPECT_EQ(properties->value(QStringLiteral("PixelHeight")).toLongLong(), 80);
    EXPECT_EQ(properties->value(QStringLiteral("Orientation")).toLongLong(), 8);
    EXPECT_EQ(properties->value(QStringLiteral("{TIFF}"))
                  .toMap()
                  .value(QStringLiteral("Orientation"))
                  .toLongLong(),
        8);
    EXPECT_EQ(properties->value(QStringLiteral("{Exif}"))
                  .toMap()
                  .value(QStringLiteral("DateTimeDigitized"))
                  .toString(),
        "2008:03:01 15:05:09");
}

} // namespace
