// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up, the local folders, the login items, the preferences and quitting.
#include "PublisherTestSupport.h"

#include "publisher/app/NTLoginItemMgr.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruPrefsController.h"
#include "support/Paths.h"
#include "support/Preferences.h"

#include <QDir>

using namespace pondrel;

TEST_F(PublisherTest, FirstStartCreatesTheSettingsAndOneAutostartEntryAndOffersTheChoice)
{
    oruController &controller = startPublisher();
    QSignalSpy asked(&controller.alerts(), &oruAlertPresenter::alertShown);
    ASSERT_TRUE(asked.wait(5000));

    const QVariantMap settings = Preferences::shared().all();
    for (const char *key : {"ComputerID", "UserID", "PrevUsers", "LastLogin", "LastPwd",
             "AutoLogin", "AutoStart", "Debug"})
        EXPECT_TRUE(settings.contains(key)) << key;
    EXPECT_EQ(settings.value("AutoStart"), QVariant(true));
    EXPECT_EQ(settings.value("AutoLogin"), QVariant(false));

    const QVariantList items = Preferences::loginWindow().value(NTLoginItemMgr::kListKey).toList();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().toMap(),
        (QVariantMap {{"Hide", false}, {"Path", QStringLiteral("/bin/true")}}));
    const QStringList autostart = QDir(NTLoginItemMgr::autostartFolder()).entryList(QDir::Files);
    EXPECT_EQ(autostart, QStringList {"true.desktop"});

    // The choice was offered; unattended, its default "Login" opened the sign-on panel.
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"You are not logged on the system"});
    EXPECT_EQ(controller.alerts().alertHistory().first().buttons,
        (QStringList {"Login", "Create New Account", "Quit"}));
    EXPECT_EQ(controller.alerts().dialogHistory(), QStringList {"Login"});

    // A second start leaves the login items alone, also after the user removed the entry.
    m_controller.reset();
    NTLoginItemMgr::removeLoginItem("/bin/true");
    EXPECT_TRUE(QDir(NTLoginItemMgr::autostartFolder()).entryList(QDir::Files).isEmpty());
    makeController();
    EXPECT_EQ(NTLoginItemMgr::loginIndex("/bin/true"), -1);
}

TEST_F(PublisherTest, CachesPathThatIsAFileEndsStartUpWithoutCreatingTheDataFolder)
{
    QDir().mkpath(QFileInfo(Paths::cachesFolder()).path());
    QFile file(Paths::cachesFolder());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    oruController &controller = makeController();
    EXPECT_FALSE(m_awake);
    ASSERT_EQ(controller.alerts().alertHistory().size(), 1);
    EXPECT_EQ(controller.alerts().alertHistory().first().title, "Fatal Error.");
    EXPECT_EQ(controller.alerts().alertHistory().first().message,
        "Local directory cannot be created because it's a file.");
    EXPECT_FALSE(QFileInfo::exists(Paths::applicationSupportFolder()));
    EXPECT_TRUE(QFileInfo(Paths::cachesFolder()).isFile());
}

