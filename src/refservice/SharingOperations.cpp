// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/AssetStore.h"
#include "refservice/OperationContext.h"
#include "refservice/Outbox.h"
#include "refservice/PasswordHasher.h"
#include "refservice/Renditions.h"
#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"
#include "refservice/SharingRecords.h"
#include "refservice/SoapReply.h"

#include <QRegularExpression>
#include <QUuid>

namespace pondrel::refservice {

namespace {

constexpr qint64 kMaximumWallpaperWidth = 1920;
constexpr qint64 kMaximumWallpaperHeight = 1200;

struct Owner
{
    QString email;
    QString firstName;
};

Owner ownerOf(Database &database, qint64 accountId)
{
    Statement query = database.prepare("SELECT email, first_name FROM accounts WHERE id = ?1");
    query.bind(1, accountId);
    query.step();
    return Owner {query.text(0), query.text(1)};
}

bool isTrue(const QString &text)
{
    const QString value = text.trimmed().toLower();
    return value == QLatin1String("true") || value == QLatin1String("1");
}

QString childText(const pugi::xml_node &parent, const char *name)
{
    for (pugi::xml_node child : parent.children()) {
        if (SoapRequest::localName(child) == QLatin1String(name))
            return QString::fromUtf8(child.child_value()).trimmed();
    }
    return {};
}

struct Recipient
{
    QString firstName;
    QString email;
    QString culture;
    QString shortNote;
    bool includeSubFolders = false;
    bool allowForwarding = false;
};

QList<Recipient> recipientsOf(const pugi::xml_node &parameter)
{
    static const QRegularExpression address(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s.]+$"));
    QList<Recipient> recipients;
    for (pugi::xml_node target : parameter.children()) {
        if (SoapRequest::localName(target) != QLatin1String("ExportTarget"))
            continue;
        Recipient recipient {childText(target, "FirstName"), childText(target, "EmailAddress"),
            childText(target, "Culture"), childText(target, "ShortNote"),
            isTrue(childText(target, "IncludeSubFolders")),
            isTrue(childText(target, "AllowForwarding"))};
        // One bad address refuses the whole invitation: nothing is half shared.
        if (!address.match(recipient.email).hasMatch())
            throw ServiceFault(
                QStringLiteral("The e-mail address %1 is not valid.").arg(recipient.email));
        if (recipient.culture.isEmpty())
            recipient.culture = QStringLiteral("en-US");
        recipients.append(recipient);
    }
    if (recipients.isEmpty())
        throw ServiceFault(QStringLiteral("The invitation names no recipient."));
    return recipients;
}

QString invitationBody(const Owner &sender, const AssetRow &album, const Recipient &recipient,
    const QString &link, const QString &text)
{
    QString body = QStringLiteral("Hello %1,\n\n%2 shares the album \"%3\" with you.\n")
                       .arg(recipient.firstName, sender.firstName, album.name);
    if (!recipient.shortNote.isEmpty())
        body += QStringLiteral("\n%1\n").arg(recipient.shortNote);
    if (!text.isEmpty())
        body += QStringLiteral("\n%1\n").arg(text);
    if (!link.isEmpty())
        body += QStringLiteral("\nSee it at:\n%1\n").arg(link);
    return body;
}

void exportAssetEx(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    Database &database = context.database();
    const AssetRow album = AssetStore::require(database, session.accountId,
        request.text(QStringLiteral("assetIdentifier")), QStringLiteral("folder"));
    const bool directLinks = request.boolean(QStringLiteral("createDirectAccessLinks"), false);
    const QList<Recipient> recipients = recipientsOf(request.node(QStringLiteral("recipients")));
    const QString type = request.textOr(QStringLiteral("emailNotificationType"), {}).trimmed();
    if (!type.isEmpty() && type != QLatin1String("Default")
        && type != QLatin1String("DefaultWithSenderCC"))
        throw ServiceFault(QStringLiteral("%1 is not a known notification type.").arg(type));
    const QString text = request.textOr(QStringLiteral("emailNotificationText"), {});
    const Owner sender = ownerOf(database, session.accountId);

    for (const Recipient &recipient : recipients) {
        const QString linkId = QString::fromLatin1(PasswordHasher::randomBytes(16).toHex());
        database
            .prepare("INSERT INTO export_links (id, asset_id, email, first_name, culture, "
                     "short_note, include_sub_folders, allow_forwarding, direct_access, created) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "
                     "ON CONFLICT(asset_id, email) DO UPDATE SET id = excluded.id, "
                     "first_name = excluded.first_name, culture = excluded.culture, "
                     "short_note = excluded.short_note, "
                     "include_sub_folders = excluded.include_sub_folders, "
                     "allow_forwarding = excluded.allow_forwarding, "
                     "direct_access = excluded.direct_access")
            .bind(1, linkId)
            .bind(2, album.id)
            .bind(3, recipient.email)
            .bind(4, recipient.firstName)
            .bind(5, recipient.culture)
            .bind(6, recipient.shortNote)
            .bind(7, qint64(recipient.includeSubFolders))
            .bind(8, qint64(recipient.allowForwarding))
            .bind(9, qint64(directLinks))
            .bind(10, ServiceDates::now())
            .run();
        const QString link
            = directLinks ? SharingRecords::directAccessUrl(context.config(), linkId) : QString();
        const QString subject = QStringLiteral("%1 shares the album \"%2\" with you")
                                    .arg(sender.firstName, album.name);
        const QString body = invitationBody(sender, album, recipient, link, text);
        Outbox::record(database, QStringLiteral("invitation"), recipient.email, subject, body);
        if (type == QLatin1String("DefaultWithSenderCC"))
            Outbox::record(database, QStringLiteral("invitation-copy"), sender.email,
                QStringLiteral("Copy: ") + subject, body);
    }
    context.reply().setResultText(QStringLiteral("true"));
}

void getExportLinksInfo(OperationContext &context)
{
    const Session session = context.requireSession();
    const AssetRow album = AssetStore::require(context.database(), session.accountId,
        context.request().text(QStringLiteral("assetIdentifier")), QStringLiteral("folder"));
    SharingRecords::writeExportLinks(context.database(), context.config(), album.id,
        context.reply().result(), QStringLiteral("ExportLinkInfo"));
}

void revokeExportLink(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    const AssetRow album = AssetStore::require(context.database(), session.accountId,
        request.text(QStringLiteral("assetIdentifier")), QStringLiteral("folder"));
    const QString email = request.text(QStringLiteral("emailAddress")).trimmed();
    context.database()
        .prepare("DELETE FROM export_links WHERE asset_id = ?1 AND email = ?2")
        .bind(1, album.id)
        .bind(2, email)
        .run();
    if (context.database().changes() == 0)
        throw ServiceFault(QStringLiteral("The album is not shared with %1.").arg(email));
    context.reply().setResultText(QStringLiteral("true"));
}

void createSymbolicLink(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    Database &database = context.database();
    const AssetRow album = AssetStore::require(database, session.accountId,
        request.text(QStringLiteral("assetIdentifier")), QStringLiteral("folder"));
    const QString alias = request.textOr(QStringLiteral("alias"), {}).trimmed();
    if (!alias.isEmpty()) {
        Statement taken = database.prepare("SELECT 1 FROM symbolic_links WHERE alias = ?1");
        taken.bind(1, alias);
        if (taken.step())
            throw ServiceFault(QStringLiteral("The alias %1 is already taken.").arg(alias));
    }
    const QString password = request.textOr(QStringLiteral("password"), {});
    const QString linkId = QString::fromLatin1(PasswordHasher::randomBytes(12).toHex());
    Statement insert = database.prepare(
        "INSERT INTO symbolic_links (id, asset_id, name, description, alias, password_salt, "
        "password_hash, password_iterations, include_sub_folders, created) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    insert.bind(1, linkId)
        .bind(2, album.id)
        .bind(3, request.textOr(QStringLiteral("name"), album.name))
        .bind(4, request.textOr(QStringLiteral("description"), {}))
        .bind(5, alias)
        .bind(9, qint64(request.boolean(QStringLiteral("includeSubFolders"), false)))
        .bind(10, ServiceDates::now());
    if (password.isEmpty()) {
        insert.bindNull(6).bindNull(7).bind(8, qint64(0));
    } else {
        const PasswordHash hashed = context.passwords().hash(password);
        insert.bind(6, hashed.salt).bind(7, hashed.hash).bind(8, qint64(hashed.iterations));
    }
    insert.run();
    context.reply().setResultText(SharingRecords::galleryUrl(context.config(), linkId));
}

// The account's own symbolic link named by an address or an identifier.
QString requireOwnLink(OperationContext &context, const Session &session)
{
    const QString linkId = SharingRecords::symbolicLinkIdentifier(
        context.request().text(QStringLiteral("symbolicLinkOrSymbolicLinkIdentifier")));
    Statement query = context.database().prepare(
        "SELECT 1 FROM symbolic_links l JOIN assets a ON a.id = l.asset_id "
        "WHERE l.id = ?1 AND a.account_id = ?2");
    query.bind(1, linkId).bind(2, session.accountId);
    if (linkId.isEmpty() || !query.step())
        throw ServiceFault(QStringLiteral("Unknown web address."));
    return linkId;
}

void getSymbolicLinkInfo(OperationContext &context)
{
    const Session session = context.requireSession();
    const QString linkId = requireOwnLink(context, session);
    SharingRecords::writeSymbolicLink(
        context.database(), context.config(), linkId, context.reply().result());
}

void destroySymbolicLink(OperationContext &context)
{
    const Session session = context.requireSession();
    const QString linkId = requireOwnLink(context, session);
    context.database().prepare("DELETE FROM symbolic_links WHERE id = ?1").bind(1, linkId).run();
    context.reply().setResultText(QStringLiteral("true"));
}

void importAssetFromSymbolicLink(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    Database &database = context.database();
    const QString address = request.has(QStringLiteral("symbolicLink"))
        ? request.text(QStringLiteral("symbolicLink"))
        : request.text(QStringLiteral("symbolicLinkOrSymbolicLinkIdentifier"));
    const QString linkId = SharingRecords::symbolicLinkIdentifier(address);
    Statement link = database.prepare(
        "SELECT l.asset_id, a.account_id, l.password_salt, l.password_hash, l.password_iterations "
        "FROM symbolic_links l JOIN assets a ON a.id = l.asset_id WHERE l.id = ?1");
    link.bind(1, linkId);
    if (linkId.isEmpty() || !link.step())
        throw ServiceFault(QStringLiteral("Unknown web address."));
    if (link.integer(1) == session.accountId)
        throw ServiceFault(QStringLiteral("This album is already yours."));
    // A protected address opens its album to those who know its password, here as on the
    // gallery page, and guesses are slowed down the same way.
    const PasswordHash protection {link.blob(2), link.blob(3), int(link.integer(4))};
    if (protection.iterations > 0
        && !context.passwords().verifyCounted(
            pondrel::refservice::FailedAttempts::galleryKey(linkId),
            request.textOr(QStringLiteral("password"), {}), protection))
        throw ServiceFault(QStringLiteral("This web address needs its password."));
    database
        .prepare("INSERT INTO imports (account_id, link_id, asset_id, created) "
                 "VALUES (?1, ?2, ?3, ?4) ON CONFLICT DO NOTHING")
        .bind(1, session.accountId)
        .bind(2, linkId)
        .bind(3, link.text(0))
        .bind(4, ServiceDates::now())
        .run();
    context.reply().setResultText(link.text(0));
}

void detachImportedAsset(OperationContext &context)
{
    const Session session = context.requireSession();
    const QString assetId = context.request().text(QStringLiteral("assetIdentifier")).trimmed();
    context.database()
        .prepare("DELETE FROM imports WHERE account_id = ?1 AND asset_id = ?2")
        .bind(1, session.accountId)
        .bind(2, assetId)
        .run();
    if (context.database().changes() == 0)
        throw ServiceFault(QStringLiteral("Unknown imported album %1.").arg(assetId));
    context.reply().setResultText(QStringLiteral("true"));
}

// Who can reach the album: one edge per invitation and per web address. Nothing in the
// system reads more than that, so startNode, depth and format are accepted and not used.
void getExportGraph(OperationContext &context)
{
    const Session session = context.requireSession();
    const AssetRow album = AssetStore::require(context.database(), session.accountId,
        context.request().text(QStringLiteral("assetIdentifier")), QStringLiteral("folder"));
    pugi::xml_node graph
        = SoapReply::addElement(context.reply().result(), QStringLiteral("ExportGraph"));
    pugi::xml_node root = SoapReply::addElement(graph, QStringLiteral("Vertex"));
    SoapReply::addText(root, QStringLiteral("UniqueIdentifier"), album.id);
    SoapReply::addText(root, QStringLiteral("Name"), album.name);
    pugi::xml_node invitations = SoapReply::addElement(graph, QStringLiteral("ExportLinks"));
    SharingRecords::writeExportLinks(context.database(), context.config(), album.id, invitations,
        QStringLiteral("ExportLinkInfo"));
    pugi::xml_node addresses = SoapReply::addElement(graph, QStringLiteral("SymbolicLinks"));
    SharingRecords::writeSymbolicLinks(context.database(), context.config(), album.id, addresses,
        QStringLiteral("SymbolicLinkInfo"));
}

void requestWallpaper(OperationContext &context)
{
    const Session session = context.requireSession();
    const SoapRequest &request = context.request();
    const AssetRow picture = AssetStore::require(context.database(), session.accountId,
        request.text(QStringLiteral("pictureFileAssetIdentifier")), QStringLiteral("picture"));
    const qint64 width = request.integer(QStringLiteral("width"));
    const qint64 height = request.integer(QStringLiteral("height"));
    if (width <= 0 || height <= 0 || width > kMaximumWallpaperWidth
        || height > kMaximumWallpaperHeight)
        throw ServiceFault(QStringLiteral("A wallpaper is at most %1 x %2 pixels.")
                               .arg(kMaximumWallpaperWidth)
                               .arg(kMaximumWallpaperHeight));
    Renditions::queue(context.database(), picture.id, QStringLiteral("Wallpaper"), width, height,
        Renditions::kCropFill);
    context.reply().setResultText(QStringLiteral("true"));
}

} // namespace

void registerSharingOperations(OperationTable &table)
{
    table.insert(QStringLiteral("ExportAssetEx"), exportAssetEx);
    table.insert(QStringLiteral("GetExportLinksInfo"), getExportLinksInfo);
    table.insert(QStringLiteral("RevokeExportLink"), revokeExportLink);
    table.insert(QStringLiteral("GetExportGraph"), getExportGraph);
    table.insert(QStringLiteral("CreateSymbolicLink"), createSymbolicLink);
    table.insert(QStringLiteral("GetSymbolicLinkInfo"), getSymbolicLinkInfo);
    table.insert(QStringLiteral("DestroySymbolicLink"), destroySymbolicLink);
    table.insert(QStringLiteral("ImportAssetFromSymbolicLink"), importAssetFromSymbolicLink);
    table.insert(QStringLiteral("DetachImportedAsset"), detachImportedAsset);
    table.insert(QStringLiteral("RequestPictureFileAssetWallpaperRendition"), requestWallpaper);
}

} // namespace pondrel::refservice
