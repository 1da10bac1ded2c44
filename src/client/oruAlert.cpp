// SPDX-License-Identifier: GPL-2.0-or-later
#include "oruAlert.h"

#include "support/oruLog.h"

void oruLogAlert::show(const QString &title, const QString &message)
{
    const QString line = QStringLiteral("%1 %2").arg(title, message);
    ORU_LOG(line);
    oruLog::platformLog(line);
}
