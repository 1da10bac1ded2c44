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
    void SetUp() override { ASSERT_TRUE(bus.isValid()); }

    PrivateBus bus;
};

TEST_F(NotificationsTest, PostSendsTheNameAsMemberAndObjectAndUserInfoAsArguments)
{
    RawListener listener(bus.connection());
    pumpFor(100);
    ASSERT_TRUE(oruNotifications::post(QStringLiteral("Login"), oruNotifications::kAgentObject,
        {{QStringLiteral("LastLogin"), QStringLiteral("ann@example.org")}}, bus.connection()));
    ASSERT_TRUE(pumpUntil([&] { return !listener.messages.empty(); }, 3000));

    const QDBusMessage &message = listener.messages.front();
    EXPECT_EQ(message.type(), QDBusMessage::SignalMessage);
    EXPECT_EQ(message.path(), QStringLiteral("/com/trevane/pondrel"));
    EXPECT_EQ(message.interface(), QStringLiteral("com.trevane.pondrel.Notification"));
    EXPECT_EQ(message.member(), QStringLiteral("Login"));
    EXPECT_EQ(message.signature(), QStringLiteral("sa{ss}"));
    ASSERT_EQ(message.arguments().size(), 2);
    EXPECT_EQ(message.arguments().at(0).toString(), QStringLiteral("com.trevane.oruagent"));
    const auto userInfo = qdbus_cast<oruUserInfo>(message.arguments().at(1).value<QDBusArgument>());
    EXPECT_EQ(
        userInfo, (oruUserInfo {{QStringLiteral("LastLogin"), QStringLiteral("ann@example.org")}}));
}

TEST_F(NotificationsTest, ObserversGetOnlyTheirNameAndObject)
{
    oruNotifications center(bus.connection());
    std::vector<oruNotification> visits;
    std::vector<oruNotification> anyRefresh;
    ASSERT_TRUE(center.observe(oruNotifications::kVisit, oruNotifications::kAgentObject,
        [&](const oruNotification &notification) { visits.push_back(notification); }));
    ASSERT_TRUE(center.observe(oruNotifications::kRefresh, QString(),
        [&](const oruNotification &notification) { anyRefresh.push_back(notification); }));
    pumpFor(100);

    oruNotifications::post(
        oruNotifications::kVisit, QStringLiteral("com.example.other"), {}, bus.connection());
    oruNotifications::post(
        oruNotifications::kTerminate, oruNotifications::kAgentObject, {}, bus.connection());
    oruNotifications::post(
        oruNotifications::kRefresh, oruNotifications::kPublisherObject, {}, bus.connection());
    oruNotifications::post(
        oruNotifications::kRefresh, QStringLiteral("anyone"), {}, bus.connection());
    oruNotifications::post(oruNotifications::kVisit, oruNotifications::kAgentObject,
        {{QStringLiteral("k"), QStringLiteral("v")}}, bus.connection());
    ASSERT_TRUE(pumpUntil([&] { return visits.size() == 1 && anyRefresh.size() == 2; }, 3000));
    pumpFor(200);

    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].name, QStringLiteral("Visit"));
    EXPECT_EQ(visits[0].object, QStringLiteral("com.trevane.oruagent"));
    EXPECT_EQ(visits[0].userInfo.value(QStringLiteral("k")), QStringLiteral("v"));
    ASSERT_EQ(anyRefresh.size(), 2u);
    EXPECT_EQ(anyRefresh[0].object, QStringLiteral("com.trevane.pondrel"));
    EXPECT_EQ(anyRefresh[1].object, QStringLiteral("anyone"));
}

TEST_F(NotificationsTest, SignalsFromOtherSendersAreReadLeniently)
{
    oruNotifications center(bus.connection());
    std::vector<oruNotification> received;
    center.observe(oruNotifications::kOffline, QString(),
        [&](const oruNotification &notification) { received.push_back(notification); });
    pumpFor(100);
    QDBusConnection sender = bus.connection();

    // Only the object: no user information.
    QDBusMessage bare = QDBusMessage::createSignal(
        oruNotifications::kPath, oruNotifications::kInterface, oruNotifications::kOffline);
    bare << oruNotifications::kAgentObject;
    sender.send(bare);
    // A dictionary of another type carries no text values.
    QDBusMessage wrongDictionary = QDBusMessage::createSignal(
        oruNotifications::kPath, oruNotifications::kInterface, oruNotifications::kOffline);
    wrongDictionary << oruNotifications::kAgentObject
                    << QVariantMap {{QStringLiteral("request"), QStringLiteral("online")}};
    sender.send(wrongDictionary);
    // No object at all: not a notification.
    QDBusMessage numberFirst = QDBusMessage::createSignal(
        oruNotifications::kPath, oruNotifications::kInterface, oruNotifications::kOffline);
    numberFirst << 7;
    sender.send(numberFirst);
    // A closing marker, so the test knows the others have been handled.
    oruNotifications::post(oruNotifications::kOffline, QStringLiteral("end"), {}, sender);

    ASSERT_TRUE(
        pumpUntil([&] { return !received.empty() && received.back().object == "end"; }, 3000));
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].object, oruNotifications::kAgentObject);
    EXPECT_TRUE(received[0].userInfo.isEmpty());
    EXPECT_TRUE(received[1].userInfo.isEmpty());
}

TEST_F(NotificationsTest, AHandlerMayObserveMoreWhileBeingCalled)
{
    oruNotifications center(bus.connection());
    int logins = 0;
    int visits = 0;
    center.observe(oruNotifications::kLogin, QString(), [&](const oruNotification &) {
        ++logins;
        center.observe(
            oruNotifications::kVisit, QString(), [&](const oruNotification &) { ++visits; });
    });
    pumpFor(100);
    oruNotifications::post(oruNotifications::kLogin, QStringLiteral("a"), {}, bus.connection());
    ASSERT_TRUE(pumpUntil([&] { return logins == 1; }, 3000));
    pumpFor(100);
    oruNotifications::post(oruNotifications::kVisit, QStringLiteral("a"), {}, bus.connection());
    ASSERT_TRUE(pumpUntil([&] { return visits == 1; }, 3000));
}

TEST(NotificationsWithoutBus, PostAndObserveFailWithAReason)
{
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
    QString errorMsg;
    EXPECT_FALSE(oruNotifications::post(
        oruNotifications::kVisit, oruNotifications::kAgentObject, {}, none, &errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());
    oruNotifications center(none);
    EXPECT_FALSE(center.observe(oruNotifications::kVisit, QString(), [](const auto &) {}));
    EXPECT_FALSE(center.errorMsg().isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

} // namespace

#include "NotificationsTest.moc"
