// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/OperationContext.h"

#include <pugixml.hpp>

namespace pondrel::refservice {

// The work a visit hands to a workstation and the statuses it brings back.
namespace CommandBatches {

// A command goes out at most this often: once, then re-issued up to three times.
inline constexpr int kMaximumIssues = 4;

// Applies the statuses of earlier batches that were issued to this computer; commands it was
// given and does not report go back in the queue.
void applyStatuses(OperationContext &context, const QString &computer, pugi::xml_node statuses);

// Writes one CommandBatch per picture of this computer with commands waiting, each command
// with a fresh single-use upload address. Returns the number of batches written.
int issue(OperationContext &context, const QString &computer, pugi::xml_node visitResult);

// The Commands document of one batch in the configured style.
QString commandsDocument(const QString &style, const QList<QMap<QString, QString>> &commands);

} // namespace CommandBatches

} // namespace pondrel::refservice
