// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/CommandBatches.h"

#include "refservice/AssetStore.h"
#include "refservice/Outbox.h"
#include "refservice/PasswordHasher.h"
#include "refservice/Renditions.h"
#include "refservice/SoapRequest.h"

#include <QDir>
#include <QMap>
#include <QUuid>

#include <sstream>

namespace pondrel::refservice {

namespace {

// Field order of a RenderPicture command on the wire.
const QStringList kCommandFields = {QStringLiteral("type"), QStringLiteral("id"),
    QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("cropMode"),
    QStringLiteral("RotateFlipType"), QStringLiteral("url"), QStringLiteral("return")};

QString childText(const pugi::xml_node &parent, const QString &name)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && SoapRequest::localName(child) == name)
            return QString::fromUtf8(child.child_value()).trimmed();
    }
    return {};
}

QMap<QString, QString> returnParameters(const pugi::xml_node &status)
{
    QMap<QString, QString> values;
    for (pugi::xml_node child : status.children()) {
        if (SoapRequest::localName(child) != QLatin1String("ReturnParameters"))
            continue;
        for (pugi::xml_node parameter : child.children()) {
            const QString name = childText(parameter, QStringLiteral("Name"));
            if (!name.isEmpty())
                values.insert(name, childText(parameter, QStringLiteral("Value")));
        }
    }
    return values;
}

struct IssuedCommand
{
    QString id;
    QString assetId;
    QString renditionName;
    qint64 width = 0;
    qint64 height = 0;
    int issues = 0;
    QString uploadFile;
    qint64 uploadSize = 0;
    QString uploadEtag;
    qint64 accountId = 0;
};

std::optional<IssuedCommand> issuedCommand(
    Database &database, const QString &id, const QString &computer)
{
    Statement query = database.prepare(
        "SELECT c.id, c.asset_id, c.rendition_name, c.width, c.height, c.issues, c.upload_file, "
        "c.upload_size, c.upload_etag, a.account_id FROM commands c "
        "JOIN assets a ON a.id = c.asset_id "
        "WHERE c.id = ?1 AND c.state = 'issued' AND c.issued_to = ?2");
    query.bind(1, id).bind(2, computer);
    if (!query.step())
        return std::nullopt;
    return IssuedCommand {query.text(0), query.text(1), query.text(2), query.integer(3),
        query.integer(4), int(query.integer(5)), query.text(6), query.integer(7), query.text(8),
        query.integer(9)};
}

