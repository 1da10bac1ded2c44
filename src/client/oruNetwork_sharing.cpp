// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include <QCoreApplication>

namespace pondrel {

namespace {

const char *const kSharingFailed = QT_TRANSLATE_NOOP("oruNetwork", "Sharing of this album failed.");
const char *const kWebAddressFailed = QT_TRANSLATE_NOOP("oruNetwork", "Sharing of album failed.");
const char *const kDestroyLinkFailed
    = QT_TRANSLATE_NOOP("oruNetwork", "Destroying album share failed.");
const char *const kDetachFailed = QT_TRANSLATE_NOOP("oruNetwork", "Removing items failed.");

QString trueOrFalse(bool flag)
{
    return flag ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QVariantMap oruNetwork::recipientRecord(const QString &firstName, const QString &emailAddress,
    const QString &shortNote, bool includeSubFolders, bool allowForwarding)
{
    const QVariantMap target {{QStringLiteral("FirstName"), firstName},
        {QStringLiteral("EmailAddress"), emailAddress},
        {QStringLiteral("Culture"), QStringLiteral("en-US")},
        {QStringLiteral("ShortNote"), shortNote},
        {QStringLiteral("IncludeSubFolders"), trueOrFalse(includeSubFolders)},
        {QStringLiteral("AllowForwarding"), trueOrFalse(allowForwarding)}};
    return {{QStringLiteral("ExportTarget"), target}};
}

bool oruNetwork::sendSharing(const oruAssetItem &item, const QVariantList &recipients,
    bool createDirectAccessLinks, const QString &emailNotificationType)
{
    const QVariantMap reply
        = m_publishingServices->ExportAssetEx({m_sessionIdentifier, item.uniqueID,
            createDirectAccessLinks, recipients, emailNotificationType, QStringLiteral("")});
    return succeededOrAlert(reply, kSharingFailed);
}

std::optional<QVariantMap> oruNetwork::getExportLinksInfo(const oruAssetItem &item)
{
    const QVariantMap reply
        = m_publishingServices->GetExportLinksInfo({m_sessionIdentifier, item.uniqueID});
    if (!succeeded(reply))
        return std::nullopt;
    return reply;
}

bool oruNetwork::revokeExportLink(const oruAssetItem &item, const QString &email)
{
    return succeeded(
        m_publishingServices->RevokeExportLink({m_sessionIdentifier, item.uniqueID, email}));
}

std::optional<QString> oruNetwork::createSymbolicLink(const oruAssetItem &item, const QString &name,
    const QString &description, const QString &alias, const QString &password, bool includeSub)
{
    const QVariantMap reply = m_publishingServices->CreateSymbolicLink(
        {m_sessionIdentifier, item.uniqueID, name, description, alias, password, includeSub});
    if (!succeededOrAlert(reply, kWebAddressFailed))
        return std::nullopt;
    const QString address = reply.value(QStringLiteral("CreateSymbolicLinkResult")).toString();
    if (address.isEmpty()) {
        failWithAlert(QStringLiteral("The service sent no web address."), kWebAddressFailed);
        return std::nullopt;
    }
    return address;
}

std::optional<QVariantMap> oruNetwork::getSymbolicLinksInfo(const QString &linkOrIdentifier)
{
    const QVariantMap reply
        = m_publishingServices->GetSymbolicLinkInfo({m_sessionIdentifier, linkOrIdentifier});
    if (!succeeded(reply))
        return std::nullopt;
    return reply;
}

bool oruNetwork::destroySymbolicLink(const QString &linkOrIdentifier)
{
    return succeededOrAlert(
        m_publishingServices->DestroySymbolicLink({m_sessionIdentifier, linkOrIdentifier}),
        kDestroyLinkFailed);
}

std::optional<QVariantMap> oruNetwork::getExportGraph(
    const oruAssetItem &item, const QString &startNode, int depth, const QString &format)
{
    const QVariantMap reply = m_publishingServices->GetExportGraph(
        {m_sessionIdentifier, item.uniqueID, startNode, depth, format});
    if (!succeeded(reply))
        return std::nullopt;
    return reply;
}

bool oruNetwork::detachImportedAsset(const QString &assetId)
{
    return succeededOrAlert(
        m_publishingServices->DetachImportedAsset({m_sessionIdentifier, assetId}), kDetachFailed);
}

bool oruNetwork::detachImportedAssets(const QStringList &assetIds)
{
    for (const QString &assetId : assetIds) {
        if (!detachImportedAsset(assetId))
            return false;
    }
    return true;
}

} // namespace pondrel
