#include "AgentProcess.h"

#include "RecordingProxy.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {

const QString kBusName = QStringLiteral("com.trevane.oru_agent");

} // namespace

AgentProcess::AgentProcess(QDBusConnection bus, QString serviceUrl)
    : m_bus(std::move(bus))
    , m_serviceUrl(std::move(serviceUrl))
{ }

AgentProcess::~AgentProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QProcessEnvironment AgentProcess::environment(const QString &serviceUrl)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PONDREL_SERVICE_URL", serviceUrl);
    return environment;
}

ProgramRun AgentProcess::run(const QStringList &arguments, const QString &serviceUrl)
{
    return ProgramRun::run(
        ProgramRun::builtProgram("pondrel-agent"), arguments, environment(serviceUrl));
}

bool AgentProcess::start(const QStringList &arguments)
{
    m_process.setProcessEnvironment(environment(m_serviceUrl));
    m_process.start(ProgramRun::builtProgram("pondrel-agent"), arguments);
    return m_process.waitForStarted(5000)
        && pumpUntil(
            [this] {
                return (ownsTheBusName() && getOfflineStatusRequest().has_value()) || !isRunning();
            },
            15000)
        && isRunning();
}

bool AgentProcess::ownsTheBusName() const
{
    const QDBusReply<uint> owner = m_bus.interface()->servicePid(kBusName);
    return owner.isValid() && qint64(owner.value()) == pid();
}

std::optional<int> AgentProcess::waitForExit(int timeoutMs)
{
    if (!pumpUntil([this] { return !isRunning(); }, timeoutMs))
        return std::nullopt;
    if (m_process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return m_process.exitCode();
}

std::optional<QString> AgentProcess::getOfflineStatusRequest() const
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kBusName, "/oruAgentSrvr", "com.trevane.oruAgentSrvr", "getOfflineStatusRequest");
    call << "status";
    const QDBusReply<QString> reply = m_bus.call(call, QDBus::Block, 3000);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}
