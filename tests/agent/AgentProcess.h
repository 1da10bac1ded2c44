#pragma once

#include "ProgramRun.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

// One pondrel-agent for a test, started from $PONDREL_BIN_DIR with the test's environment
// (its scratch HOME, its private bus) and the service at serviceUrl.
class AgentProcess
{
public:
    AgentProcess(QDBusConnection bus, QString serviceUrl);
    ~AgentProcess();
    AgentProcess(const AgentProcess &) = delete;
    AgentProcess &operator=(const AgentProcess &) = delete;

    // Starts it and waits until this very process owns the Agent's bus name and its remote
    // object answers, that is until it observes the notifications.
    bool start(const QStringList &arguments = {QStringLiteral("--headless")});
    // Waits for the program to end (while the test's events run); its exit code or none.
    std::optional<int> waitForExit(int timeoutMs);
    bool ownsTheBusName() const;
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }

    std::optional<QString> getOfflineStatusRequest() const;
    QString standardError() { return QString::fromUtf8(m_process.readAllStandardError()); }

    // A short run to its end (a second Agent, --help, --version).
    static ProgramRun run(const QStringList &arguments, const QString &serviceUrl);

private:
    static QProcessEnvironment environment(const QString &serviceUrl);

    QDBusConnection m_bus;
    QString m_serviceUrl;
    QProcess m_process;
};
