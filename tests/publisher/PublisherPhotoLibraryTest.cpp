// SPDX-License-Identifier: GPL-2.0-or-later
// Albums of the photo libraries imported as drafts through the real window and sheet.
#include "tests/publisher/PublisherTestSupport.h"

#include "model/oruNetwork_upload.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruPhotoLibrarySheet.h"
#include "support/Preferences.h"
#include "tests/common/PhotoLibraryFixtures.h"
#include "tests/imaging/TestPictures.h"

#include <QAction>
#include <QDir>
#include <QPushButton>

using namespace pondrel;
using namespace PhotoLibraryFixtures;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");
using Offered = QList<QPair<QString, int>>;

} // namespace

class PublisherPhotoLibraryTest : public PublisherTest
{
protected:
    // Signed on and inside the service album "Trips", where pictures may go.
    oruController &startInTrips()
    {
        createAccount(kAnn);
        oruNetwork client;
        EXPECT_TRUE(client.signOn(kAnn, kPassword));
        oruItem trips = oruItem::initWithEmptyAlbum();
        trips.setName("Trips");
        EXPECT_TRUE(oruNetworkUpload::uploadFolderItem(client, trips, ""));
        oruController &controller = makeController();
        signOn(controller, kAnn);
        EXPECT_FALSE(importAction().isEnabled()) << "not at the top level";
        std::optional<oruItem> album;
        for (quint32 tag = oruController::LocalTag; tag <= oruController::ImportedTag; ++tag) {
            for (const oruItem &item : controller.pictureViewArrayForTag(tag)) {
                if (item.name() == "Trips")
                    album = item;
            }
        }
        EXPECT_TRUE(album) << "the album Trips is not listed";
        if (album) {
            QSignalSpy listed(&controller, &oruController::refreshed);
            controller.goDown(*album);
            EXPECT_TRUE(listed.wait(10000));
        }
        EXPECT_EQ(controller.currentAlbum().name(), "Trips");
        EXPECT_TRUE(importAction().isEnabled());
        return controller;
    }

    QAction &importAction() const
    {
        auto *action = m_controller->window().findChild<QAction *>("actionImportPhotoLibrary");
        EXPECT_TRUE(action) << "no menu item to import from a photo library";
        return *action;
    }

    QString picture(const QString &relative, int example)
    {
        const QString path = m_home.path() + "/Pictures/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(QFile::copy(
            TestPictures::exifOrientationFolder() + QString("/Landscape_%1.jpg").arg(example),
            path));
        return path;
    }

    // Runs the command and answers the sheet: the album labelled label (none: Cancel).
    Offered importThroughSheet(const QString &label, bool newAlbum)
    {
        Offered offered;
        bool newAlbumChecked = false;
        m_controller->alerts().queueDialogAnswer([&](QDialog &dialog) {
            auto &sheet = dynamic_cast<oruPhotoLibrarySheet &>(dialog);
            offered = sheet.albums();
            newAlbumChecked = sheet.createsNewAlbum();
            for (const auto &[text, tag] : offered) {
                if (text == label)
                    sheet.selectTag(tag);
            }
            sheet.setCreatesNewAlbum(newAlbum);
            const char *button = label.isEmpty() ? "iPhotoCancel" : "iPhotoImport";
            QTest::mouseClick(sheet.findChild<QPushButton *>(button), Qt::LeftButton);
        });
        QSignalSpy shown(&m_controller->alerts(), &oruAlertPresenter::dialogFinished);
        importAction().trigger();
        EXPECT_FALSE(importAction().isEnabled()) << "one reading at a time";
        EXPECT_TRUE(shown.wait(10000)) << "the sheet was never shown";
        EXPECT_TRUE(newAlbumChecked) << "libraries were read: a new album is proposed";
        return offered;
    }

    QStringList draftNames(const QString &albumId) const
    {
        QStringList names;
        for (const QVariant &record : m_controller->draftAssetsByAlbum().records(albumId))
            names.append(oruItem::initWithAsset(record.toMap()).name());
        return names;
    }
};

