// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruCommandStatus.h"

namespace pondrel {

namespace {

QVariantMap status(const QString &commandId, const QString &outcome, const QString &errorCode,
    const QString &description, const QVariantList &returnParameters)
{
    return {{QStringLiteral("UniqueIdentifier"), commandId},
        {QStringLiteral("CommandExecutionStatus"), outcome},
        {QStringLiteral("ErrorCode"), errorCode}, {QStringLiteral("ErrorDescription"), description},
        {QStringLiteral("ReturnParameters"), returnParameters}};
}

} // namespace

namespace oruCommandStatus {

QVariantMap succeeded(const QString &commandId, const QVariantList &returnParameters)
{
    return status(commandId, QStringLiteral("Succeeded"), QStringLiteral("0"), QStringLiteral(""),
        returnParameters);
}

QVariantMap failed(const QString &commandId, const QString &errorCode, const QString &description)
{
    return status(commandId, QStringLiteral("Failed"), errorCode,
        description.isNull() ? QStringLiteral("") : description, QVariantList());
}

QVariantMap entry(const QVariantMap &status)
{
    return {{QStringLiteral("CommandStatus"), status}};
}

QVariantMap batchEntry(const QVariantList &commandEntries, const QString &batchId)
{
    const QVariantList parts = {QVariantMap {{QStringLiteral("CommandStatus"), commandEntries}},
        QVariantMap {{QStringLiteral("UniqueIdentifier"), batchId}}};
    return {{QStringLiteral("CommandBatchStatus"), parts}};
}

} // namespace oruCommandStatus

} // namespace pondrel
