// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork.h"

#include <QTextStream>

#include <cstdio>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool assets EMAIL [ALBUM]\n\n"
    "Signs on to the account EMAIL and lists the albums and pictures in ALBUM (an album\n"
    "identifier; the account's top level without one), one per line:\n"
    "KIND<TAB>IDENTIFIER<TAB>NAME, albums first. The password comes from the environment\n"
    "variable PONDREL_PASSWORD, else from the first line of standard input. The workstation\n"
    "is registered first if the service does not know it yet.\n"
    "Exit status 1 when signing on fails or the album is empty.\n");

QString password()
{
    if (qEnvironmentVariableIsSet("PONDREL_PASSWORD"))
        return qEnvironmentVariable("PONDREL_PASSWORD");
    QTextStream input(stdin);
    return input.readLine();
}

int runAssets(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.size() > 2)
        return self.badUsage(QStringLiteral("assets needs an e-mail address and at most one "
                                            "album"));
    oruNetwork client;
    client.makeUserAgent();
    if (!client.registerComputerIfNeeded()) {
        ToolOutput::err(QStringLiteral("Registering this computer failed: %1")
                            .arg(oruNetwork::messageForAlert(client.errorMsg())));
        return ToolCommand::kFailure;
    }
    if (!client.signOn(arguments.at(0), password()))
        return ToolCommand::kFailure;
    const std::optional<QVariantList> assets = client.getAssets(arguments.value(1));
    client.signOff();
    if (!assets) {
        ToolOutput::err(oruNetwork::messageForAlert(client.errorMsg()));
        return ToolCommand::kFailure;
    }
    for (const QVariant &asset : *assets) {
        const QVariantMap record = asset.toMap();
        ToolOutput::out(QStringLiteral("%1\t%2\t%3")
                            .arg(record.value(QStringLiteral("CS_AssetKind")).toString(),
                                record.value(QStringLiteral("UniqueIdentifier")).toString(),
                                record.value(QStringLiteral("Name")).toString()));
    }
    return assets->isEmpty() ? ToolCommand::kFailure : ToolCommand::kSuccess;
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("assets"),
    QStringLiteral("sign on and list the albums and pictures of an album"), kUsage, runAssets}};

} // namespace

} // namespace pondrel
