// SPDX-License-Identifier: GPL-2.0-or-later
// The photo libraries read into one record shape: album data files, digiKam and Shotwell.
#include "tests/common/PhotoLibraryFixtures.h"
#include "tests/common/ScratchHome.h"
#include "tests/imaging/TestPictures.h"

#include "model/photolibrary/PhotoLibraryCatalogue.h"
#include "support/Preferences.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace pondrel;
using namespace PhotoLibraryFixtures;

namespace {

class PhotoLibraryTest : public ::testing::Test
{
protected:
    // A copy of an example picture in the scratch home.
    QString picture(const QString &relative, int example = 1)
    {
        const QString path = m_home.path() + "/Pictures/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile::copy(
            TestPictures::exifOrientationFolder() + QString("/Landscape_%1.jpg").arg(example),
            path);
        return path;
    }

    PhotoLibraryCatalogue::Locations nothingBut(const QStringList &dataFiles) const
    {
        return {dataFiles, m_home.path() + "/no-digikamrc", m_home.path() + "/no-photo.db"};
    }

    static QList<QPair<QString, int>> offered(const PhotoLibraryCatalogue &catalogue)
    {
        QList<QPair<QString, int>> albums;
        for (const auto &album : catalogue.offeredAlbums())
            albums.append({album.label, album.tag});
        return albums;
    }

    static QByteArray fingerprint(const QString &path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
            + QFileInfo(path).lastModified().toString(Qt::ISODateWithMs).toUtf8();
    }

    ScratchHome m_home;
};

using Offered = QList<QPair<QString, int>>;

TEST_F(PhotoLibraryTest, AlbumDataFilesOfferAlbumsByTheirIndexAndImportOnlyPictures)
{
    const QString a = picture("a.jpg"), b = picture("b.jpg");
    const QString library = m_home.path() + "/AlbumData.xml";
    ASSERT_TRUE(writeAlbumDataFile(library,
        {albumEntry("Book", "Book", {"1"}), albumEntry("Vacation", "Regular", {"1", "2", "3"}),
            albumEntry("Slideshow", "Slideshow", {"2"}), albumEntry("Family", "Regular", {"2"})},
        {{"1", imageEntry(a, "Image")}, {"2", imageEntry(b)},
            {"3", imageEntry("/m.mov", "Movie")}}));
    // Listed as the Publisher's preference holds them: file URLs, and a broken and a gone one.
    const QString broken = m_home.path() + "/broken.xml";
    TestPictures::writeBytes(broken, "this is <not a property list");
    ASSERT_TRUE(Preferences::shared().setValue("PhotoLibraries",
        QVariantList {QUrl::fromLocalFile(broken).toString(),
            QUrl::fromLocalFile(library).toString(), m_home.path() + "/gone.xml"}));

    const PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(
        nothingBut(PhotoLibraryCatalogue::Locations::standard().albumDataFiles));
    EXPECT_EQ(offered(catalogue), (Offered {{"Vacation", 1}, {"Family", 3}}));
    const auto vacation = catalogue.pictures(1);
    ASSERT_TRUE(vacation);
    EXPECT_EQ(vacation->albumName, "Vacation");
    EXPECT_EQ(vacation->paths, (QStringList {a, b})) << "the movie is left out";
    EXPECT_FALSE(catalogue.pictures(-1));
    EXPECT_FALSE(catalogue.pictures(4));

    QStringList unavailable;
    for (const UnavailableSource &source : catalogue.unavailable())
        unavailable.append(source.reason);
    EXPECT_TRUE(unavailable.filter("broken.xml is not an album data file").size() == 1)
        << unavailable.join("\n").toStdString();
    EXPECT_TRUE(unavailable.filter("gone.xml does not exist").size() == 1);
    EXPECT_TRUE(unavailable.filter("digikamrc does not exist").size() == 1);
    EXPECT_TRUE(unavailable.filter("photo.db does not exist").size() == 1);
}

TEST_F(PhotoLibraryTest, LaterAlbumDataFilesReplaceTheAlbumListAndGonePicturesAreCounted)
{
    const QString first = m_home.path() + "/first.xml", second = m_home.path() + "/second.xml";
    const QString kept = picture("kept.jpg");
    ASSERT_TRUE(writeAlbumDataFile(first, {albumEntry("Old", "Regular", {"1"})},
        {{"1", imageEntry(kept)}, {"2", imageEntry(m_home.path() + "/gone.jpg")}}));
    // The second has albums but no image list: the first one's images stay.
    ASSERT_TRUE(writeAlbumDataFile(second,
        {albumEntry("Slideshow", "Slideshow", {}), albumEntry("New", "Regular", {"2", "1", "9"})},
        {}));
    const PhotoLibraryCatalogue catalogue
        = PhotoLibraryCatalogue::read(nothingBut({first, second}));
    EXPECT_EQ(offered(catalogue), (Offered {{"New", 1}}));
    const auto pictures = catalogue.pictures(1);
    ASSERT_TRUE(pictures);
    EXPECT_EQ(pictures->paths, QStringList {kept});
    EXPECT_EQ(pictures->missing, 1) << "a key without an image is no picture, a gone file is";
}

