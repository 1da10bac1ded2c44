// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace pondrel {

// The records a visit reports about the commands of the last processing run, in the shape the
// collection service's Visit takes them.
namespace oruCommandStatus {

QVariantMap succeeded(const QString &commandId, const QVariantList &returnParameters);
QVariantMap failed(const QString &commandId, const QString &errorCode, const QString &description);

// {"CommandStatus": status}
QVariantMap entry(const QVariantMap &status);
// {"CommandBatchStatus": [{"CommandStatus": entries}, {"UniqueIdentifier": batchId}]}
QVariantMap batchEntry(const QVariantList &commandEntries, const QString &batchId);

} // namespace oruCommandStatus

} // namespace pondrel
