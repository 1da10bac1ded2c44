// SPDX-License-Identifier: GPL-2.0-or-later
// The command surface of the real window: the login item, the customised toolbar across
// starts, commands over the bus and the grids' context menus, against the reference service.
#include "tests/publisher/PublisherTestSupport.h"

#include "tests/common/ServicePictures.h"

#include "model/oruNetwork_upload.h"
#include "publisher/app/ToolbarItems.h"
#include "publisher/app/oruDesktopApplication.h"
#include "publisher/dialogs/oruCustomizeToolbarController.h"
#include "support/Preferences.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QListWidget>
#include <QMenu>
#include <QToolBar>

using namespace pondrel;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");

QStringList texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (const QAction *action : actions) {
        if (!action->isSeparator())
            result.append(action->text());
    }
    return result;
}

QStringList enabledTexts(const QMenu &menu)
{
    QStringList result;
    for (const QAction *action : menu.actions()) {
        if (!action->isSeparator() && action->isEnabled())
            result.append(action->text());
    }
    return result;
}

} // namespace

class PublisherCommandsTest : public PublisherTest
{
protected:
    void SetUp() override
    {
        PublisherTest::SetUp();
        if (HasFatalFailure())
            return;
        createAccount(kAnn);
    }

    // An album and a picture on the service, at the top level.
    void addAlbumAndPicture()
    {
        oruNetwork client;
        ASSERT_TRUE(client.signOn(kAnn, kPassword));
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName(QStringLiteral("Trip"));
        ASSERT_TRUE(oruNetworkUpload::uploadFolderItem(client, album, QString()));
        const QString picture = m_home.path() + "/p.jpg";
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        ASSERT_TRUE(image.save(picture, "JPEG"));
        ASSERT_TRUE(ServicePictures::recordPicture(
            client, picture, "p", oruNetwork::stringWithUUID(), QSize(8, 6)));
    }
};

TEST_F(PublisherCommandsTest, LoginItemAndMenuEntryFollowSignOnAndSignOff)
{
    oruController &controller = makeController();
    QAction *item = controller.toolbarItem("LoginItem");
    ASSERT_NE(item, nullptr);
    QAction *entry = controller.actionNamed("login-logout");
    EXPECT_EQ(item->text(), "Login");
    EXPECT_EQ(item->toolTip(), "Login to your account");
    EXPECT_EQ(entry->text(), "Login...");
    EXPECT_FALSE(controller.actionNamed("refresh")->isEnabled());
    EXPECT_FALSE(controller.toolbarItem("RefreshItem")->isEnabled());
    EXPECT_TRUE(controller.toolbarItem("PrefsItem")->isEnabled());

    signOn(controller, kAnn);
    EXPECT_EQ(item->text(), "Logout");
    EXPECT_EQ(item->toolTip(), "Logout");
    EXPECT_EQ(entry->text(), "Logout");
    QTRY_VERIFY(controller.toolbarItem("RefreshItem")->isEnabled());
    // Nothing to send, nothing selected, nowhere to go up to.
    EXPECT_FALSE(controller.toolbarItem("CommitItem")->isEnabled());
    EXPECT_FALSE(controller.toolbarItem("GetInfoItem")->isEnabled());
    EXPECT_FALSE(controller.toolbarItem("GoUpItem")->isEnabled());
    oruItem draft = oruItem::initWithEmptyAlbum();
    draft.setName("Draft");
    controller.drafts().addDraft(draft.asset());
    EXPECT_TRUE(controller.toolbarItem("CommitItem")->isEnabled());
    EXPECT_TRUE(controller.actionNamed("commit")->isEnabled());

    QSignalSpy off(&controller, &oruController::signedOff);
    controller.loginOrLogout();
    ASSERT_TRUE(off.wait(10000));
    EXPECT_EQ(item->text(), "Login");
    EXPECT_EQ(item->toolTip(), "Login to your account");
    EXPECT_EQ(entry->text(), "Login...");
    EXPECT_FALSE(controller.toolbarItem("NewAlbumItem")->isEnabled());
}

