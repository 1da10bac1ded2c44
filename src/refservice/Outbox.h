// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"

#include <QByteArray>
#include <QString>

namespace pondrel::refservice {

// E-mails the service would send. They are recorded, never sent.
namespace Outbox {

void record(Database &database, const QString &kind, const QString &recipient,
    const QString &subject, const QString &body);
// Every recorded e-mail, oldest first, as a JSON array of objects with "kind", "to",
// "subject", "body" and "date".
QByteArray json(Database &database);

} // namespace Outbox

} // namespace pondrel::refservice