TEST_F(PublisherPhotoLibraryTest, AlbumDataFileAlbumIsImportedIntoTheCurrentAlbumWithoutItsMovie)
{
    const QString a = picture("a.jpg", 1), b = picture("b.jpg", 2);
    const QString library = m_home.path() + "/AlbumData.xml";
    ASSERT_TRUE(writeAlbumDataFile(library,
        {albumEntry("Book", "Book", {"1"}), albumEntry("Vacation", "Regular", {"1"}),
            albumEntry("Slideshow", "Slideshow", {"1"}),
            albumEntry("Family", "Regular", {"1", "2", "3", "4"})},
        {{"1", imageEntry(a, "Image")}, {"2", imageEntry(m_home.path() + "/movie.mov", "Movie")},
            {"3", imageEntry(b)}, {"4", imageEntry(m_home.path() + "/Pictures/gone.jpg")}}));
    ASSERT_TRUE(Preferences::shared().setValue("PhotoLibraries", QVariantList {library}));
    oruController &controller = startInTrips();
    const QString trips = controller.currentAlbum().uniqueID();

    const Offered offered = importThroughSheet("", true);
    EXPECT_EQ(offered, (Offered {{"No Album Selected", -1}, {"Vacation", 1}, {"Family", 3}}));
    QTest::qWait(0);
    EXPECT_TRUE(controller.draftAssetsByAlbum().isEmpty()) << "Cancel imports nothing";

    QSignalSpy imported(&controller.drafts(), &DraftsWorkflow::importFinished);
    importThroughSheet("Family", false);
    ASSERT_TRUE(imported.wait(30000));
    EXPECT_EQ(draftNames(trips), (QStringList {"a.jpg", "b.jpg"}));
    EXPECT_TRUE(
        controller.alerts().alertTitles().contains("Some pictures of “Family” were not found."))
        << controller.alerts().alertTitles().join("\n").toStdString();
    EXPECT_TRUE(importAction().isEnabled());
}

TEST_F(PublisherPhotoLibraryTest, DigikamAndShotwellAlbumsBecomeNewDraftAlbumsThePublisherEnters)
{
    const QString folder = m_home.path() + "/digikam";
    ASSERT_TRUE(writeDigikam(folder,
        {{"Vacation",
            {{picture("Vacation/v1.jpg", 3)}, {m_home.path() + "/Pictures/Vacation/clip.mp4", 2},
                {picture("Vacation/v2.jpg", 4)}}}}));
    ASSERT_TRUE(writeDigikamConfig(m_home.configHome() + "/digikamrc", folder));
    ASSERT_TRUE(writeShotwell(m_home.dataHome() + "/shotwell/data/photo.db",
        {{"Summer", {{picture("2024/s1.jpg", 5)}, {picture("2024/s2.jpg", 6)}}}}, {}));
    oruController &controller = startInTrips();
    const QString trips = controller.currentAlbum().uniqueID();

    QSignalSpy imported(&controller.drafts(), &DraftsWorkflow::importFinished);
    const Offered offered = importThroughSheet("digiKam: Vacation", true);
    EXPECT_EQ(offered,
        (Offered {
            {"No Album Selected", -1}, {"digiKam: Vacation", 0}, {"Shotwell event: Summer", 1}}));
    ASSERT_TRUE(imported.wait(30000));
    EXPECT_EQ(controller.currentAlbum().name(), "Vacation");
    EXPECT_TRUE(controller.isAlbumDraft(controller.currentAlbum().uniqueID()));
    EXPECT_EQ(draftNames(controller.currentAlbum().uniqueID()), (QStringList {"v1.jpg", "v2.jpg"}));

    controller.goUp();
    importThroughSheet("Shotwell event: Summer", true);
    ASSERT_TRUE(imported.wait(30000));
    EXPECT_EQ(controller.currentAlbum().name(), "Summer");
    EXPECT_EQ(draftNames(controller.currentAlbum().uniqueID()), (QStringList {"s1.jpg", "s2.jpg"}));
    EXPECT_EQ(draftNames(trips), (QStringList {"Vacation", "Summer"}));
}
