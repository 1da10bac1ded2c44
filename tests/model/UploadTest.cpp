#include "TestJpeg.h"

#include "RefServiceProcess.h"
#include "ScratchHome.h"
#include "client/oruNetwork.h"
#include "client/oruNetwork_photoDB.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// Sets TZ for the lifetime of the object.
class TimeZoneScope
{
public:
    explicit TimeZoneScope(const char *zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope()
    {
        if (m_hadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};

TEST(ExifTimeToUTC, LocalTimeOneHourAheadOfUtc)
{
    const TimeZoneScope zone("CET-1");
    EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01 15:05:09")),
        QStringLiteral("2008-03-01T14:05:09Z"));
    // Any one character separates the date from the time; the day rolls back at midnight.
    EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01T00:30:00")),
        QStringLiteral("2008-02-29T23:30:00Z"));
}

TEST(ExifTimeToUTC, DaylightSavingTimeIsThatOfTheDate)
{
    const TimeZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:07:01 15:05:09")),
        QStringLiteral("2008-07-01T13:05:09Z"));
    EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:12:01 15:05:09")),
        QStringLiteral("2008-12-01T14:05:09Z"));
}

TEST(ExifTimeToUTC, TextsThatAreNoDateGiveNothing)
{
    const TimeZoneScope zone("UTC0");
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QString()));
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01")));
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01 15:05")));
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01 15:05:0\u00e9")));
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("0000:00:00 00:00:00")));
    EXPECT_FALSE(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:13:01 15:05:09")));
    EXPECT_EQ(oruNetworkUpload::ExifTimeToUTC(QStringLiteral("2008:03:01 15:05:09")),
        QStringLiteral("2008-03-01T15:05:09Z"));
}

// A signed-on client against a reference service of its own, in a scratch home.
class UploadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        qputenv("PONDREL_SERVICE_URL", m_service.baseUrl().toUtf8());
        m_network = std::make_unique<oruNetwork>();
        ASSERT_TRUE(m_network->registerComputerIfNeeded()) << m_network->errorMsg().toStdString();
        ASSERT_TRUE(m_network->createNewAccount(QStringLiteral("Ann"), QStringLiteral("Lee"),
            QStringLiteral("secret1"), QStringLiteral("ann@example.com")))
            << m_network->errorMsg().toStdString();
        ASSERT_TRUE(m_network->signOn(QStringLiteral("ann@example.com"), QStringLiteral("secret1")))
            << m_network->errorMsg().toStdString();
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName(QStringLiteral("Holidays"));
        const std::optional<QString> albumId
            = oruNetworkUpload::uploadFolderItem(*m_network, album, QStringLiteral(""));
        ASSERT_TRUE(albumId.has_value()) << m_network->errorMsg().toStdString();
        m_albumId = *albumId;
    }

    void TearDown() override { qunsetenv("PONDREL_SERVICE_URL"); }

    QString writeJpeg(const QString &name, const QImage &image, const TestJpeg::Metadata &metadata)
    {
        const QString file = m_dir.filePath(name);
        EXPECT_TRUE(TestJpeg::write(file, image, metadata));
        return file;
    }

    QVariantList picturesInAlbum()
    {
        QVariantList pictures;
        for (const QVariant &record : m_network->getAssets(m_albumId).value_or(QVariantList())) {
            if (record.toMap().value(QStringLiteral("CS_AssetKind")) == "PictureFileAsset")
                pictures << record;
        }
        return pictures;
    }

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

    ScratchHome m_home;
    RefServiceProcess m_service;
    QTemporaryDir m_dir;
    std::unique_ptr<oruNetwork> m_network;
    QString m_albumId;
};

TEST_F(UploadTest, AlbumIsCreatedWithTheItemsSettings)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(QStringLiteral("Day 1"));
    album.setComment(QStringLiteral("the first day"));
    album.setRating(2);
    album.setThumbnailOptions(3);
    album.setPermissions(5);
    const std::optional<QString> id
        = oruNetworkUpload::uploadFolderItem(*m_network, album, m_albumId);
    ASSERT_TRUE(id.has_value()) << m_network->errorMsg().toStdString();

    const QVariantList children = m_network->getAssets(m_albumId).value_or(QVariantList());
    ASSERT_EQ(children.size(), 1);
    const oruItem read = oruItem::initWithAsset(children.first().toMap());
    EXPECT_EQ(read.uniqueID(), *id);
    EXPECT_EQ(read.name(), "Day 1");
    EXPECT_EQ(read.comment(), "the first day");
    EXPECT_EQ(read.rating(), 2u);
    EXPECT_EQ(read.permissions(), 5u);
    EXPECT_TRUE(read.isFolder());
    EXPECT_TRUE(read.isLocal());
}

