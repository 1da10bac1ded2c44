// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/ServiceDates.h"

#include "refservice/ServiceFault.h"

#include <QTimeZone>

namespace pondrel::refservice {

namespace ServiceDates {

QString format(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QStringLiteral("+00:00");
}

QString now()
{
    return format(QDateTime::currentDateTimeUtc());
}

QString normalize(const QString &text, const QString &parameterName)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    QDateTime date = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!date.isValid())
        date = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!date.isValid())
        throw ServiceFault(QStringLiteral("The parameter %1 is not a date.").arg(parameterName));
    // A date without a zone is taken as UTC: the parameters are named ...Utc.
    if (date.timeSpec() == Qt::LocalTime)
        date.setTimeZone(QTimeZone::utc());
    return format(date);
}

QString orNone(const QString &stored)
{
    return stored.isEmpty() ? kNone : stored;
}

} // namespace ServiceDates

} // namespace pondrel::refservice
