// SPDX-License-Identifier: GPL-2.0-or-later
// Browsing an account's albums: order, counts, going down and up, the Agent's refresh.
#include "tests/publisher/PublisherTestSupport.h"

#include "tests/common/ProgramRun.h"
#include "tests/common/ServicePictures.h"
#include "client/oruNotifications.h"
#include "model/oruNetwork_upload.h"
#include "publisher/app/oruMainWindow.h"

#include <QAction>
#include <QElapsedTimer>
#include <QImage>

using namespace pondrel;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");

} // namespace

class PublisherBrowseTest : public PublisherTest
{
protected:
    void SetUp() override
    {
        PublisherTest::SetUp();
        if (HasFatalFailure())
            return;
        createAccount(kAnn);
        oruNetwork client;
        ASSERT_TRUE(client.signOn(kAnn, kPassword));
        QString x;
        for (const char *name : {"X", "Y", "Z"}) {
            const std::optional<QString> id = album(client, name, "");
            ASSERT_TRUE(id);
            if (x.isEmpty())
                x = *id;
        }
        const std::optional<QString> inner = album(client, "X1", x);
        ASSERT_TRUE(inner);
        ASSERT_TRUE(album(client, "X2", *inner));
        const QString picture = m_home.path() + "/p.jpg";
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        ASSERT_TRUE(image.save(picture, "JPEG"));
        for (const char *name : {"p", "q"})
            ASSERT_TRUE(ServicePictures::recordPicture(
                client, picture, name, oruNetwork::stringWithUUID(), QSize(8, 6)));
    }

    static std::optional<QString> album(
        oruNetwork &client, const QString &name, const QString &parent)
    {
        oruItem item = oruItem::initWithEmptyAlbum();
        item.setName(name);
        return oruNetworkUpload::uploadFolderItem(client, item, parent);
    }

    // The section that holds the top level's items.
    quint32 sectionOf(oruController &controller, const QString &name)
    {
        for (quint32 tag = oruController::LocalTag; tag <= oruController::ImportedTag; ++tag) {
            if (namesInSection(controller, tag).contains(name))
                return tag;
        }
        return oruController::kMissingTag;
    }
};

TEST_F(PublisherBrowseTest, AlbumsComeReversedBeforeThePicturesAndAreCounted)
{
    oruController &controller = makeController();
    signOn(controller, kAnn);
    const quint32 tag = sectionOf(controller, "X");
    ASSERT_NE(tag, oruController::kMissingTag);
    EXPECT_EQ(namesInSection(controller, tag), (QStringList {"Z", "Y", "X", "p", "q"}));
    EXPECT_EQ(controller.countText(), "3 albums, 2 pictures");
    // The grid answers from the same list.
    MUPhotoView *grid = controller.photoViewForTag(tag);
    EXPECT_EQ(controller.photoCountForPhotoView(grid), 5u);
    EXPECT_EQ(controller.titleAtIndex(grid, 0), "Z");
    EXPECT_TRUE(controller.isFolderAtIndex(grid, 0));
    EXPECT_FALSE(controller.isFolderAtIndex(grid, 3));
    // The Draft section heads the document while signed on.
    EXPECT_EQ(controller.headerViewForTag(oruController::DraftTag)->y(), 0);
    EXPECT_EQ(controller.headerViewForTag(tag)->y(), oruController::kHeaderHeight);
}

TEST_F(PublisherBrowseTest, GoingUpRestoresTheSavedListsWithoutAskingTheService)
{
    oruController &controller = makeController();
    signOn(controller, kAnn);
    const quint32 tag = sectionOf(controller, "X");
    const QStringList top = namesInSection(controller, tag);

    // Down by a double click on X, then by opening the selection X1.
    QSignalSpy listed(&controller, &oruController::refreshed);
    controller.doubleClickOnPhotoAtIndex(controller.photoViewForTag(tag), 2);
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher : X");
    const quint32 innerTag = sectionOf(controller, "X1");
    ASSERT_NE(innerTag, oruController::kMissingTag);
    EXPECT_EQ(controller.countText(), "1 album");
    controller.didSetSelectionIndexes(controller.photoViewForTag(innerTag), IndexSet(0));
    controller.openItem();
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher : X1");
    EXPECT_EQ(controller.albumDepth(), 2);

    const int listings = requestCount("GetAssets");
    controller.goUp();
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher : X");
    EXPECT_EQ(namesInSection(controller, innerTag), QStringList {"X1"});
    controller.goUp();
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher");
    EXPECT_EQ(namesInSection(controller, tag), top);
    EXPECT_EQ(controller.countText(), "3 albums, 2 pictures");
    controller.goUp(); // at the top: nothing
    EXPECT_EQ(namesInSection(controller, tag), top);
    EXPECT_EQ(requestCount("GetAssets"), listings);
}

