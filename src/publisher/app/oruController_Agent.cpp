// SPDX-License-Identifier: GPL-2.0-or-later
// Starting the Agent beside the Publisher and keeping it among the login items.
#include "publisher/app/oruController.h"

#include "publisher/app/NTLoginItemMgr.h"
#include "support/oruLog.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QProcess>

namespace pondrel {

QString oruController::pathForAgent()
{
    // PONDREL_AGENT_PROGRAM lets a test or a packager name another Agent program.
    const QString overridden = qEnvironmentVariable("PONDREL_AGENT_PROGRAM");
    const QString path = !overridden.isEmpty()
        ? overridden
        : QCoreApplication::applicationDirPath() + QLatin1Char('/') + kAgentProgramName;
    ORU_LOG(QStringLiteral("Path for agent:%1").arg(path));
    return path;
}

void oruController::launchAgent()
{
    ORU_LOG(QStringLiteral("MARK"));
    if (!QProcess::startDetached(pathForAgent(), {}))
        ORU_LOG(QStringLiteral("Cannot start the Agent"));
}

bool oruController::agentLaunched() const
{
    const QDBusConnectionInterface *bus = m_bus.interface();
    const QStringList names = bus ? bus->registeredServiceNames().value() : QStringList();
    ORU_LOG(QStringLiteral("launched apps: %1").arg(names.join(QStringLiteral(", "))));
    return names.contains(kAgentBundleId);
}

void oruController::testAgent()
{
    const auto yesNo = [] {
        return NTLoginItemMgr::isLoginItem(pathForAgent()) ? QStringLiteral("YES")
                                                           : QStringLiteral("NO");
    };
    ORU_LOG(QStringLiteral("isLoginItem: %1").arg(yesNo()));
    NTLoginItemMgr::addLoginItem(pathForAgent(), false);
    ORU_LOG(QStringLiteral("isLoginItem: %1").arg(yesNo()));
}

} // namespace pondrel
