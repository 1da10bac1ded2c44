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

const QString kSomeoneElse = "com.example.someone-else";

// The account hashes a Visit request carries.
QList<QByteArray> accountHashes(const RecordingProxy::Request &visit)
{
    const QRegularExpression list("<accountIdentifiersHashes[^>]*>(.*)</accountIdentifiersHashes>",
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression entry("<string[^>]*>([0-9a-f]*)</string>");
    QList<QByteArray> hashes;
    for (auto it = entry.globalMatch(list.match(QString::fromUtf8(visit.body)).captured(1));
         it.hasNext();)
        hashes.append(it.next().captured(1).toUtf8());
    return hashes;
}

QList<QByteArray> hashOf(const QString &email)
{
    return {QCryptographicHash::hash(email.toUtf8(), QCryptographicHash::Md5).toHex()};
}

// One Agent, one reference service behind a recording relay and one private bus per test;
// each test walks through as many checks as one running Agent allows, since its timers are
// real (two and five seconds).
class AgentProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isValid()) << "no private session bus: is dbus-daemon installed?";
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        ASSERT_TRUE(proxy.start(service.port()));
        QFile stale(logFilePath());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("line of an earlier run\n");
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

    // Sends an offline request and checks what getOfflineStatusRequest: answers after it.
    void expectOfflineStatus(
        AgentProcess &agent, const QString &object, const QString &request, const QString &expected)
    {
        SCOPED_TRACE((object + ' ' + request).toStdString());
        post(oruNotifications::kOffline, object, {{"request", request}});
        pumpFor(500);
        EXPECT_TRUE(pumpUntil([&] { return agent.getOfflineStatusRequest() == expected; }, 3000));
    }

    QString logFilePath() const { return home.desktop() + "/pondrel_agent.log"; }

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

TEST_F(AgentProgramTest, RememberedAccountVisitsLoginsOfflineRequestsDebugLogAndTerminate)
{
    Preferences::shared().setValue("LastLogin", "ann@example.org");
    Preferences::shared().setValue("Debug", true);
    // With the tray (offscreen, so there is no panel to show it in): a question would block.
    const auto agent = startAgent({});
    ASSERT_TRUE(pumpUntil([&] { return !visits().empty(); }, 15000));
    const auto registered = registeredAtMs();
    ASSERT_TRUE(registered.has_value()) << "the computer is registered before the first visit";
    const qint64 delay = visits().front().receivedAtMs - *registered;
    EXPECT_GE(delay, 1990);
    EXPECT_LT(delay, 6000);
    EXPECT_EQ(accountHashes(visits().front()), hashOf("ann@example.org"));
    const QString computer = Preferences::shared().value("ComputerID").toString();
    ASSERT_FALSE(computer.isEmpty());
    EXPECT_TRUE(visits().front().body.contains(("{" + computer + "}").toUtf8()));

    // The log on the desktop was emptied at start; a second Agent leaves it and the first alone.
    ASSERT_TRUE(pumpUntil([&] { return logFileText().contains("MARK"); }, 5000));
    EXPECT_FALSE(logFileText().contains("earlier run"));
    const QString firstLog = logFileText();
    const ProgramRun second = AgentProcess::run({"--headless"}, proxy.baseUrl());
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.standardError.contains("already running"));
    EXPECT_TRUE(agent->isRunning());
    EXPECT_TRUE(logFileText().startsWith(firstLog)) << "the second Agent emptied the log";

    post(oruNotifications::kVisit, kSomeoneElse);
    pumpFor(1500);
    EXPECT_EQ(visits().size(), 1u) << "a Visit meant for someone else is ignored";
    qint64 postedAt = proxy.elapsedMs();
    post(oruNotifications::kVisit, oruNotifications::kAgentObject);
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 2; }, 10000));
    // At once: well before the five seconds of the menu's or a wake's visit.
    EXPECT_LT(visits()[1].receivedAtMs - postedAt, 3000);

    postedAt = proxy.elapsedMs();
    post(oruNotifications::kLogin, oruNotifications::kAgentObject,
        {{"LastLogin", "bob@example.org"}});
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 3; }, 10000));
    EXPECT_GE(visits()[2].receivedAtMs - postedAt, 1990);
    EXPECT_EQ(accountHashes(visits()[2]), hashOf("bob@example.org"));
    post(oruNotifications::kLogin, kSomeoneElse, {{"LastLogin", "eve@example.org"}});
    post(oruNotifications::kVisit, oruNotifications::kAgentObject);
    ASSERT_TRUE(pumpUntil([&] { return visits().size() == 4; }, 10000));
    EXPECT_EQ(accountHashes(visits()[3]), hashOf("bob@example.org"));

    EXPECT_EQ(agent->getOfflineStatusRequest(), "FALSE");
    expectOfflineStatus(*agent, kSomeoneElse, "online", "FALSE");
    expectOfflineStatus(*agent, oruNotifications::kAgentObject, "online", "TRUE");
    expectOfflineStatus(*agent, oruNotifications::kAgentObject, "status", "TRUE");
    expectOfflineStatus(*agent, oruNotifications::kAgentObject, "sideways", "TRUE");
    expectOfflineStatus(*agent, oruNotifications::kAgentObject, "offline", "FALSE");
    ASSERT_TRUE(pumpUntil([&] { return logFileText().contains("offlineNotification:"); }, 5000));
    const QString log = logFileText();
    EXPECT_TRUE(log.contains("userInfo: {request = online;}"));
    // Every line carries the platform prefix of this program.
    EXPECT_TRUE(log.startsWith("20")) << log.left(200).toStdString();
    EXPECT_TRUE(log.contains("pondrel-agent["));

    post(oruNotifications::kTerminate, kSomeoneElse);
    pumpFor(1000);
    ASSERT_TRUE(agent->isRunning());
    post(oruNotifications::kTerminate, oruNotifications::kAgentObject);
    EXPECT_EQ(agent->waitForExit(10000), std::optional<int>(0));
    EXPECT_EQ(logFileText().count("No system tray"), 1) << "said once, in the log of this run";
}

