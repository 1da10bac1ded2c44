// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork_digest.h"

#include <optional>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool digest sha1 FILE\n"
    "  pondrel-tool digest md5 TEXT\n\n"
    "Prints the digests the client uses. 'sha1' is the picture digest: SHA-1 over the file's\n"
    "complete 102,400-byte blocks only, so it differs from sha1sum unless the file's size is a\n"
    "multiple of 102,400. 'md5' is the MD5 of the text's UTF-8 bytes.\n");

int printDigest(const std::optional<QString> &digest, const QString &failure)
{
    if (!digest) {
        ToolOutput::err(failure);
        return ToolCommand::kFailure;
    }
    ToolOutput::out(*digest);
    return ToolCommand::kSuccess;
}

int runDigest(const ToolCommand &self, const QStringList &arguments)
{
    if (arguments.size() != 2)
        return self.badUsage(QStringLiteral("expected a kind (sha1 or md5) and one argument"));
    const QString &kind = arguments.at(0);
    const QString &subject = arguments.at(1);
    if (kind == QStringLiteral("sha1"))
        return printDigest(
            oruNetworkDigest::sha1FromFile(subject), QStringLiteral("Cannot read %1").arg(subject));
    if (kind == QStringLiteral("md5"))
        return printDigest(oruNetworkDigest::md5(subject), QStringLiteral("Digest failed"));
    return self.badUsage(QStringLiteral("unknown digest '%1'").arg(kind));
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("digest"),
    QStringLiteral("picture (sha1) and text (md5) digests"), kUsage, runDigest}};

} // namespace

} // namespace pondrel