TEST_F(PublisherCommandsTest, CustomisedToolbarIsSavedAndRestoredAtTheNextStart)
{
    {
        oruController &controller = makeController();
        EXPECT_EQ(controller.toolbarItemIdentifiers(), ToolbarItems::defaultItemIdentifiers());
        EXPECT_EQ(texts(controller.toolbar().actions()).first(), "Login");
        // Through the dialog, as the user does it: the Upload item leaves, Get Info moves first.
        controller.alerts().queueDialogAnswer([](QDialog &dialog) {
            auto &customize = dynamic_cast<oruCustomizeToolbarController &>(dialog);
            auto *toolbar = dialog.findChild<QListWidget *>("toolbarItems");
            toolbar->setCurrentRow(int(customize.items().indexOf("CommitItem")));
            customize.removeSelected();
            toolbar->setCurrentRow(int(customize.items().indexOf("GetInfoItem")));
            while (toolbar->currentRow() > 0)
                customize.moveSelected(-1);
            dialog.accept();
        });
        controller.actionNamed("customize-toolbar")->trigger();
        EXPECT_EQ(controller.toolbarItemIdentifiers().first(), "GetInfoItem");
        EXPECT_EQ(controller.toolbarItem("CommitItem"), nullptr);
        m_controller.reset();
    }
    oruController &controller = makeController();
    const QStringList restored = controller.toolbarItemIdentifiers();
    EXPECT_EQ(restored.first(), "GetInfoItem");
    EXPECT_FALSE(restored.contains("CommitItem"));
    EXPECT_EQ(restored.size(), ToolbarItems::defaultItemIdentifiers().size() - 1);
    EXPECT_EQ(texts(controller.toolbar().actions()).first(), "Get Info");
    EXPECT_TRUE(controller.toolbarItem("LoginItem"));
    m_controller.reset();

    // A hand-written value that is no list leaves the default toolbar.
    Preferences::shared().setValue("ToolbarItems", "LoginItem");
    EXPECT_EQ(makeController().toolbarItemIdentifiers(), ToolbarItems::defaultItemIdentifiers());
}

TEST_F(PublisherCommandsTest, ActivateActionOnTheSessionBusRunsTheCommand)
{
    oruController &controller = makeController();
    oruDesktopApplication application(m_bus.connection());
    QString errorMsg;
    ASSERT_EQ(application.claim(errorMsg), oruDesktopApplication::Claim::Owned)
        << errorMsg.toStdString();
    controller.setDesktopApplication(&application);
    signOn(controller, kAnn);

    QDBusConnection caller = QDBusConnection::connectToBus(m_bus.address(), "commands-caller");
    ASSERT_TRUE(caller.isConnected());
    auto activate = [&caller](const QString &name) {
        QDBusMessage call = QDBusMessage::createMethodCall("com.trevane.pondrel",
            "/com/trevane/pondrel", "org.freedesktop.Application", "ActivateAction");
        call << name << QVariantList() << QVariantMap();
        caller.asyncCall(call);
    };
    QSignalSpy refreshed(&controller, &oruController::refreshed);
    activate("refresh");
    EXPECT_TRUE(refreshed.wait(10000));
    activate("show-toolbar");
    QTRY_VERIFY(controller.toolbar().isHidden());
    EXPECT_FALSE(controller.actionNamed("show-toolbar")->isChecked());
    QDBusConnection::disconnectFromBus("commands-caller");
}

TEST_F(PublisherCommandsTest, ContextMenusOfferTheEntriesOfTheSelectedKind)
{
    addAlbumAndPicture();
    oruController &controller = makeController();
    signOn(controller, kAnn);
    // Recorded by another client, so in the section for other computers' items.
    const quint32 tag = oruController::RemoteTag;
    ASSERT_EQ(namesInSection(controller, tag), (QStringList {"Trip", "p"}));
    controller.didSetSelectionIndexes(controller.photoViewForTag(tag), IndexSet(0));

    QMenu *menu = controller.contextualMenuForSelection(int(tag));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "albumContextMenu");
    const QStringList entries = texts(menu->actions());
    for (const char *entry : {"&Open", "Get &Info", "&Sharing…", "&Web Album…", "&Remove"})
        EXPECT_TRUE(entries.contains(entry)) << entry;
    EXPECT_FALSE(entries.contains("Request Wallpa&per"));
    EXPECT_TRUE(enabledTexts(*menu).contains("Get &Info"));
    EXPECT_TRUE(enabledTexts(*menu).contains("&Open"));
    EXPECT_TRUE(enabledTexts(*menu).contains("&Sharing…"));
    EXPECT_TRUE(enabledTexts(*menu).contains("&Web Album…"));
    EXPECT_EQ(controller.contextualMenuForSelection(int(oruController::LocalTag)), nullptr);

    controller.didSetSelectionIndexes(controller.photoViewForTag(tag), IndexSet(1));
    menu = controller.contextualMenuForSelection(int(tag));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "photoContextMenu");
    for (const char *entry : {"Request Wallpa&per", "&Download Picture…", "Rotate &Left", "&Open"})
        EXPECT_TRUE(enabledTexts(*menu).contains(entry)) << entry;
    EXPECT_FALSE(texts(menu->actions()).contains("&Sharing…"));
}
