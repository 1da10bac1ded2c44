// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/model/SignedOnTest.h"
#include "tests/imaging/TestPictures.h"

#include "client/oruNetwork_photoDB.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"

#include <QFile>

#include <ctime>

namespace pondrel {

using namespace TestPictures;

namespace {

// Sets TZ for the lifetime of the object.
struct TimeZoneScope
{
    explicit TimeZoneScope(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope()
    {
        saved ? qputenv("TZ", *saved) : qunsetenv("TZ");
        tzset();
    }
    const std::optional<QByteArray> saved
        = qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
};

TEST(ExifTimeToUTC, LocalTimeOfTheDateInTheZoneBecomesUtc)
{
    const struct
    {
        const char *zone, *exifTime;
        std::optional<QString> utc;
    } cases[] {
        // One hour ahead of UTC; any one character separates the date from the time, and the
        // day rolls back at midnight.
        {"CET-1", "2008:03:01 15:05:09", "2008-03-01T14:05:09Z"},
        {"CET-1", "2008:03:01T00:30:00", "2008-02-29T23:30:00Z"},
        // Daylight saving time is that of the date.
        {"CET-1CEST,M3.5.0,M10.5.0/3", "2008:07:01 15:05:09", "2008-07-01T13:05:09Z"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "2008:12:01 15:05:09", "2008-12-01T14:05:09Z"},
        {"UTC0", "2008:03:01 15:05:09", "2008-03-01T15:05:09Z"},
        {"UTC0", "", std::nullopt},
        {"UTC0", "2008:03:01", std::nullopt},
        {"UTC0", "2008:03:01 15:05", std::nullopt},
        {"UTC0", "2008:03:01 15:05:0\u00e9", std::nullopt},
        {"UTC0", "0000:00:00 00:00:00", std::nullopt},
        {"UTC0", "2008:13:01 15:05:09", std::nullopt},
    };
    for (const auto &c : cases) {
        const TimeZoneScope zone(c.zone);
        EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QString::fromUtf8(c.exifTime)), c.utc)
            << c.zone << " " << c.exifTime;
    }
}

class UploadTest : public SignedOnTest
{
protected:
    void SetUp() override
    {
        SignedOnTest::SetUp();
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName("Holidays");
        const std::optional<QString> albumId
            = oruNetworkUpload::uploadFolderItem(*m_network, album, "");
        ASSERT_TRUE(albumId.has_value()) << m_network->errorMsg().toStdString();
        m_albumId = *albumId;
    }

    QString writePicture(const QString &name, const Metadata &metadata = {})
    {
        const QString file = m_files.filePath(name);
        EXPECT_TRUE(writeJpeg(file, quadrants(64, 48), metadata));
        return file;
    }
    bool upload(const oruItem &item, const QString &parent = {})
    {
        return oruNetworkUpload::uploadPictureAsset(
            *m_network, item, parent.isNull() ? m_albumId : parent);
    }
    QList<QVariantMap> picturesInAlbum() { return assetsIn(m_albumId).values(); }

    static QStringList monikersOf(const QString &path)
    {
        QStringList monikers;
        const QVariantMap records = oruNetworkPhotoDB::allPhotosInDB().value_or(QVariantMap());
        for (auto it = records.cbegin(); it != records.cend(); ++it) {
            if (it.value().toMap().value(oruNetworkPhotoDB::kPathKey).toString() == path)
                monikers << it.key();
        }
        return monikers;
    }

    QString m_albumId;
};

TEST_F(UploadTest, AlbumsAreCreatedWithTheItemsSettingsAndValidNames)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName("Day 1");
    album.setComment("the first day");
    album.setRating(2);
    album.setPermissions(5);
    const std::optional<QString> id
        = oruNetworkUpload::uploadFolderItem(*m_network, album, m_albumId);
    ASSERT_TRUE(id.has_value()) << m_network->errorMsg().toStdString();
    // Browsing leaves the thumbnail option unset, and a rating may be out of range; the service
    // still needs valid names.
    album.setName("Browsed");
    album.setThumbnailOptions(oruItem::kThumbnailOptionsNotSet);
    album.setRating(17);
    ASSERT_TRUE(oruNetworkUpload::uploadFolderItem(*m_network, album, m_albumId))
        << m_network->errorMsg().toStdString();

    const QMap<QString, QVariantMap> albums = assetsIn(m_albumId);
    const oruItem read = oruItem::initWithAsset(albums.value("Day 1"));
    EXPECT_EQ(read.uniqueID(), *id);
    EXPECT_EQ(read.comment(), "the first day");
    EXPECT_EQ(read.rating(), 2u);
    EXPECT_EQ(read.permissions(), 5u);
    EXPECT_TRUE(read.isFolder());
    EXPECT_EQ(albums.value("Browsed").value("AutomaticThumbnailOptions").toString(),
        "ThumbnailFirstImage");
    EXPECT_EQ(albums.value("Browsed").value("Rating").toString(), "Unrated");

    EXPECT_FALSE(oruNetworkUpload::uploadFolderItem(*m_network, album, "NO-SUCH"));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
}

