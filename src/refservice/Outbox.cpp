// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/Outbox.h"

#include "refservice/ServiceDates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pondrel::refservice {

namespace Outbox {

void record(Database &database, const QString &kind, const QString &recipient,
    const QString &subject, const QString &body)
{
    database
        .prepare("INSERT INTO outbox (kind, recipient, subject, body, created) "
                 "VALUES (?1, ?2, ?3, ?4, ?5)")
        .bind(1, kind)
        .bind(2, recipient)
        .bind(3, subject)
        .bind(4, body)
        .bind(5, ServiceDates::now())
        .run();
}

QByteArray json(Database &database)
{
    Statement query = database.prepare(
        "SELECT kind, recipient, subject, body, created FROM outbox ORDER BY seq");
    QJsonArray mails;
    while (query.step()) {
        mails.append(QJsonObject {{QStringLiteral("kind"), query.text(0)},
            {QStringLiteral("to"), query.text(1)}, {QStringLiteral("subject"), query.text(2)},
            {QStringLiteral("body"), query.text(3)}, {QStringLiteral("date"), query.text(4)}});
    }
    return QJsonDocument(mails).toJson(QJsonDocument::Indented);
}

} // namespace Outbox

} // namespace pondrel::refservice
