// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "support/Preferences.h"
#include "support/ProcessHeap.h"

#include <QCoreApplication>

#include <algorithm>

namespace pondrel {

namespace {

QString overallHelp()
{
    QString text = QStringLiteral("Usage: pondrel-tool COMMAND [ARGUMENTS...]\n\n"
                                  "Support and scripting companion of Pondrel.\n\nCommands:\n");
    std::vector<ToolCommand> commands = ToolCommand::registry();
    std::sort(commands.begin(), commands.end(),
        [](const ToolCommand &a, const ToolCommand &b) { return a.name < b.name; });
    for (const ToolCommand &command : commands)
        text += QStringLiteral("  %1%2\n").arg(command.name.leftJustified(12), command.summary);
    text += QStringLiteral("\n'pondrel-tool COMMAND --help' describes one command.");
    return text;
}

} // namespace

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    configureProcessHeap();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pondrel-tool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PONDREL_VERSION));
    Preferences::setApplicationDomain(QStringLiteral("com.trevane.pondrel-tool"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        ToolOutput::err(overallHelp());
        return ToolCommand::kBadUsage;
    }
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h")) {
        ToolOutput::out(overallHelp());
        return ToolCommand::kSuccess;
    }
    if (name == QStringLiteral("--version")) {
        ToolOutput::out(
            QStringLiteral("pondrel-tool %1").arg(QCoreApplication::applicationVersion()));
        return ToolCommand::kSuccess;
    }
    const ToolCommand *command = ToolCommand::find(name);
    if (!command) {
        ToolOutput::err(QStringLiteral("pondrel-tool: unknown command '%1'\n").arg(name));
        ToolOutput::err(overallHelp());
        return ToolCommand::kBadUsage;
    }
    return command->execute(arguments);
}
