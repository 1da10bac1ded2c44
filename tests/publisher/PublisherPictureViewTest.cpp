// SPDX-License-Identifier: GPL-2.0-or-later
// The full picture view, stepping, wallpaper and download in the running Publisher, against
// the reference service's demo account.
#include "tests/publisher/PreviewTestSupport.h"
#include "tests/common/PrivateBus.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"
#include "publisher/app/oruController.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/preview/ORPhotoView.h"

#include <QFileDialog>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>

using namespace pondrel;
using PreviewTestSupport::waitUntil;

class PublisherPictureViewTest : public ::testing::Test
{
protected:
    PublisherPictureViewTest()
        : m_service({"--demo"})
    { }

    void SetUp() override
    {
        ASSERT_TRUE(m_bus.isValid()) << "dbus-daemon is needed for the Publisher tests";
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        m_environment = std::make_unique<ServiceEnvironment>(m_service.baseUrl());
        m_controller = std::make_unique<oruController>(m_bus.connection());
        m_controller->alerts().setUnattended(true);
        m_controller->window().resize(900, 640);
        m_controller->window().show();
        ASSERT_TRUE(m_controller->awakeFromNib());
        QSignalSpy listed(m_controller.get(), &oruController::refreshed);
        m_controller->loginWithUser("demo@pondrel.example", "pondrel-demo");
        ASSERT_TRUE(listed.wait(10'000)) << "no listing after signing on";
    }

    void TearDown() override { m_controller.reset(); }

    // Goes down into the named album of the top level and waits for its thumbnails.
    void openAlbum(const QString &name)
    {
        const QList<oruItem> &top
            = m_controller->pictureViewArrayForTag(oruController::LocalTag).isEmpty()
            ? m_controller->pictureViewArrayForTag(oruController::RemoteTag)
            : m_controller->pictureViewArrayForTag(oruController::LocalTag);
        const auto album = std::find_if(
            top.cbegin(), top.cend(), [&](const oruItem &item) { return item.name() == name; });
        ASSERT_NE(album, top.cend()) << name.toStdString();
        QSignalSpy listed(m_controller.get(), &oruController::refreshed);
        m_controller->goDown(*album);
        ASSERT_TRUE(listed.wait(10'000));
        m_tag = m_controller->pictureViewArrayForTag(oruController::LocalTag).isEmpty()
            ? oruController::RemoteTag
            : oruController::LocalTag;
        ASSERT_TRUE(waitUntil([&] {
            for (int i = 0; i < pictures().size(); ++i)
                if (m_controller->photoAtIndex(grid(), quint32(i)).isNull())
                    return false;
            return !pictures().isEmpty();
        })) << "the thumbnails did not arrive";
    }

    const QList<oruItem> &pictures() const { return m_controller->pictureViewArrayForTag(m_tag); }
    MUPhotoView *grid() const { return m_controller->photoViewForTag(m_tag); }
    ORPhotoView &view() const { return m_controller->photoView(); }
    int tab() const
    {
        return m_controller->window().findChild<QStackedWidget *>("oruTabView")->currentIndex();
    }
    bool previewShown() const
    {
        return view().item().previewPic().has_value() && !view().isPreviewPending();
    }

    static QImage fetch(const QString &url)
    {
        QNetworkAccessManager network;
        std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(url))));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(10'000);
        return QImage::fromData(reply->readAll());
    }

    ScratchHome m_home;
    PrivateBus m_bus;
    RefServiceProcess m_service;
    ScopedEnvironment m_agentProgram {"PONDREL_AGENT_PROGRAM", "/bin/true"};
    ScopedEnvironment m_noSecretStore {"PONDREL_NO_SECRET_STORE", "1"};
    std::unique_ptr<ServiceEnvironment> m_environment;
    std::unique_ptr<oruController> m_controller;
    quint32 m_tag = oruController::RemoteTag;
};

TEST_F(PublisherPictureViewTest, OpensStepsWithWrapAroundAndGoesBack)
{
    ASSERT_NO_FATAL_FAILURE(openAlbum("Landscapes"));
    const int last = int(pictures().size()) - 1;
    m_controller->doubleClickOnPhotoAtIndex(grid(), quint32(last));
    EXPECT_EQ(tab(), 1);
    EXPECT_EQ(view().item().uniqueID(), pictures().at(last).uniqueID());
    ASSERT_TRUE(waitUntil([&] { return previewShown(); })) << "no preview";
    EXPECT_EQ(view().item().previewPic()->width(), 1024);
    EXPECT_TRUE(m_controller->fullViewButton("download")->isEnabled());
    EXPECT_TRUE(m_controller->fullViewButton("wallpaper")->isEnabled());
    EXPECT_FALSE(m_controller->fullViewButton("rotateRight")->isEnabled());

    // Next from the last picture shows the first, selected in its grid.
    m_controller->pictureViewIndexForTag(m_tag) = IndexSet(quint32(last));
    QTest::keyClick(&view(), Qt::Key_Right);
    EXPECT_EQ(view().item().uniqueID(), pictures().at(0).uniqueID());
    EXPECT_EQ(m_controller->pictureViewIndexForTag(m_tag).firstIndex(), 0u);
    ASSERT_TRUE(waitUntil([&] { return previewShown(); }));

    // Previous with nothing selected shows the last.
    m_controller->resetAllSelectionIndexes();
    m_controller->displayPrevPic();
    EXPECT_EQ(view().item().uniqueID(), pictures().at(last).uniqueID());

    QTest::keyClick(&view(), Qt::Key_Escape);
    EXPECT_EQ(tab(), 0);
}

TEST_F(PublisherPictureViewTest, ButtonsFollowThePermissionBits)
{
    oruItem item;
    item.setIsRemote(true);
    item.setPermissions(16);
    m_controller->updateFullPictureViewButtons(item);
    EXPECT_FALSE(m_controller->fullViewButton("download")->isEnabled());
    EXPECT_TRUE(m_controller->fullViewButton("wallpaper")->isEnabled());
    item.setPermissions(4);
    m_controller->updateFullPictureViewButtons(item);
    EXPECT_TRUE(m_controller->fullViewButton("download")->isEnabled());
    EXPECT_FALSE(m_controller->fullViewButton("wallpaper")->isEnabled());
}

TEST_F(PublisherPictureViewTest, DownloadsTheChosenRenditionAndRequestsAWallpaper)
{
    ASSERT_NO_FATAL_FAILURE(openAlbum("Landscapes"));
    m_controller->pictureViewIndexForTag(m_tag) = IndexSet(0u);
    const oruItem picture = pictures().at(0);
    const QString path = m_home.path() + "/saved.jpg";
    QString proposed;
    m_controller->alerts().queueDialogAnswer([](QDialog &dialog) {
        auto *table = dialog.findChild<QTableWidget *>("renditionTable");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == "Preview")
                table->selectRow(row);
        dialog.findChild<QPushButton *>("okButton")->click();
    });
    m_controller->alerts().queueDialogAnswer([&](QDialog &dialog) {
        auto &panel = dynamic_cast<QFileDialog &>(dialog);
        proposed = QFileInfo(panel.selectedFiles().value(0)).fileName();
        panel.selectFile(path);
        static_cast<QDialog &>(panel).accept();
    });
    m_controller->downloadPicture();
    EXPECT_EQ(proposed, QFileInfo(picture.name()).completeBaseName() + ".jpg");
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(path); })) << "nothing saved";
    EXPECT_EQ(QImage(path), fetch(picture.previewURL()));

    QSignalSpy alerts(&m_controller->alerts(), &oruAlertPresenter::alertShown);
    m_controller->requestWallpaper();
    ASSERT_TRUE(alerts.wait(10'000));
    EXPECT_EQ(alerts.at(0).at(0).toString(), "Request for wallpaper.");
    EXPECT_EQ(m_controller->alerts().alertHistory().back().message,
        "Your image will be emailed to you shortly.");
}

TEST_F(PublisherPictureViewTest, APictureWithoutRenditionsHasNothingToDownload)
{
    oruNetwork client;
    ASSERT_TRUE(client.registerComputerIfNeeded());
    ASSERT_TRUE(client.signOn("demo@pondrel.example", "pondrel-demo"));
    const QString file = m_home.path() + "/new.jpg";
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    ASSERT_TRUE(image.save(file, "JPEG"));
    ASSERT_TRUE(ServicePictures::recordPicture(
        client, file, "Unrendered", oruNetwork::stringWithUUID(), QSize(40, 30)));
    QSignalSpy listed(m_controller.get(), &oruController::refreshed);
    m_controller->refresh();
    ASSERT_TRUE(listed.wait(10'000));
    for (const quint32 tag : {oruController::LocalTag, oruController::RemoteTag}) {
        const QList<oruItem> &items = m_controller->pictureViewArrayForTag(tag);
        for (int i = 0; i < items.size(); ++i)
            if (items.at(i).name() == "Unrendered")
                m_controller->pictureViewIndexForTag(tag) = IndexSet(quint32(i));
    }
    ASSERT_NE(m_controller->tagViewOfFirstSelectedItem(), oruController::kMissingTag);
    m_controller->downloadPicture();
    ASSERT_FALSE(m_controller->alerts().alertHistory().isEmpty());
    EXPECT_EQ(m_controller->alerts().alertHistory().back().title, "Nothing to download.");
    EXPECT_EQ(m_controller->alerts().alertHistory().back().message,
        "This picture can not be downloaded.");
    EXPECT_TRUE(m_controller->alerts().dialogHistory().isEmpty());
}