TEST_F(AgentProgramTest, WithoutAccountOrDebugItWaitsForAWakeAndQuitsOnSignals)
{
    // A stand-in for the system bus, on which this test plays logind.
    PrivateBus systemBus("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(systemBus.isValid()) << "no private system bus: is dbus-daemon installed?";
    QDBusConnection login1 = systemBus.connection();
    ASSERT_TRUE(login1.registerService("org.freedesktop.login1"));
    const auto prepareForSleep = [&](bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << sleeping;
        ASSERT_TRUE(login1.send(signal));
    };
    auto agent = startAgent();
    ASSERT_TRUE(pumpUntil([&] { return registeredAtMs().has_value(); }, 10000));

    prepareForSleep(true);
    pumpFor(6000);
    EXPECT_TRUE(visits().empty()) << "neither a remembered sign-on nor going to sleep visits";
    const qint64 wokeAt = proxy.elapsedMs();
    prepareForSleep(false);
    ASSERT_TRUE(pumpUntil([&] { return !visits().empty(); }, 15000));
    EXPECT_GE(visits().front().receivedAtMs - wokeAt, 4990);
    // Nobody signed on yet: the empty address is digested like any other.
    EXPECT_EQ(accountHashes(visits().front()), hashOf(QString()));

    expectOfflineStatus(*agent, oruNotifications::kAgentObject, "online", "TRUE");
    EXPECT_EQ(logFileText(), "line of an earlier run\n");
    EXPECT_FALSE(agent->standardError().contains("offlineNotification"));

    for (const int signalNumber : {SIGTERM, SIGINT}) {
        if (!agent)
            agent = startAgent();
        ASSERT_EQ(::kill(pid_t(agent->pid()), signalNumber), 0);
        EXPECT_EQ(agent->waitForExit(10000), std::optional<int>(0)) << signalNumber;
        agent.reset();
    }

    const qsizetype requestsSoFar = qsizetype(proxy.requests().size());
    const ProgramRun version = AgentProcess::run({"--version"}, proxy.baseUrl());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.standardOutput.startsWith("pondrel-agent "));
    const ProgramRun help = AgentProcess::run({"--help"}, proxy.baseUrl());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.standardOutput.contains("--headless"));
    EXPECT_EQ(qsizetype(proxy.requests().size()), requestsSoFar)
        << "help and version start nothing";
}

} // namespace