qint64 reportedOr(const QMap<QString, QString> &reported, const QString &name, qint64 fallback)
{
    bool ok = false;
    const qint64 value = reported.value(name).toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

void announceWallpaper(Database &database, const ServiceConfig &config,
    const IssuedCommand &command, const RenditionRow &rendition)
{
    Statement query = database.prepare("SELECT ac.email, ac.first_name, a.name FROM assets a JOIN "
                                       "accounts ac ON ac.id = a.account_id "
                                       "WHERE a.id = ?1");
    query.bind(1, command.assetId);
    if (!query.step())
        return;
    Outbox::record(database, QStringLiteral("wallpaper"), query.text(0),
        QStringLiteral("Your wallpaper of \"%1\" is ready").arg(query.text(2)),
        QStringLiteral("Hello %1,\n\nthe wallpaper of \"%2\" (%3 x %4) is ready:\n%5\n")
            .arg(query.text(1), query.text(2))
            .arg(rendition.width)
            .arg(rendition.height)
            .arg(Renditions::url(config, rendition)));
}

// Upload sessions still open on the command's address die with it.
void dropUploadSessions(OperationContext &context, const QString &commandId)
{
    Database &database = context.database();
    Statement sessions = database.prepare("SELECT s.part_file FROM bits_sessions s JOIN commands c "
                                          "ON c.upload_token = s.upload_token "
                                          "WHERE c.id = ?1");
    sessions.bind(1, commandId);
    while (sessions.step())
        context.removeAfterCommit(sessions.text(0));
    database
        .prepare("DELETE FROM bits_sessions WHERE upload_token = "
                 "(SELECT upload_token FROM commands WHERE id = ?1)")
        .bind(1, commandId)
        .run();
}

void succeed(
    OperationContext &context, const IssuedCommand &command, const QMap<QString, QString> &reported)
{
    Database &database = context.database();
    RenditionRow rendition;
    rendition.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    rendition.assetId = command.assetId;
    rendition.name = command.renditionName;
    rendition.width = reportedOr(reported, QStringLiteral("width"), command.width);
    rendition.height = reportedOr(reported, QStringLiteral("height"), command.height);
    // What is served is what arrived, whatever the report says.
    rendition.fileSize = command.uploadSize;
    rendition.fileName = command.uploadFile;
    rendition.etag = command.uploadEtag;
    if (const auto replaced = Renditions::makeReady(database, rendition))
        context.removeAfterCommit(Renditions::filePath(context.config(), *replaced));
    dropUploadSessions(context, command.id);
    database.prepare("UPDATE commands SET state = 'done', upload_file = '' WHERE id = ?1")
        .bind(1, command.id)
        .run();
    database.prepare("UPDATE assets SET retrieval_failed = 0 WHERE id = ?1")
        .bind(1, command.assetId)
        .run();
    if (rendition.name == QLatin1String("Wallpaper"))
        announceWallpaper(database, context.config(), command, rendition);
}

// Back in the queue for another try, or given up after the last one.
void retry(OperationContext &context, const IssuedCommand &command, bool markPicture)
{
    Database &database = context.database();
    if (!command.uploadFile.isEmpty())
        context.removeAfterCommit(Renditions::filePath(context.config(), command.uploadFile));
    dropUploadSessions(context, command.id);
    const bool giveUp = command.issues >= CommandBatches::kMaximumIssues;
    database
        .prepare("UPDATE commands SET state = ?1, upload_file = '', upload_size = 0, "
                 "upload_token = NULL WHERE id = ?2")
        .bind(1, giveUp ? QStringLiteral("failed") : QStringLiteral("pending"))
        .bind(2, command.id)
        .run();
    if (markPicture)
        database.prepare("UPDATE assets SET retrieval_failed = 1 WHERE id = ?1")
            .bind(1, command.assetId)
            .run();
}

void applyStatus(OperationContext &context, const QString &computer, const pugi::xml_node &status)
{
    const std::optional<IssuedCommand> command = issuedCommand(
        context.database(), childText(status, QStringLiteral("UniqueIdentifier")), computer);
    if (!command)
        return; // unknown, already settled, or not this computer's: nothing to change
    const bool succeeded = childText(status, QStringLiteral("CommandExecutionStatus"))
                               .compare(QLatin1String("Succeeded"), Qt::CaseInsensitive)
        == 0;
    if (succeeded && !command->uploadFile.isEmpty())
        succeed(context, *command, returnParameters(status));
    else
        retry(context, *command, !succeeded);
}

// Every CommandStatus that carries an outcome, at any depth. pugixml's walker keeps its own
// stack, so a hostile nesting depth cannot exhaust ours.
class StatusCollector : public pugi::xml_tree_walker
{
public:
    QList<pugi::xml_node> statuses;

    bool for_each(pugi::xml_node &node) override
    {
        if (node.type() != pugi::node_element
            || SoapRequest::localName(node) != QLatin1String("CommandStatus"))
            return true;
        for (pugi::xml_node field : node.children()) {
            if (SoapRequest::localName(field) == QLatin1String("CommandExecutionStatus")) {
                statuses.append(node);
                break;
            }
        }
        return true;
    }
};

struct PendingPicture
{
    QString assetId;
    QString moniker;
    QString hash;
    QString rotateFlip;
};

QList<PendingPicture> picturesWithWork(Database &database, const QString &computer)
{
    Statement query
        = database.prepare("SELECT DISTINCT a.id, a.moniker, a.hash, a.rotate_flip FROM commands c "
                           "JOIN assets a ON a.id = c.asset_id "
                           "WHERE c.state = 'pending' AND a.origin_computer = ?1 ORDER BY a.seq");
    query.bind(1, computer);
    QList<PendingPicture> pictures;
    while (query.step())
        pictures.append({query.text(0), query.text(1), query.text(2), query.text(3)});
    return pictures;
}

QList<QMap<QString, QString>> issueCommands(OperationContext &context,
    const PendingPicture &picture, const QString &batchId, const QString &computer)
{
    Database &database = context.database();
    Statement query = database.prepare(
        "SELECT id, width, height, crop_mode, return_names FROM commands "
        "WHERE asset_id = ?1 AND state = 'pending' ORDER BY created, rendition_name DESC");
    query.bind(1, picture.assetId);
    QList<QMap<QString, QString>> commands;
    while (query.step()) {
        const QString token = QString::fromLatin1(PasswordHasher::randomBytes(16).toHex());
        commands.append({{QStringLiteral("type"), QStringLiteral("RenderPicture")},
            {QStringLiteral("id"), query.text(0)},
            {QStringLiteral("width"), QString::number(query.integer(1))},
            {QStringLiteral("height"), QString::number(query.integer(2))},
            {QStringLiteral("cropMode"), QString::number(query.integer(3))},
            {QStringLiteral("RotateFlipType"), picture.rotateFlip},
            {QStringLiteral("url"),
                context.config().publicUrl + QStringLiteral("/Pondrel/Upload/") + token},
            {QStringLiteral("return"), query.text(4)}});
        database
            .prepare("UPDATE commands SET state = 'issued', issues = issues + 1, batch_id = ?1, "
                     "issued_to = ?2, upload_token = ?3 WHERE id = ?4")
            .bind(1, batchId)
            .bind(2, computer)
            .bind(3, token)
            .bind(4, query.text(0))
            .run();
    }
    return commands;
}

} // namespace