TEST_F(PhotoLibraryTest, DigikamAlbumsComeFromItsDatabaseWhichIsNeverWritten)
{
    const QString folder = m_home.path() + "/digikam-db";
    const QString a = picture("Vacation/a.jpg"), b = picture("Vacation/b.jpg");
    const QString c = picture("Family & friends/c.jpg"), d = picture("2024/Vacation/d.jpg");
    ASSERT_TRUE(writeDigikam(folder,
        {{"Vacation",
             {{a}, {m_home.path() + "/Pictures/Vacation/clip.mp4", 2},
                 {m_home.path() + "/Pictures/Vacation/hidden.jpg", 1, 3}, {b}}},
            {"Family & friends", {{c}}}, {"2024/Vacation", {{d}}}}));
    const QString config = m_home.configHome() + "/digikamrc";
    ASSERT_TRUE(writeDigikamConfig(config, folder));
    const QString database = folder + "/digikam4.db";
    const QByteArray before = fingerprint(database);
    const QString plist = m_home.path() + "/AlbumData.xml";
    ASSERT_TRUE(writeAlbumDataFile(
        plist, {albumEntry("Book", "Book", {}), albumEntry("Mine", "Regular", {})}, {}));

    PhotoLibraryCatalogue::Locations locations = nothingBut({plist});
    locations.digikamConfig = config;
    const PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(locations);
    // Album data files first (two albums, tags 0 and 1), then digiKam's albums.
    EXPECT_EQ(offered(catalogue),
        (Offered {{"Mine", 1}, {"digiKam: 2024/Vacation", 2}, {"digiKam: Family & friends", 3},
            {"digiKam: Vacation", 4}}));
    EXPECT_EQ(catalogue.album(2)->value("AlbumName"), "Vacation");
    const auto vacation = catalogue.pictures(4);
    ASSERT_TRUE(vacation);
    EXPECT_EQ(vacation->albumName, "Vacation");
    EXPECT_EQ(vacation->paths, (QStringList {a, b})) << "no video, nothing hidden";
    EXPECT_EQ(catalogue.pictures(3)->paths, QStringList {c});
    EXPECT_EQ(fingerprint(database), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList {"digikam4.db"})
        << "no journal or lock file left beside it";
}

TEST_F(PhotoLibraryTest, ShotwellEventsAndTagsAreAlbumsAndVideosAreNoPictures)
{
    const QString a = picture("2024/a.jpg"), b = picture("2024/b.jpg"), c = picture("2025/c.jpg");
    const QString database = m_home.dataHome() + "/shotwell/data/photo.db";
    ASSERT_TRUE(writeShotwell(database,
        {{"Summer", {{a}, {m_home.path() + "/Pictures/2024/clip.mp4", 2}, {b}}},
            {"", {{c}, {m_home.path() + "/Pictures/2025/trashed.jpg", 1, 4}}}},
        {{"Cats", {3, 1, 0}}}));
    PhotoLibraryCatalogue::Locations locations = nothingBut({});
    locations.shotwellDatabase = database;
    const PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(locations);
    ASSERT_EQ(catalogue.offeredAlbums().size(), 3);
    EXPECT_EQ(catalogue.offeredAlbums()[0].label, "Shotwell event: Summer");
    EXPECT_TRUE(catalogue.offeredAlbums()[1].label.startsWith("Shotwell event: 20"))
        << "an unnamed event is named after its day";
    EXPECT_EQ(catalogue.offeredAlbums()[2].label, "Shotwell tag: Cats");
    EXPECT_EQ(catalogue.pictures(0)->paths, (QStringList {a, b}));
    EXPECT_EQ(catalogue.pictures(1)->paths, QStringList {c});
    EXPECT_EQ(catalogue.pictures(2)->paths, (QStringList {c, a})) << "the tag's order, no video";
    EXPECT_EQ(PhotoLibraryCatalogue::Locations::standard().shotwellDatabase, database);
}

TEST_F(PhotoLibraryTest, BadDatabasesAreReportedUnavailableAndALockedOneIsStillRead)
{
    const QString a = picture("a.jpg");
    const QString shotwell = m_home.path() + "/photo.db";
    ASSERT_TRUE(writeShotwell(shotwell, {{"Locked", {{a}}}}, {}));
    const QString unknown = m_home.path() + "/digikam/digikam4.db";
    ASSERT_TRUE(writeDigikam(m_home.path() + "/digikam", {{"Future", {{a}}}}, 99));
    const QString config = m_home.path() + "/digikamrc";
    ASSERT_TRUE(writeDigikamConfig(config, m_home.path() + "/digikam"));

    // Shotwell is in the middle of a write: its lock keeps every reader out.
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(shotwell).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE; UPDATE EventTable SET name = 'Uncommitted'",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    PhotoLibraryCatalogue::Locations locations = nothingBut({});
    locations.digikamConfig = config;
    locations.shotwellDatabase = shotwell;
    PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(locations);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    ASSERT_EQ(offered(catalogue), (Offered {{"Shotwell event: Locked", 0}}));
    ASSERT_EQ(catalogue.unavailable().size(), 1);
    EXPECT_EQ(catalogue.unavailable()[0].source, "digiKam");
    EXPECT_EQ(catalogue.unavailable()[0].reason, "unknown database version 99");

    // Not a database at all, and a Shotwell schema from the future.
    TestPictures::writeBytes(unknown, "SQLite format 3? no, a text file");
    ASSERT_TRUE(writeShotwell(shotwell, {{"Future", {{a}}}}, {}, 99));
    catalogue = PhotoLibraryCatalogue::read(locations);
    EXPECT_TRUE(catalogue.isEmpty());
    ASSERT_EQ(catalogue.unavailable().size(), 2);
    EXPECT_EQ(catalogue.unavailable()[0].reason, "file is not a database");
    EXPECT_EQ(catalogue.unavailable()[1].reason, "unknown database version 99");
}

} // namespace
