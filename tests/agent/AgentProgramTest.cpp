#include "AgentProcess.h"
#include "PrivateBus.h"
#include "RecordingProxy.h"
#include "RefServiceProcess.h"
#include "ScratchHome.h"

#include "client/oruNotifications.h"
#include "support/Preferences.h"

#include <QCryptographicHash>
#include <QDBusMessage>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray md5Hex(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
}

// The account hashes a Visit request carries.
QList<QByteArray> accountHashes(const RecordingProxy::Request &visit)
{
    QList<QByteArray> hashes;
    const QRegularExpression list(
        QStringLiteral("<accountIdentifiersHashes[^>]*>(.*)</accountIdentifiersHashes>"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto match = list.match(QString::fromUtf8(visit.body));
    const QRegularExpression entry(QStringLiteral("<string[^>]*>([0-9a-f]*)</string>"));
    for (auto it = entry.globalMatch(match.captured(1)); it.hasNext();)
        hashes.append(it.next().captured(1).toUtf8());
    return hashes;
}

class AgentProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isValid());
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        ASSERT_TRUE(proxy.start(service.port()));
    }

    std::vector<RecordingProxy::Request> visits() const { return proxy.requestsFor("Visit"); }

    // When the computer was last checked or registered: the visit thread is then free.
    std::optional<qint64> registeredAtMs() const
    {
        std::optional<qint64> at;
        for (const auto &request : proxy.requests()) {
            const QByteArray operation = request.soapOperation();
            if (operation == "CheckComputer" || operation == "RegisterComputer")
                at = request.receivedAtMs;
        }
        return at;
    }

    void post(const QString &name, const QString &object, const oruUserInfo &userInfo = {})
    {
        ASSERT_TRUE(oruNotifications::post(name, object, userInfo, bus.connection()));
    }

    std::unique_ptr<AgentProcess> startAgent(const QStringList &arguments = {"--headless"})
    {
        auto agent = std::make_unique<AgentProcess>(bus.connection(), proxy.baseUrl());
        EXPECT_TRUE(agent->start(arguments)) << agent->standardError().toStdString();
        return agent;
    }

    QString logFilePath() const { return home.desktop() + QStringLiteral("/pondrel_agent.log"); }

    QString logFileText() const
    {
        QFile file(logFilePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    ScratchHome home;
    PrivateBus bus;
    RefServiceProcess service;
    RecordingProxy proxy;
};

TEST_F(AgentProgramTest, FirstVisitComesTwoSecondsAfterStartForTheRememberedAccount)
{
    Preferences::shared().setValue(QStringLiteral("LastLogin"), QStringLiteral("ann@example.org"));
    const auto agent = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return !visits().empty(); }, 15000));

    const auto registered = registeredAtMs();
    ASSERT_TRUE(registered.has_value()) << "the computer is registered before the first visit";
    const qint64 delay = visits().front().receivedAtMs - *registered;
    EXPECT_GE(delay, 1990);
    EXPECT_LT(delay, 6000);
    EXPECT_EQ(accountHashes(visits().front()), QList<QByteArray> {md5Hex("ann@example.org")});
    // The computer the Agent registered is the one it names on the visit.
    const QString computer = Preferences::shared().value(QStringLiteral("ComputerID")).toString();
    ASSERT_FALSE(computer.isEmpty());
    EXPECT_TRUE(visits().front().body.contains(("{" + computer + "}").toUtf8()));
}

TEST_F(AgentProgramTest, VisitSignalForTheAgentVisitsAtOnceAndOthersAreIgnored)
{
    const auto agent = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return registeredAtMs().has_value(); }, 10000));
    pumpFor(2500);
    EXPECT_TRUE(visits().empty()) << "no remembered sign-on, no visit of its own";

    post(oruNotifications::kVisit, QStringLiteral("com.example.someone-else"));
    pumpFor(1500);
    EXPECT_TRUE(visits().empty());

    const qint64 postedAt = proxy.elapsedMs();
    post(oruNotifications::kVisit, oruNotifications::kAgentObject);
    ASSERT_TRUE(pumpUntil([&] { return !visits().empty(); }, 10000));
    // At once: well before the five seconds of the menu's or a wake's visit.
    EXPECT_LT(visits().front().receivedAtMs - postedAt, 3000);
    // Nobody signed on yet: the empty address is digested like any other.
    EXPECT_EQ(accountHashes(visits().front()), QList<QByteArray> {md5Hex(QString())});
}