TEST_F(UploadTest, AlbumReadWhileBrowsingIsSentWithAThumbnailOption)
{
    // Browsing leaves the thumbnail option unset; the service still needs a valid name.
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(QStringLiteral("Browsed"));
    album.setThumbnailOptions(oruItem::kThumbnailOptionsNotSet);
    album.setRating(17);
    ASSERT_TRUE(oruNetworkUpload::uploadFolderItem(*m_network, album, m_albumId))
        << m_network->errorMsg().toStdString();
    const QVariantMap record
        = m_network->getAssets(m_albumId).value_or(QVariantList()).first().toMap();
    EXPECT_EQ(record.value(QStringLiteral("AutomaticThumbnailOptions")).toString(),
        "ThumbnailFirstImage");
    EXPECT_EQ(record.value(QStringLiteral("Rating")).toString(), "Unrated");
}

TEST_F(UploadTest, PictureWhosePhotoRecordCannotBeWrittenIsNotCreated)
{
    const QString file = writeJpeg(QStringLiteral("orphan.jpg"), TestJpeg::quadrants(64, 48), {});
    const oruItem item = oruItem::initWithFile(file, 3);
    // A plain file where the photo database's folder belongs: nothing can be written there.
    QFile blocker(m_home.dataHome() + QStringLiteral("/Trevane"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    EXPECT_FALSE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
    EXPECT_TRUE(picturesInAlbum().isEmpty());
}

TEST_F(UploadTest, AlbumRefusedLeavesTheServicesMessage)
{
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(QStringLiteral("Orphan"));
    EXPECT_FALSE(oruNetworkUpload::uploadFolderItem(*m_network, album, QStringLiteral("NO-SUCH")));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
}

TEST_F(UploadTest, QuarterTurnedPictureIsCreatedUprightWithItsDigestAndMoniker)
{
    const TimeZoneScope zone("CET-1");
    const QString file = writeJpeg(QStringLiteral("IMG_0006.jpg"), TestJpeg::quadrants(3000, 2000),
        TestJpeg::Metadata().oriented(6).digitized(QStringLiteral("2008:03:01 15:05:09")));
    oruItem item = oruItem::initWithFile(file, 3);
    item.setComment(QStringLiteral("tower"));
    item.setRating(4);
    ASSERT_TRUE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId))
        << m_network->errorMsg().toStdString();

    const QVariantList pictures = picturesInAlbum();
    ASSERT_EQ(pictures.size(), 1);
    const QVariantMap record = pictures.first().toMap();
    EXPECT_EQ(record.value(QStringLiteral("Name")).toString(), "IMG_0006.jpg");
    EXPECT_EQ(record.value(QStringLiteral("Description")).toString(), "tower");
    EXPECT_EQ(record.value(QStringLiteral("Rating")).toString(), "Excellent");
    EXPECT_EQ(record.value(QStringLiteral("MediaType")).toString(), "image/jpeg");
    EXPECT_EQ(record.value(QStringLiteral("SourceWidth")).toString(), "2000");
    EXPECT_EQ(record.value(QStringLiteral("SourceHeight")).toString(), "3000");
    EXPECT_EQ(record.value(QStringLiteral("RotateFlipType")).toString(), "Rotate90FlipNone");
    EXPECT_EQ(
        record.value(QStringLiteral("FileSize")).toString(), QString::number(QFile(file).size()));
    EXPECT_EQ(record.value(QStringLiteral("PictureFileAssetSharingPermissions")).toString(), "31");
    EXPECT_TRUE(record.value(QStringLiteral("DatePictureTakenUtc"))
                    .toString()
                    .startsWith(QStringLiteral("2008-03-01T14:05:09")))
        << record.value(QStringLiteral("DatePictureTakenUtc")).toString().toStdString();
    const std::optional<QString> hash = oruNetwork::sha1FromFile(file);
    ASSERT_TRUE(hash.has_value());
    EXPECT_EQ(record.value(QStringLiteral("Hash")).toString(), *hash);

    const QStringList monikers = monikersOf(file);
    ASSERT_EQ(monikers.size(), 1);
    const std::optional<QVariantMap> photo = oruNetworkPhotoDB::getPhotoFromDB(monikers.first());
    ASSERT_TRUE(photo.has_value());
    EXPECT_EQ(photo->value(oruNetworkPhotoDB::kHashKey).toString(), *hash);
}

TEST_F(UploadTest, TwoUploadsOfOneFileGiveTwoMonikersAndTwoRecords)
{
    const QString file = writeJpeg(QStringLiteral("twice.jpg"), TestJpeg::quadrants(200, 100), {});
    const oruItem item = oruItem::initWithFile(file, 3);
    ASSERT_TRUE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId));
    ASSERT_TRUE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId));

    const QStringList monikers = monikersOf(file);
    ASSERT_EQ(monikers.size(), 2);
    EXPECT_NE(monikers.at(0), monikers.at(1));
    EXPECT_EQ(picturesInAlbum().size(), 2);
}

