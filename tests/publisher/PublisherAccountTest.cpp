// SPDX-License-Identifier: GPL-2.0-or-later
// Signing on and off, new accounts and the account panel, against the reference service.
#include "tests/publisher/PublisherTestSupport.h"

#include "client/oruNotifications.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAccountController.h"
#include "publisher/dialogs/oruLoginController.h"
#include "publisher/dialogs/oruNewAccountController.h"
#include "support/Preferences.h"

using namespace pondrel;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");

bool signsOn(const QString &email, const QString &password)
{
    oruNetwork client;
    return client.signOn(email, password);
}

} // namespace

TEST_F(PublisherTest, AutoLoginWithAWrongSavedPasswordAlertsOnceAndStaysSignedOff)
{
    createAccount(kAnn);
    Preferences::shared().setValue("AutoLogin", true);
    Preferences::shared().setValue("LastLogin", kAnn);
    Preferences::shared().setValue("LastPwd", "wrong");

    oruController &controller = startPublisher();
    QSignalSpy finished(&controller, &oruController::signOnFinished);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_FALSE(controller.isSignedOn());
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"Login failed."});
    EXPECT_TRUE(controller.alerts().dialogHistory().isEmpty());
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher");
}

TEST_F(PublisherTest, SignOnPanelFollowsTheAddressRuleAndComesBackAfterARefusal)
{
    createAccount(kAnn);
    oruController &controller = makeController();
    oruNotifications center(m_bus.connection());
    QStringList logins;
    center.observe(oruNotifications::kLogin, oruNotifications::kAgentObject,
        [&](const oruNotification &n) { logins.append(n.userInfo.value("LastLogin")); });

    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        auto &panel = dynamic_cast<oruLoginController &>(dialog);
        EXPECT_EQ(panel.users(), QStringList {""});
        EXPECT_FALSE(panel.isOkEnabled());
        panel.setUserName("ann");
        EXPECT_FALSE(panel.isOkEnabled());
        panel.setUserName("mail to ann@example.com please");
        EXPECT_TRUE(panel.isOkEnabled());
        panel.setUserName(kAnn);
        panel.setPassword("wrong");
        panel.setAutoLogin(true);
        panel.acceptLogin();
    });
    // The panel comes back with what was typed; the right password signs on.
    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        auto &panel = dynamic_cast<oruLoginController &>(dialog);
        EXPECT_EQ(panel.userName(), kAnn);
        EXPECT_TRUE(panel.autoLogin());
        panel.setPassword(PublisherTest::kPassword);
        panel.acceptLogin();
    });
    QSignalSpy finished(&controller, &oruController::signOnFinished);
    controller.showLoginPanel();
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_TRUE(finished.count() == 2 || finished.wait(10000));
    EXPECT_TRUE(controller.isSignedOn());
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"Login failed."});
    EXPECT_EQ(controller.alerts().dialogHistory(), (QStringList {"Login", "Login"}));
    EXPECT_EQ(Preferences::shared().value("LastLogin").toString(), kAnn);
    EXPECT_EQ(Preferences::shared().value("AutoLogin"), QVariant(true));
    QTRY_COMPARE_WITH_TIMEOUT(logins, QStringList {kAnn}, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Preferences::shared().value("LastPwd").toString(), kPassword, 10000);
}

TEST_F(PublisherTest, NewAccountWhileSignedOnSignsOffAndSignsTheNewUserOn)
{
    createAccount(kAnn);
    oruController &controller = makeController();
    signOn(controller, kAnn);
    controller.draftAssetsByAlbum().append(
        "", QVariantMap{{"AssetType", "Draft"}, {"UniqueIdentifier", "DRAFT-1"}});
    EXPECT_EQ(controller.pictureViewArrayForTag(oruController::DraftTag).size(), 0);

    oruNotifications center(m_bus.connection());
    QStringList logins;
    center.observe(oruNotifications::kLogin, oruNotifications::kAgentObject,
        [&](const oruNotification &n) { logins.append(n.userInfo.value("LastLogin")); });
    QSignalSpy signedOff(&controller, &oruController::signedOff);
    QSignalSpy finished(&controller, &oruController::signOnFinished);

    const QString bob = QStringLiteral("bob@example.com");
    controller.alerts().queueDialogAnswer([&](QDialog &dialog) {
        auto &newAccount = dynamic_cast<oruNewAccountController &>(dialog);
        EXPECT_FALSE(newAccount.isOkEnabled());
        newAccount.setFields("Bob", "", bob, "second-pw", "other-pw");
        EXPECT_FALSE(newAccount.isOkEnabled());
        newAccount.setFields("", "", bob, "second-pw", "second-pw");
        EXPECT_FALSE(newAccount.isOkEnabled());
        newAccount.setFields("Bob", "", bob, "second-pw", "second-pw");
        EXPECT_TRUE(newAccount.isOkEnabled());
        newAccount.accept();
    });
    controller.showNewAccount();
    ASSERT_TRUE(finished.wait(10000)) << controller.alerts().alertTitles().join(", ").toStdString();
    EXPECT_EQ(signedOff.count(), 1);
    EXPECT_TRUE(finished.first().first().toBool());
    EXPECT_TRUE(controller.isSignedOn());
    EXPECT_TRUE(controller.draftAssetsByAlbum().isEmpty());
    EXPECT_EQ(Preferences::shared().value("LastLogin").toString(), bob);
    QTRY_COMPARE_WITH_TIMEOUT(logins, QStringList {bob}, 5000);
    EXPECT_TRUE(signsOn(bob, "second-pw"));
}

