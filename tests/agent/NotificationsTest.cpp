#include "PrivateBus.h"
#include "RecordingProxy.h"

#include "client/oruNotifications.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <gtest/gtest.h>

namespace {

// Catches every signal at the notification path, whatever its member, as raw messages.
class RawListener : public QObject
{
    Q_OBJECT

public:
    explicit RawListener(QDBusConnection bus)
    {
        bus.connect(QString(), oruNotifications::kPath, oruNotifications::kInterface, QString(),
            this, SLOT(take(QDBusMessage)));
    }
    std::vector<QDBusMessage> messages;

public slots:
    void take(const QDBusMessage &message) { messages.push_back(message); }
};

class NotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isValid()) << "no private session bus: is dbus-daemon installed?";
    }

    PrivateBus bus;
};

TEST_F(NotificationsTest, PostSendsTheNameAsMemberAndObjectAndUserInfoAsArguments)
{
    RawListener listener(bus.connection());
    pumpFor(100);
    ASSERT_TRUE(oruNotifications::post("Login", oruNotifications::kAgentObject,
        {{"LastLogin", "ann@example.org"}}, bus.connection()));
    ASSERT_TRUE(pumpUntil([&] { return !listener.messages.empty(); }, 3000));

    const QDBusMessage &message = listener.messages.front();
    EXPECT_EQ(message.type(), QDBusMessage::SignalMessage);
    EXPECT_EQ(message.path(), "/com/trevane/pondrel");
    EXPECT_EQ(message.interface(), "com.trevane.pondrel.Notification");
    EXPECT_EQ(message.member(), "Login");
    EXPECT_EQ(message.signature(), "sa{ss}");
    ASSERT_EQ(message.arguments().size(), 2);
    EXPECT_EQ(message.arguments().at(0).toString(), "com.trevane.oruagent");
    const auto userInfo = qdbus_cast<oruUserInfo>(message.arguments().at(1).value<QDBusArgument>());
    EXPECT_EQ(userInfo, (oruUserInfo {{"LastLogin", "ann@example.org"}}));
}

TEST_F(NotificationsTest, ObserversGetTheirNameAndObjectReadLenientlyAndMayObserveMore)
{
    oruNotifications center(bus.connection());
    std::vector<oruNotification> visits, anyRefresh, offline;
    int logins = 0;
    int lateVisits = 0;
    const auto into = [](std::vector<oruNotification> &list) {
        return [&list](const oruNotification &notification) { list.push_back(notification); };
    };
    ASSERT_TRUE(
        center.observe(oruNotifications::kVisit, oruNotifications::kAgentObject, into(visits)));
    ASSERT_TRUE(center.observe(oruNotifications::kRefresh, QString(), into(anyRefresh)));
    ASSERT_TRUE(center.observe(oruNotifications::kOffline, QString(), into(offline)));
    // A handler may add observers while it is being called.
    center.observe(oruNotifications::kLogin, QString(), [&](const oruNotification &) {
        ++logins;
        center.observe(
            oruNotifications::kVisit, QString(), [&](const oruNotification &) { ++lateVisits; });
    });
    pumpFor(100);
    QDBusConnection sender = bus.connection();
    const auto post = [&](const QString &name, const QString &object, const oruUserInfo &info) {
        oruNotifications::post(name, object, info, sender);
    };
    post(oruNotifications::kVisit, "com.example.other", {});
    post(oruNotifications::kTerminate, oruNotifications::kAgentObject, {});
    post(oruNotifications::kRefresh, oruNotifications::kPublisherObject, {});
    post(oruNotifications::kRefresh, "anyone", {});
    post(oruNotifications::kVisit, oruNotifications::kAgentObject, {{"k", "v"}});
    // Signals of other senders: only the object (no user information); a dictionary of another
    // type (no text values); no object at all (not a notification).
    const auto offlineSignal = [] {
        return QDBusMessage::createSignal(
            oruNotifications::kPath, oruNotifications::kInterface, oruNotifications::kOffline);
    };
    sender.send(offlineSignal() << oruNotifications::kAgentObject);
    sender.send(
        offlineSignal() << oruNotifications::kAgentObject << QVariantMap {{"request", "online"}});
    sender.send(offlineSignal() << 7);
    // A closing marker, so the test knows the others have been handled.
    post(oruNotifications::kOffline, "end", {});
    ASSERT_TRUE(
        pumpUntil([&] { return !offline.empty() && offline.back().object == "end"; }, 3000));
    pumpFor(200);

    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].name, "Visit");
    EXPECT_EQ(visits[0].object, "com.trevane.oruagent");
    EXPECT_EQ(visits[0].userInfo, (oruUserInfo {{"k", "v"}}));
    ASSERT_EQ(anyRefresh.size(), 2u);
    EXPECT_EQ(anyRefresh[0].object, "com.trevane.pondrel");
    EXPECT_EQ(anyRefresh[1].object, "anyone");
    ASSERT_EQ(offline.size(), 3u);
    EXPECT_EQ(offline[0].object, oruNotifications::kAgentObject);
    EXPECT_TRUE(offline[0].userInfo.isEmpty());
    EXPECT_TRUE(offline[1].userInfo.isEmpty());

    post(oruNotifications::kLogin, "a", {});
    ASSERT_TRUE(pumpUntil([&] { return logins == 1; }, 3000));
    pumpFor(100);
    post(oruNotifications::kVisit, "a", {});
    ASSERT_TRUE(pumpUntil([&] { return lateVisits == 1; }, 3000));
}

TEST(NotificationsWithoutBus, PostAndObserveFailWithAReason)
{
    const QDBusConnection none
        = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus");
    QString errorMsg;
    EXPECT_FALSE(oruNotifications::post(
        oruNotifications::kVisit, oruNotifications::kAgentObject, {}, none, &errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());
    oruNotifications center(none);
    EXPECT_FALSE(center.observe(oruNotifications::kVisit, QString(), [](const auto &) {}));
    EXPECT_FALSE(center.errorMsg().isEmpty());
    QDBusConnection::disconnectFromBus("no-bus");
}

} // namespace

#include "NotificationsTest.moc"