TEST_F(UploadTest, PictureWithoutExifDateOrOfAnotherTypeIsStillCreated)
{
    const QString jpeg = writeJpeg(QStringLiteral("nodate.jpg"), TestJpeg::quadrants(64, 48), {});
    const QString png = m_dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(TestJpeg::quadrants(50, 40).save(png, "PNG"));
    ASSERT_TRUE(
        oruNetworkUpload::uploadPictureAsset(*m_network, oruItem::initWithFile(jpeg, 3), m_albumId))
        << m_network->errorMsg().toStdString();
    ASSERT_TRUE(
        oruNetworkUpload::uploadPictureAsset(*m_network, oruItem::initWithFile(png, 3), m_albumId))
        << m_network->errorMsg().toStdString();

    QStringList mediaTypes;
    for (const QVariant &picture : picturesInAlbum())
        mediaTypes << picture.toMap().value(QStringLiteral("MediaType")).toString();
    EXPECT_EQ(
        mediaTypes, (QStringList {QStringLiteral("image/jpeg"), QStringLiteral("image/png")}));
}

TEST_F(UploadTest, FileSizeBeyondTwoGibibytesTravelsWhole)
{
    // A real picture followed by sparse padding: its header reads as usual, its size is just
    // past what 32 bits hold. The item comes from a draft record, so the file is never decoded.
    const QString file = writeJpeg(QStringLiteral("large.jpg"), TestJpeg::quadrants(64, 48), {});
    QFile padded(file);
    ASSERT_TRUE(padded.open(QIODevice::ReadWrite));
    const qint64 size = (qint64(1) << 31) + 7;
    ASSERT_TRUE(padded.resize(size));
    padded.close();

    const oruItem item
        = oruItem::initWithAsset({{QStringLiteral("AssetType"), QStringLiteral("Draft")},
            {QStringLiteral("CS_AssetKind"), QStringLiteral("PictureFileAsset")},
            {QStringLiteral("CS_LocalFileName"), file}});
    ASSERT_TRUE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId))
        << m_network->errorMsg().toStdString();
    EXPECT_EQ(picturesInAlbum().first().toMap().value(QStringLiteral("FileSize")).toString(),
        QStringLiteral("2147483655"));
}

TEST_F(UploadTest, PictureFollowsASymbolicLinkToItsFile)
{
    const QString file = writeJpeg(QStringLiteral("target.jpg"), TestJpeg::quadrants(64, 48), {});
    const QString link = m_dir.filePath(QStringLiteral("alias.jpg"));
    ASSERT_TRUE(QFile::link(file, link));
    ASSERT_TRUE(oruNetworkUpload::uploadPictureAsset(
        *m_network, oruItem::initWithFile(link, 3), m_albumId));
    EXPECT_EQ(monikersOf(file).size(), 1);
    EXPECT_EQ(
        picturesInAlbum().first().toMap().value(QStringLiteral("Name")).toString(), "target.jpg");
}

TEST_F(UploadTest, MissingOrUnreadableFileIsRefusedBeforeAnyRecord)
{
    const QString file = writeJpeg(QStringLiteral("gone.jpg"), TestJpeg::quadrants(64, 48), {});
    const oruItem item = oruItem::initWithFile(file, 3);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_FALSE(oruNetworkUpload::uploadPictureAsset(*m_network, item, m_albumId));
    EXPECT_TRUE(m_network->errorMsg().contains(file));

    const QString text = m_dir.filePath(QStringLiteral("text.jpg"));
    QFile notPicture(text);
    ASSERT_TRUE(notPicture.open(QIODevice::WriteOnly));
    notPicture.write("hello");
    notPicture.close();
    EXPECT_FALSE(oruNetworkUpload::uploadPictureAsset(
        *m_network, oruItem::initWithFile(text, 3), m_albumId));

    EXPECT_TRUE(monikersOf(file).isEmpty());
    EXPECT_TRUE(monikersOf(text).isEmpty());
    EXPECT_TRUE(picturesInAlbum().isEmpty());
}

TEST_F(UploadTest, RefusedPictureKeepsItsPhotoRecord)
{
    const QString file = writeJpeg(QStringLiteral("refused.jpg"), TestJpeg::quadrants(64, 48), {});
    EXPECT_FALSE(oruNetworkUpload::uploadPictureAsset(
        *m_network, oruItem::initWithFile(file, 3), QStringLiteral("NO-SUCH-ALBUM")));
    EXPECT_FALSE(m_network->errorMsg().isEmpty());
    EXPECT_EQ(monikersOf(file).size(), 1);
}

} // namespace