TEST_F(UploadTest, QuarterTurnedPictureIsCreatedUprightWithItsDigestAndMoniker)
{
    const TimeZoneScope zone("CET-1");
    const QString file = m_files.filePath("IMG_0006.jpg");
    ASSERT_TRUE(writeJpeg(
        file, quadrants(3000, 2000), Metadata().oriented(6).digitized("2008:03:01 15:05:09")));
    oruItem item = oruItem::initWithFile(file, 3);
    item.setComment("tower");
    item.setRating(4);
    ASSERT_TRUE(upload(item)) << m_network->errorMsg().toStdString();

    const QList<QVariantMap> pictures = picturesInAlbum();
    ASSERT_EQ(pictures.size(), 1);
    const QVariantMap record = pictures.first();
    const std::optional<QString> hash = oruNetwork::sha1FromFile(file);
    ASSERT_TRUE(hash.has_value());
    const QMap<QString, QString> expected {{"Name", "IMG_0006.jpg"}, {"Description", "tower"},
        {"Rating", "Excellent"}, {"MediaType", "image/jpeg"}, {"SourceWidth", "2000"},
        {"SourceHeight", "3000"}, {"RotateFlipType", "Rotate90FlipNone"},
        {"FileSize", QString::number(QFile(file).size())},
        {"PictureFileAssetSharingPermissions", "31"}, {"Hash", *hash}};
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(record.value(it.key()).toString(), it.value()) << it.key().toStdString();
    EXPECT_TRUE(record.value("DatePictureTakenUtc").toString().startsWith("2008-03-01T14:05:09"))
        << record.value("DatePictureTakenUtc").toString().toStdString();

    const QStringList monikers = monikersOf(file);
    ASSERT_EQ(monikers.size(), 1);
    const std::optional<QVariantMap> photo = oruNetworkPhotoDB::getPhotoFromDB(monikers.first());
    ASSERT_TRUE(photo.has_value());
    EXPECT_EQ(photo->value(oruNetworkPhotoDB::kHashKey).toString(), *hash);
}

TEST_F(UploadTest, TwoUploadsOfOneFileGiveTwoMonikersAndTwoRecords)
{
    const QString file = writePicture("twice.jpg");
    const oruItem item = oruItem::initWithFile(file, 3);
    ASSERT_TRUE(upload(item));
    ASSERT_TRUE(upload(item));
    const QStringList monikers = monikersOf(file);
    ASSERT_EQ(monikers.size(), 2);
    EXPECT_NE(monikers.at(0), monikers.at(1));
    EXPECT_EQ(m_network->getAssets(m_albumId)->size(), 2);
}

TEST_F(UploadTest, PicturesWithoutDateOfOtherTypesOrBehindLinksAreCreated)
{
    const QString jpeg = writePicture("nodate.jpg");
    const QString png = m_files.filePath("shot.png");
    ASSERT_TRUE(quadrants(50, 40).save(png, "PNG"));
    const QString link = m_files.filePath("alias.jpg");
    ASSERT_TRUE(QFile::link(writePicture("target.jpg"), link));
    for (const QString &file : {jpeg, png, link})
        ASSERT_TRUE(upload(oruItem::initWithFile(file, 3))) << m_network->errorMsg().toStdString();

    const QMap<QString, QVariantMap> pictures = assetsIn(m_albumId);
    EXPECT_EQ(pictures.keys(), (QStringList {"nodate.jpg", "shot.png", "target.jpg"}));
    EXPECT_EQ(pictures.value("nodate.jpg").value("MediaType").toString(), "image/jpeg");
    EXPECT_EQ(pictures.value("shot.png").value("MediaType").toString(), "image/png");
    // A link is followed to its file.
    EXPECT_EQ(monikersOf(m_files.filePath("target.jpg")).size(), 1);
}

TEST_F(UploadTest, FileSizeBeyondTwoGibibytesTravelsWhole)
{
    // A real picture followed by sparse padding: its header reads as usual, its size is just
    // past what 32 bits hold. The item comes from a draft record, so the file is never decoded.
    const QString file = writePicture("large.jpg");
    QFile padded(file);
    ASSERT_TRUE(padded.open(QIODevice::ReadWrite) && padded.resize((qint64(1) << 31) + 7));
    padded.close();
    const oruItem item = oruItem::initWithAsset(
        {{"AssetType", "Draft"}, {"CS_AssetKind", "PictureFileAsset"}, {"CS_LocalFileName", file}});
    ASSERT_TRUE(upload(item)) << m_network->errorMsg().toStdString();
    EXPECT_EQ(picturesInAlbum().first().value("FileSize").toString(), "2147483655");
}

// The photo record is written before the service is asked, and only for a readable picture.
TEST_F(UploadTest, PhotoRecordComesFirstAndOnlyForAReadablePicture)
{
    const QString gone = writePicture("gone.jpg");
    const oruItem item = oruItem::initWithFile(gone, 3);
    ASSERT_TRUE(QFile::remove(gone));
    EXPECT_FALSE(upload(item));
    EXPECT_TRUE(m_network->errorMsg().contains(gone));
    const QString text = m_files.filePath("text.jpg");
    ASSERT_TRUE(writeBytes(text, "hello"));
    EXPECT_FALSE(upload(oruItem::initWithFile(text, 3)));
    EXPECT_TRUE(monikersOf(gone).isEmpty());
    EXPECT_TRUE(monikersOf(text).isEmpty());

    // Refused by the service: the record stays.
    const QString refused = writePicture("refused.jpg");
    EXPECT_FALSE(upload(oruItem::initWithFile(refused, 3), "NO-SUCH-ALBUM"));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
    EXPECT_EQ(monikersOf(refused).size(), 1);
}

TEST_F(UploadTest, PictureWhosePhotoRecordCannotBeWrittenIsNotCreated)
{
    // A plain file where the photo database's folder belongs: nothing can be written there.
    const oruItem orphan = oruItem::initWithFile(writePicture("orphan.jpg"), 3);
    ASSERT_TRUE(writeBytes(m_home.dataHome() + "/Trevane", {}));
    EXPECT_FALSE(upload(orphan));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
    EXPECT_TRUE(picturesInAlbum().isEmpty());
}

} // namespace

} // namespace pondrel
