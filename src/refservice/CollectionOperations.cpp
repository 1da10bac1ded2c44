// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/CommandBatches.h"
#include "refservice/OperationContext.h"
#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"

namespace pondrel::refservice {

namespace {

QString requireComputerIdentifier(const OperationContext &context)
{
    const QString identifier = OperationContext::normalizedComputer(
        context.request().text(QStringLiteral("computerIdentifier")));
    if (identifier.isEmpty())
        throw ServiceFault(QStringLiteral("The computer identifier is empty."));
    return identifier;
}

bool computerExists(Database &database, const QString &identifier)
{
    Statement query = database.prepare("SELECT 1 FROM computers WHERE id = ?1");
    query.bind(1, identifier);
    return query.step();
}

void registerComputer(OperationContext &context)
{
    context.requireServiceKey();
    const QString identifier = requireComputerIdentifier(context);
    const QString name = context.request().textOr(QStringLiteral("computerName"), {});
    const QString description = context.request().textOr(QStringLiteral("computerDescription"), {});
    context.database()
        .prepare(
            "INSERT INTO computers (id, name, description, registered) VALUES (?1, ?2, ?3, ?4) "
            "ON CONFLICT(id) DO UPDATE SET name = excluded.name, "
            "description = excluded.description")
        .bind(1, identifier)
        .bind(2, name)
        .bind(3, description)
        .bind(4, ServiceDates::now())
        .run();
    context.reply().setResultText(QStringLiteral("true"));
}

void checkComputer(OperationContext &context)
{
    context.requireServiceKey();
    // A workstation that sends no identifier at all is simply not known yet.
    const QString identifier = OperationContext::normalizedComputer(
        context.request().textOr(QStringLiteral("computerIdentifier"), {}));
    const bool known = !identifier.isEmpty() && computerExists(context.database(), identifier);
    context.reply().setResultText(known ? QStringLiteral("true") : QStringLiteral("false"));
}

void unregisterComputer(OperationContext &context)
{
    context.requireServiceKey();
    const QString identifier = requireComputerIdentifier(context);
    if (!computerExists(context.database(), identifier))
        throw ServiceFault(QStringLiteral("Unknown computer."));
    context.database()
        .prepare("DELETE FROM sessions WHERE computer_id = ?1")
        .bind(1, identifier)
        .run();
    context.database().prepare("DELETE FROM computers WHERE id = ?1").bind(1, identifier).run();
    context.reply().setResultText(QStringLiteral("true"));
}

void checkAccount(OperationContext &context)
{
    context.requireServiceKey();
    Statement query = context.database().prepare("SELECT 1 FROM accounts WHERE email = ?1");
    query.bind(1, context.request().text(QStringLiteral("accountIdentifier")).trimmed());
    context.reply().setResultText(query.step() ? QStringLiteral("true") : QStringLiteral("false"));
}

void visit(OperationContext &context)
{
    context.requireServiceKey();
    const QString identifier = requireComputerIdentifier(context);
    if (!computerExists(context.database(), identifier))
        throw ServiceFault(QStringLiteral("Unknown computer, please register it again."));
    context.database()
        .prepare("UPDATE computers SET last_visit = ?1 WHERE id = ?2")
        .bind(1, ServiceDates::now())
        .bind(2, identifier)
        .run();
    CommandBatches::applyStatuses(context, identifier,
        context.request().node(QStringLiteral("previousCommandBatchesStatuses")));
    // A visit that brings work leaves the interval out: the workstation comes back as soon as
    // it has done the work.
    if (CommandBatches::issue(context, identifier, context.reply().result()) == 0)
        context.reply().addOutput(QStringLiteral("nextVisitIntervalMilliseconds"),
            QString::number(context.config().visitIntervalMs));
}

} // namespace

void registerCollectionOperations(OperationTable &table)
{
    table.insert(QStringLiteral("RegisterComputer"), registerComputer);
    table.insert(QStringLiteral("CheckComputer"), checkComputer);
    table.insert(QStringLiteral("UnregisterComputer"), unregisterComputer);
    table.insert(QStringLiteral("CheckAccount"), checkAccount);
    table.insert(QStringLiteral("Visit"), visit);
}

} // namespace pondrel::refservice