TEST_F(PublisherTest, AccountPanelKeepsThePasswordWhileItsAreaIsClosed)
{
    createAccount(kAnn);
    oruController &controller = makeController();
    signOn(controller, kAnn);

    // Differing passwords are refused with an alert and the panel stays open.
    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        auto &panel = dynamic_cast<oruAccountController &>(dialog);
        EXPECT_FALSE(panel.isPasswordAreaShown());
        panel.setPasswordAreaShown(true);
        panel.setPasswords("new-1", "new-2");
        panel.acceptAccount();
        EXPECT_TRUE(panel.isVisible());
        panel.setPasswords("", "");
        panel.setPasswordAreaShown(false);
        panel.setNames("Anne", "Leigh");
        panel.acceptAccount();
    });
    QSignalSpy dialogs(&controller.alerts(), &oruAlertPresenter::dialogFinished);
    controller.showAccountPanel();
    ASSERT_TRUE(dialogs.wait(10000));
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"Passwords don't match."});

    // The update is queued on the service thread behind nothing else; the next call waits
    // for it.
    QSignalSpy listed(&controller, &oruController::refreshed);
    controller.refresh();
    ASSERT_TRUE(listed.wait(10000));
    oruNetwork client;
    ASSERT_TRUE(client.signOn(kAnn, kPassword));
    const std::optional<QVariantMap> info = client.getAccountInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value("FirstName").toString(), "Anne");
    EXPECT_EQ(info->value("LastName").toString(), "Leigh");
}

TEST_F(PublisherTest, TitleLayoutAndCountOfANewAccountAndSignOffFromTheMenu)
{
    createAccount(kAnn);
    oruController &controller = makeController();
    EXPECT_EQ(controller.window().windowTitle(), "Pondrel Publisher");
    EXPECT_EQ(controller.countText(), "Empty Album");
    EXPECT_TRUE(controller.headerViewForTag(oruController::DraftTag)->geometry().isEmpty());
    EXPECT_FALSE(controller.headerViewForTag(oruController::DraftTag)->isVisible());

    Preferences::shared().setValue("AutoLogin", true);
    signOn(controller, kAnn);
    EXPECT_EQ(controller.countText(), "Empty Album");
    const QRect header = controller.headerViewForTag(oruController::DraftTag)->geometry();
    EXPECT_EQ(header.topLeft(), QPoint(0, 0));
    EXPECT_EQ(header.height(), oruController::kHeaderHeight);
    EXPECT_TRUE(controller.headerViewForTag(oruController::LocalTag)->geometry().isEmpty());
    // The document fills the visible height of an empty album.
    QWidget *metaView = controller.headerViewForTag(oruController::DraftTag)->parentWidget();
    EXPECT_GE(metaView->height(), metaView->parentWidget()->height());

    QSignalSpy signedOff(&controller, &oruController::signedOff);
    controller.loginOrLogout();
    ASSERT_TRUE(signedOff.wait(10000));
    EXPECT_FALSE(controller.isSignedOn());
    EXPECT_EQ(Preferences::shared().value("AutoLogin"), QVariant(false));
    EXPECT_TRUE(controller.headerViewForTag(oruController::DraftTag)->geometry().isEmpty());
}

TEST_F(PublisherTest, ServiceThatIsDownIsSaidAndUpdatesTellTheAgentToQuit)
{
    oruController &controller = makeController();
    m_service.stop();
    QSignalSpy finished(&controller, &oruController::signOnFinished);
    controller.loginWithUser(kAnn, kPassword);
    ASSERT_TRUE(finished.wait(40000));
    EXPECT_FALSE(controller.isSignedOn());
    EXPECT_EQ(controller.alerts().alertTitles(),
        QStringList {"The photo-album service cannot be reached."});

    oruNotifications center(m_bus.connection());
    QStringList received;
    for (const QString &name : {oruNotifications::kTerminate, oruNotifications::kVisit})
        center.observe(name, oruNotifications::kAgentObject,
            [&](const oruNotification &n) { received.append(n.name); });
    controller.handleUpdateRestart();
    controller.sendVisitNotification();
    QTRY_COMPARE_WITH_TIMEOUT(received, (QStringList {"Terminate", "Visit"}), 5000);
}