namespace CommandBatches {

void applyStatuses(OperationContext &context, const QString &computer, pugi::xml_node statuses)
{
    StatusCollector collector;
    statuses.traverse(collector);
    for (const pugi::xml_node &status : collector.statuses)
        applyStatus(context, computer, status);
    // The workstation reports every batch of its last visit on the next one (and a visit whose
    // reply it lost takes the statuses with it), so what it did not report now is lost: it goes
    // out again with a fresh address.
    Statement unreported = context.database().prepare(
        "SELECT id FROM commands WHERE state = 'issued' AND issued_to = ?1");
    unreported.bind(1, computer);
    QStringList lost;
    while (unreported.step())
        lost.append(unreported.text(0));
    for (const QString &id : lost) {
        if (const auto command = issuedCommand(context.database(), id, computer))
            retry(context, *command, false);
    }
}

int issue(OperationContext &context, const QString &computer, pugi::xml_node visitResult)
{
    int batches = 0;
    for (const PendingPicture &picture : picturesWithWork(context.database(), computer)) {
        const QString batchId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const auto commands = issueCommands(context, picture, batchId, computer);
        pugi::xml_node batch = SoapReply::addElement(visitResult, QStringLiteral("CommandBatch"));
        SoapReply::addText(batch, QStringLiteral("UniqueIdentifier"), batchId);
        SoapReply::addText(batch, QStringLiteral("Moniker"), picture.moniker);
        SoapReply::addText(batch, QStringLiteral("Hash"), picture.hash);
        SoapReply::addText(batch, QStringLiteral("AssetInternalIdentifier"), picture.assetId);
        SoapReply::addText(batch, QStringLiteral("Commands"),
            commandsDocument(context.config().commandStyle, commands));
        ++batches;
    }
    return batches;
}

QString commandsDocument(const QString &style, const QList<QMap<QString, QString>> &commands)
{
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("Commands");
    for (const auto &command : commands) {
        pugi::xml_node element = root.append_child("Command");
        for (const QString &field : kCommandFields) {
            const bool asAttribute = style == QLatin1String("attributes")
                || (style == QLatin1String("mixed")
                    && (field == QLatin1String("type") || field == QLatin1String("id")));
            const QByteArray name = field.toUtf8();
            const QByteArray value = command.value(field).toUtf8();
            if (asAttribute)
                element.append_attribute(name.constData()) = value.constData();
            else
                element.append_child(name.constData()).text().set(value.constData());
        }
    }
    std::ostringstream stream;
    document.save(stream, "", pugi::format_raw | pugi::format_no_declaration);
    return QString::fromStdString(stream.str());
}

} // namespace CommandBatches

} // namespace pondrel::refservice