TEST_F(PublisherTest, LoginItemsKeepTheirOrderAndMoveOnlyAsTold)
{
    Preferences::loginWindow().setValue("Other", "kept");
    NTLoginItemMgr::addLoginItem("/opt/a", false);
    NTLoginItemMgr::addLoginItem("/opt/b", true);
    NTLoginItemMgr::addLoginItem("/opt/a", true);
    const auto paths = [] {
        QStringList list;
        for (const QVariant &item :
            Preferences::loginWindow().value(NTLoginItemMgr::kListKey).toList())
            list.append(item.toMap().value("Path").toString());
        return list;
    };
    EXPECT_EQ(paths(), (QStringList {"/opt/b", "/opt/a"}));

    NTLoginItemMgr::reorderLoginItemToEnd("/opt/a", false); // not the first: nothing
    EXPECT_EQ(paths(), (QStringList {"/opt/b", "/opt/a"}));
    NTLoginItemMgr::reorderLoginItemToEnd("/opt/b", false);
    EXPECT_EQ(paths(), (QStringList {"/opt/a", "/opt/b"}));

    const QByteArray before = [] {
        QFile f(Preferences::loginWindow().filePath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    NTLoginItemMgr::removeLoginItem("/opt/none");
    QFile after(Preferences::loginWindow().filePath());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(Preferences::loginWindow().value("Other"), QVariant("kept"));

    // Only entries made here leave the autostart folder.
    QFile foreign(NTLoginItemMgr::autostartFolder() + "/foreign.desktop");
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("[Desktop Entry]\nType=Application\nExec=x\n");
    foreign.close();
    NTLoginItemMgr::removeLoginItem("/opt/a");
    EXPECT_EQ(QDir(NTLoginItemMgr::autostartFolder()).entryList(QDir::Files),
        (QStringList {"b.desktop", "foreign.desktop"}));
    QFile entry(NTLoginItemMgr::autostartEntryPath("/opt/b"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=\"/opt/b\"\n"));
}

TEST_F(PublisherTest, PreferencesSwitchTheAgentLoginItem)
{
    oruController &controller = makeController();
    ASSERT_TRUE(NTLoginItemMgr::isLoginItem("/bin/true"));
    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        auto &prefs = dynamic_cast<oruPrefsController &>(dialog);
        EXPECT_TRUE(prefs.autoStart());
        prefs.setAutoStart(false);
        prefs.accept();
    });
    controller.showPrefs();
    EXPECT_EQ(Preferences::shared().value("AutoStart"), QVariant(false));
    EXPECT_FALSE(NTLoginItemMgr::isLoginItem("/bin/true"));

    controller.alerts().queueDialogAnswer([](QDialog &dialog) {
        dynamic_cast<oruPrefsController &>(dialog).setAutoStart(true);
        dialog.reject();
    });
    controller.showPrefs();
    EXPECT_EQ(Preferences::shared().value("AutoStart"), QVariant(false));
}

TEST_F(PublisherTest, DraftsQuestionIsAskedOnceOnTheWayOut)
{
    oruController &controller = makeController();
    controller.pictureViewArrayForTag(oruController::DraftTag)
        .append(oruItem::initWithEmptyAlbum());

    controller.alerts().queueAlertAnswer(QStringLiteral("No"));
    EXPECT_FALSE(controller.window().close());
    EXPECT_TRUE(controller.window().isVisible());

    QSignalSpy terminated(&controller, &oruController::terminated);
    controller.alerts().queueAlertAnswer(QStringLiteral("Yes"));
    EXPECT_TRUE(controller.window().close());
    ASSERT_TRUE(terminated.count() == 1 || terminated.wait(5000));
    EXPECT_EQ(controller.alerts().alertTitles(),
        (QStringList {"Some drafts were not saved.", "Some drafts were not saved."}));
    EXPECT_TRUE(controller.pictureViewArrayForTag(oruController::DraftTag).isEmpty());
    // Quitting after that asks nothing more.
    controller.terminate();
    EXPECT_EQ(controller.alerts().alertHistory().size(), 2);
}

TEST_F(PublisherTest, UnreadableSettingsAreKeptAsideAndReported)
{
    const QString path = Preferences::shared().filePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile broken(path);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("LastLogin = ann@example.com\n");
    broken.close();

    oruController &controller = makeController();
    EXPECT_TRUE(m_awake);
    EXPECT_EQ(controller.alerts().alertTitles(), QStringList {"Your settings could not be read."});
    const QStringList kept
        = QDir(QFileInfo(path).path()).entryList({QFileInfo(path).fileName() + ".unreadable-*"});
    ASSERT_EQ(kept.size(), 1);
    QFile keptFile(QFileInfo(path).path() + "/" + kept.first());
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptFile.readAll(), "LastLogin = ann@example.com\n");
    EXPECT_EQ(Preferences::shared().value("AutoStart"), QVariant(true));
}
