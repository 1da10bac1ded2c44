// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork.h"
#include "client/oruPlatform.h"
#include "support/Preferences.h"

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool whoami\n\n"
    "Prints how this workstation presents itself to the service: its computer name, the\n"
    "computer identifier that the Publisher and the Agent share, and the service address.\n"
    "Exit status 1 when the workstation has no computer identifier yet.\n");

int runWhoami(const ToolCommand &self, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return self.badUsage(QStringLiteral("whoami takes no arguments"));
    const QString identifier = Preferences::shared().value(oruNetwork::kComputerIDKey).toString();
    ToolOutput::out(QStringLiteral("Computer name: %1").arg(oruPlatform::computerName()));
    ToolOutput::out(QStringLiteral("Computer identifier: %1")
                        .arg(identifier.isEmpty() ? QStringLiteral("(none)") : identifier));
    ToolOutput::out(QStringLiteral("Service: %1").arg(ServiceSettings::baseUrl()));
    return identifier.isEmpty() ? ToolCommand::kFailure : ToolCommand::kSuccess;
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("whoami"),
    QStringLiteral("show this workstation's name and computer identifier"), kUsage, runWhoami}};

} // namespace

} // namespace pondrel