TEST_F(AgentProgramTest, LoginChangesTheAccountOfTheNextVisit)
{
    Preferences::shared().setValue(QStringLiteral("LastLogin"), QStringLiteral("ann@example.org"));
    const auto agent = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 1; }, 15000));

    const qint64 postedAt = proxy.elapsedMs();
    post(oruNotifications::kLogin, oruNotifications::kAgentObject,
        {{QStringLiteral("LastLogin"), QStringLiteral("bob@example.org")}});
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 2; }, 10000));
    EXPECT_GE(visits()[1].receivedAtMs - postedAt, 1990);
    EXPECT_EQ(accountHashes(visits()[1]), QList<QByteArray> {md5Hex("bob@example.org")});

    // A Login from another sender changes nothing.
    post(oruNotifications::kLogin, QStringLiteral("com.example.someone-else"),
        {{QStringLiteral("LastLogin"), QStringLiteral("eve@example.org")}});
    post(oruNotifications::kVisit, oruNotifications::kAgentObject);
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 3; }, 10000));
    EXPECT_EQ(accountHashes(visits()[2]), QList<QByteArray> {md5Hex("bob@example.org")});
}

TEST_F(AgentProgramTest, WakingFromSleepVisitsFiveSecondsLater)
{
    // A stand-in for the system bus, on which this test plays logind.
    PrivateBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(systemBus.isValid());
    QDBusConnection login1 = systemBus.connection();
    ASSERT_TRUE(login1.registerService(QStringLiteral("org.freedesktop.login1")));
    const auto prepareForSleep = [&](bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        ASSERT_TRUE(login1.send(signal));
    };
    const auto agent = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return registeredAtMs().has_value(); }, 10000));

    prepareForSleep(true);
    pumpFor(6000);
    EXPECT_TRUE(visits().empty()) << "going to sleep asks for nothing";

    const qint64 wokeAt = proxy.elapsedMs();
    prepareForSleep(false);
    ASSERT_TRUE(pumpUntil([&] { return !visits().empty(); }, 15000));
    EXPECT_GE(visits().front().receivedAtMs - wokeAt, 4990);
}

TEST_F(AgentProgramTest, TerminateQuitsWithoutAskingAndOnlyWhenMeantForTheAgent)
{
    // With the tray (offscreen, so there is no panel to show it in): a question would block.
    const auto agent = startAgent({});
    post(oruNotifications::kTerminate, QStringLiteral("com.example.someone-else"));
    pumpFor(1000);
    ASSERT_TRUE(agent->isRunning());

    post(oruNotifications::kTerminate, oruNotifications::kAgentObject);
    EXPECT_EQ(agent->waitForExit(10000), std::optional<int>(0));
    EXPECT_EQ(agent->standardError().count(QStringLiteral("No system tray")), 1);
}

TEST_F(AgentProgramTest, TermAndInterruptSignalsQuitCleanly)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        const auto agent = startAgent();
        ASSERT_EQ(::kill(pid_t(agent->pid()), signalNumber), 0);
        EXPECT_EQ(agent->waitForExit(10000), std::optional<int>(0)) << signalNumber;
    }
}

TEST_F(AgentProgramTest, ASecondAgentExitsAndLeavesTheFirstAndItsLogAlone)
{
    Preferences::shared().setValue(QStringLiteral("Debug"), true);
    const auto first = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return logFileText().contains("MARK"); }, 5000));
    const QString firstLog = logFileText();

    AgentProcess second(bus.connection(), proxy.baseUrl());
    EXPECT_EQ(second.runToEnd({QStringLiteral("--headless")}, 10000), std::optional<int>(1));
    EXPECT_TRUE(second.standardError().contains(QStringLiteral("already running")));
    EXPECT_TRUE(first->isRunning());
    EXPECT_TRUE(first->getOfflineStatusRequest().has_value());
    EXPECT_TRUE(logFileText().startsWith(firstLog)) << "the second Agent emptied the log";
}

