// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include <cstdio>

namespace pondrel {

std::vector<ToolCommand> &ToolCommand::registry()
{
    static std::vector<ToolCommand> commands;
    return commands;
}

const ToolCommand *ToolCommand::find(const QString &name)
{
    for (const ToolCommand &command : registry()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

int ToolCommand::execute(const QStringList &arguments) const
{
    const QStringList options = arguments.mid(0, arguments.indexOf(QStringLiteral("--")));
    if (options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h")))
        return printHelp();
    return run(*this, arguments);
}

int ToolCommand::printHelp() const
{
    ToolOutput::out(usage);
    return kSuccess;
}

int ToolCommand::badUsage(const QString &complaint) const
{
    ToolOutput::err(QStringLiteral("pondrel-tool %1: %2").arg(name, complaint));
    ToolOutput::err(usage);
    return kBadUsage;
}

ToolCommandRegistration::ToolCommandRegistration(ToolCommand command)
{
    ToolCommand::registry().push_back(std::move(command));
}

namespace ToolOutput {

void write(QByteArrayView bytes)
{
    std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout);
}

void out(const QString &text)
{
    write(text.toUtf8());
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stdout);
}

void err(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stderr);
}

} // namespace ToolOutput

} // namespace pondrel
