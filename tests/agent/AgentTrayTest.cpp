#include "PrivateBus.h"
#include "RecordingProxy.h"
#include "RefServiceProcess.h"
#include "ScopedEnvironment.h"
#include "ScratchHome.h"

#include "agent/AgentTray.h"
#include "agent/oruAgent.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers the next modal question by the button with that text, and keeps what it asked.
struct QuestionAnswerer
{
    explicit QuestionAnswerer(const QString &answer)
    {
        QTimer::singleShot(0, [this, answer] { answerWhenShown(answer); });
    }

    void answerWhenShown(const QString &answer)
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return QTimer::singleShot(10, [this, answer] { answerWhenShown(answer); });
        text = box->text();
        informativeText = box->informativeText();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton *button : box->buttons())
            buttons.append(button->text());
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                return button->click();
        }
    }

    QString text;
    QString informativeText;
    QStringList buttons;
    QString defaultButton;
};

class AgentTrayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isValid()) << "no private session bus: is dbus-daemon installed?";
    }

    ScratchHome home;
    PrivateBus bus;
};

TEST_F(AgentTrayTest, MenuTooltipIconAndRefresh)
{
    oruAgent agent(bus.connection());
    AgentTray tray(agent);
    QStringList titles;
    for (const QAction *action : tray.statusMenu().actions()) {
        if (!action->isSeparator())
            titles.append(action->text());
    }
    EXPECT_EQ(
        titles, (QStringList {"About Pondrel Agent", "Open Pondrel Publisher", "Visit", "Quit"}));
    EXPECT_EQ(tray.statusItem().contextMenu(), &tray.statusMenu());
    EXPECT_EQ(tray.statusItem().toolTip(), "Idle");
    for (const QString status : {"Rendering 2 of 3…", "Last visit failed: no route"}) {
        emit agent.statusChanged(status);
        EXPECT_EQ(tray.statusItem().toolTip(), status);
    }

    const QIcon icon = tray.statusItem().icon();
    for (const int size : {16, 22, 24, 32, 48}) {
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.width(), size);
        // Both a light and a dark part, so it shows on light and on dark panels.
        int light = 0;
        int dark = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                light += pixel.alpha() >= 200 && pixel.lightness() > 200;
                dark += pixel.alpha() >= 200 && pixel.lightness() < 60;
            }
        }
        EXPECT_GT(light, size) << size;
        EXPECT_GT(dark, size) << size;
    }

    oruNotifications publisher(bus.connection());
    std::vector<oruNotification> refreshes;
    ASSERT_TRUE(publisher.observe(oruNotifications::kRefresh, oruNotifications::kPublisherObject,
        [&](const oruNotification &notification) { refreshes.push_back(notification); }));
    pumpFor(100);
    ASSERT_TRUE(agent.sendRefreshNotification());
    ASSERT_TRUE(pumpUntil([&] { return !refreshes.empty(); }, 3000));
    EXPECT_EQ(refreshes.front().name, "Refresh");
    EXPECT_TRUE(refreshes.front().userInfo.isEmpty());
}

TEST_F(AgentTrayTest, QuitAsksStaysOnNoAndQuitsOnYes)
{
    oruAgent agent(bus.connection());
    AgentTray tray(agent);
    {
        QuestionAnswerer answerer("No");
        tray.quitAction();
        EXPECT_EQ(answerer.text, "Do you really want to quit?");
        EXPECT_EQ(answerer.informativeText,
            QStringLiteral("If you quit the Pondrel Agent, your friends and relatives will not be "
                           "able to receive wallpapers or order prints from your album."));
        EXPECT_EQ(answerer.buttons.size(), 2);
        EXPECT_TRUE(answerer.buttons.contains("Yes"));
        EXPECT_TRUE(answerer.buttons.contains("No"));
        EXPECT_EQ(answerer.defaultButton, "Yes");
        EXPECT_FALSE(agent.isQuitting());
        EXPECT_TRUE(tray.statusMenu().isEnabled());
    }
    QuestionAnswerer answerer("Yes");
    tray.quitAction();
    EXPECT_TRUE(agent.isQuitting());
    EXPECT_FALSE(tray.statusMenu().isEnabled());
    EXPECT_EQ(tray.statusItem().toolTip(), "Quitting after the current picture…");
}

TEST_F(AgentTrayTest, TheMenusVisitAsksTheServiceFiveSecondsLater)
{
    RefServiceProcess service;
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    RecordingProxy proxy;
    ASSERT_TRUE(proxy.start(service.port()));
    const ScopedEnvironment serviceUrl("PONDREL_SERVICE_URL", proxy.baseUrl().toUtf8());
    oruAgent agent(bus.connection());
    AgentTray tray(agent);
    agent.start();
    // Registered (the computer is new, so it is checked, then registered) and idle again.
    ASSERT_TRUE(pumpUntil(
        [&] {
            return !proxy.requestsFor("RegisterComputer").empty()
                && tray.statusItem().toolTip() == "Idle";
        },
        10000))
        << tray.statusItem().toolTip().toStdString();
    ASSERT_TRUE(proxy.requestsFor("Visit").empty());

    const qint64 chosenAt = proxy.elapsedMs();
    tray.statusMenu().actions().at(2)->trigger();
    ASSERT_TRUE(pumpUntil([&] { return !proxy.requestsFor("Visit").empty(); }, 15000));
    EXPECT_GE(proxy.requestsFor("Visit").front().receivedAtMs - chosenAt, 4990);
    ASSERT_TRUE(pumpUntil([&] { return tray.statusItem().toolTip().startsWith("Idle\n"); }, 5000))
        << tray.statusItem().toolTip().toStdString();
    EXPECT_TRUE(tray.statusItem().toolTip().contains("Last visit at"));
}

} // namespace