TEST_F(PublisherBrowseTest, RefreshFromTheAgentRelistsASecondLaterAndOtherSendersAreIgnored)
{
    oruController &controller = makeController();
    controller.registerNotificationObserver();
    signOn(controller, kAnn);
    const int listings = requestCount("GetAssets");

    QSignalSpy listed(&controller, &oruController::refreshed);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(
        oruNotifications::post(oruNotifications::kRefresh, "someone.else", {}, m_bus.connection()));
    ASSERT_TRUE(oruNotifications::post(
        oruNotifications::kRefresh, oruNotifications::kPublisherObject, {}, m_bus.connection()));
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_EQ(requestCount("GetAssets"), listings + 1);
    EXPECT_FALSE(listed.wait(1500)) << "the other sender's notification was taken";
}

TEST_F(PublisherBrowseTest, DraftAlbumsAreListedFromTheDraftsAndFilesMustBeLocal)
{
    oruController &controller = makeController();
    signOn(controller, kAnn);
    oruItem draft = oruItem::initWithEmptyAlbum();
    draft.setName("Trip");
    const QVariantMap record = draft.asset();
    controller.draftAssetsByAlbum().append("", record);
    QSignalSpy listed(&controller, &oruController::refreshed);
    controller.refresh();
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_EQ(namesInSection(controller, oruController::DraftTag), QStringList {"Trip"});

    const int listings = requestCount("GetAssets");
    controller.doubleClickOnPhotoAtIndex(controller.photoViewForTag(oruController::DraftTag), 0);
    ASSERT_TRUE(listed.count() == 2 || listed.wait(10000));
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher : Trip");
    EXPECT_EQ(controller.countText(), "Empty Album");
    EXPECT_EQ(requestCount("GetAssets"), listings);

    controller.openUris({"https://example.com/a.jpg", "file:///tmp/b%20c.jpg"});
    EXPECT_EQ(controller.filesToImport(), QStringList {"/tmp/b c.jpg"});
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"Some items cannot be added."});
}

TEST_F(PublisherBrowseTest, SlowListingKeepsTheWindowAnsweringAndALateAnswerIsDropped)
{
    oruController &controller = makeController();
    signOn(controller, kAnn);
    const quint32 tag = sectionOf(controller, "X");
    const QStringList top = namesInSection(controller, tag);
    const ProgramRun slow = ProgramRun::run("curl",
        {"-sf", "-H", QString::fromUtf8(m_service.adminHeader()), "--data-binary",
            "1*GetAssets:delay:1500", m_service.baseUrl() + "/Pondrel/Admin/Faults"});
    ASSERT_EQ(slow.exitCode, 0) << "curl is needed for this test: "
                                << slow.standardError.toStdString();

    controller.doubleClickOnPhotoAtIndex(controller.photoViewForTag(tag), 2);
    EXPECT_EQ(controller.statusText(), "Getting assets for album...");
    EXPECT_FALSE(controller.actionNamed("refresh")->isEnabled());
    // Back up before X's listing is in: its late answer must not land at the top.
    controller.goUp();
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher");
    QTRY_VERIFY_WITH_TIMEOUT(controller.actionNamed("refresh")->isEnabled(), 10000);
    EXPECT_EQ(namesInSection(controller, tag), top);
    EXPECT_EQ(controller.countText(), "3 albums, 2 pictures");
    EXPECT_EQ(requestCount("GetAssets"), 2);
}
