// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruAlert.h"

#include "support/oruLog.h"

namespace pondrel {

void oruLogAlert::show(const QString &title, const QString &message)
{
    const QString line = QStringLiteral("%1 %2").arg(title, message);
    ORU_LOG(line);
    oruLog::platformLog(line);
}

} // namespace pondrel