TEST_F(AgentProgramTest, OfflineStatusFollowsTheRequests)
{
    const auto agent = startAgent();
    const auto offlineStatusBecomes = [&](const QString &expected) {
        return pumpUntil([&] { return agent->getOfflineStatusRequest() == expected; }, 3000);
    };
    EXPECT_EQ(agent->getOfflineStatusRequest(), QStringLiteral("FALSE"));

    const auto request = [&](const QString &object, const QString &value) {
        post(oruNotifications::kOffline, object, {{QStringLiteral("request"), value}});
    };
    request(QStringLiteral("com.example.someone-else"), QStringLiteral("online"));
    pumpFor(500);
    EXPECT_EQ(agent->getOfflineStatusRequest(), QStringLiteral("FALSE"));

    request(oruNotifications::kAgentObject, QStringLiteral("online"));
    EXPECT_TRUE(offlineStatusBecomes(QStringLiteral("TRUE")));
    request(oruNotifications::kAgentObject, QStringLiteral("status"));
    request(oruNotifications::kAgentObject, QStringLiteral("sideways"));
    pumpFor(500);
    EXPECT_EQ(agent->getOfflineStatusRequest(), QStringLiteral("TRUE"));
    request(oruNotifications::kAgentObject, QStringLiteral("offline"));
    EXPECT_TRUE(offlineStatusBecomes(QStringLiteral("FALSE")));
}

TEST_F(AgentProgramTest, WithDebugTheLogFileIsEmptiedAtStartAndReceivesTheLines)
{
    Preferences::shared().setValue(QStringLiteral("Debug"), true);
    {
        QFile stale(logFilePath());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("line of an earlier run\n");
    }
    const auto agent = startAgent();
    post(oruNotifications::kOffline, oruNotifications::kAgentObject,
        {{QStringLiteral("request"), QStringLiteral("online")}});
    ASSERT_TRUE(pumpUntil([&] { return logFileText().contains("offlineNotification:"); }, 5000));

    const QString log = logFileText();
    EXPECT_FALSE(log.contains("earlier run"));
    EXPECT_TRUE(log.contains("MARK"));
    EXPECT_TRUE(log.contains("userInfo: {request = online;}"));
    // Every line carries the platform prefix of this program.
    EXPECT_TRUE(log.startsWith(QStringLiteral("20"))) << log.left(200).toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("pondrel-agent[")));
}

TEST_F(AgentProgramTest, WithoutDebugTheLogFileIsLeftAlone)
{
    {
        QFile stale(logFilePath());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("line of an earlier run\n");
    }
    const auto agent = startAgent();
    post(oruNotifications::kOffline, oruNotifications::kAgentObject,
        {{QStringLiteral("request"), QStringLiteral("online")}});
    ASSERT_TRUE(pumpUntil([&] { return agent->getOfflineStatusRequest() == "TRUE"; }, 3000));
    EXPECT_EQ(logFileText(), QStringLiteral("line of an earlier run\n"));
    EXPECT_FALSE(agent->standardError().contains("offlineNotification"));
}

TEST_F(AgentProgramTest, HelpAndVersionAnswerWithoutStarting)
{
    AgentProcess version(bus.connection(), proxy.baseUrl());
    EXPECT_EQ(version.runToEnd({QStringLiteral("--version")}, 10000), std::optional<int>(0));
    EXPECT_TRUE(version.standardOutput().startsWith(QStringLiteral("pondrel-agent ")));

    AgentProcess help(bus.connection(), proxy.baseUrl());
    EXPECT_EQ(help.runToEnd({QStringLiteral("--help")}, 10000), std::optional<int>(0));
    EXPECT_TRUE(help.standardOutput().contains(QStringLiteral("--headless")));
    EXPECT_TRUE(proxy.requests().empty());
}

} // namespace
