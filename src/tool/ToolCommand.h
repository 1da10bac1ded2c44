// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace pondrel {

// A subcommand of pondrel-tool. run() gets the command itself (for its usage complaints) and the
// words after the subcommand's name, and returns the exit status: 0 success, 1 failure or
// nothing found, 2 bad usage.
struct ToolCommand
{
    QString name;
    QString summary;
    QString usage;
    std::function<int(const ToolCommand &self, const QStringList &arguments)> run;

    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kBadUsage = 2;

    static std::vector<ToolCommand> &registry();
    static const ToolCommand *find(const QString &name);

    // Prints the usage text for --help or -h before any "--" (after it they are the command's
    // own words), else runs the command.
    int execute(const QStringList &arguments) const;
    // Prints the usage text to standard output and returns kSuccess.
    int printHelp() const;
    // Prints a complaint and the usage text to standard error and returns kBadUsage.
    int badUsage(const QString &complaint) const;
};

// Registers a command at start-up: static ToolCommandRegistration r{ToolCommand{...}};
struct ToolCommandRegistration
{
    explicit ToolCommandRegistration(ToolCommand command);
};

// Helpers for subcommands.
namespace ToolOutput {
// Bytes as they are, without a line end added: output of megabytes goes out in pieces.
void write(QByteArrayView bytes);
void out(const QString &text);
void err(const QString &text);
} // namespace ToolOutput

} // namespace pondrel
