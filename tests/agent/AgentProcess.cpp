#include "AgentProcess.h"

#include "RecordingProxy.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>

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

QString AgentProcess::programPath()
{
    return QDir(qEnvironmentVariable("PONDREL_BIN_DIR")).filePath("pondrel-agent");
}

bool AgentProcess::launch(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PONDREL_SERVICE_URL", m_serviceUrl);
    m_process.setProcessEnvironment(environment);
    m_process.start(programPath(), arguments);
    return m_process.waitForStarted(5000);
}

bool AgentProcess::start(const QStringList &arguments)
{
    return launch(arguments)
        && pumpUntil(
            [this] { return getOfflineStatusRequest().has_value() || !isRunning(); }, 15000)
        && isRunning();
}

std::optional<int> AgentProcess::runToEnd(const QStringList &arguments, int timeoutMs)
{
    return launch(arguments) ? waitForExit(timeoutMs) : std::nullopt;
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
    QDBusMessage call = QDBusMessage::createMethodCall("com.trevane.oru_agent", "/oruAgentSrvr",
        "com.trevane.oruAgentSrvr", "getOfflineStatusRequest");
    call << "status";
    const QDBusReply<QString> reply = m_bus.call(call, QDBus::Block, 3000);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}

QString AgentProcess::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return QString::fromUtf8(m_stderr);
}

QString AgentProcess::standardOutput()
{
    return QString::fromUtf8(m_process.readAllStandardOutput());
}
