// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/ToolbarItems.h"

#include <QCoreApplication>
#include <QSet>

namespace pondrel {

namespace {

const char *const kContext = "pondrel::ToolbarItems";

} // namespace

QString ToolbarItem::label() const
{
    return QCoreApplication::translate(kContext, labelSource);
}

QString ToolbarItem::toolTip() const
{
    return QCoreApplication::translate(kContext, toolTipSource);
}

namespace ToolbarItems {

const QList<ToolbarItem> &all()
{
    static const QList<ToolbarItem> items {
        {QStringLiteral("ImportItem"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Import Pictures"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Add pictures to the current album"),
            QStringLiteral("import"), Command::ImportPicture},
        {QStringLiteral("DeleteItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Remove"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Remove selected items from the album"),
            QStringLiteral("delete"), Command::RemoveItem},
        {QStringLiteral("RefreshItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Refresh"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Reload data from the server"),
            QStringLiteral("refresh"), Command::Refresh},
        {QStringLiteral("NewAlbumItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "New Album"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Create a new album"),
            QStringLiteral("newalbum"), Command::NewAlbum},
        {QStringLiteral("PrefsItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Preferences"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Change preferences"),
            QStringLiteral("prefs"), Command::ShowPrefs},
        {QStringLiteral("GoUpItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Go Up"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Go back to enclosing album"),
            QStringLiteral("goup"), Command::GoUp},
        {QStringLiteral("LoginItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Login"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Login to your account"),
            QStringLiteral("login"), Command::LoginOrLogout},
        {QStringLiteral("GetInfoItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Get Info"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Get Information about selected item"),
            QStringLiteral("info"), Command::GetInfo},
        {QStringLiteral("CommitItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Upload"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Send your changes to the Trevane servers"),
            QStringLiteral("commit"), Command::CommitDraftsToServer},
        {QStringLiteral("WebShareItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Web Album"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems",
                "Publish an album on the web, or change existing web albums"),
            QStringLiteral("webshare"), Command::ManageWebSharing},
        {QStringLiteral("ShareAlbumItem"), QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Sharing"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Share an album with friends & family"),
            QStringLiteral("share"), Command::ManageSharing},
        {kCustomize, QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Customize"),
            QT_TRANSLATE_NOOP("pondrel::ToolbarItems", "Customize the toolbar"),
            QStringLiteral("customize"), Command::CustomizeToolbar},
    };
    return items;
}

std::optional<ToolbarItem> itemForIdentifier(const QString &identifier)
{
    for (const ToolbarItem &item : all()) {
        if (item.identifier == identifier)
            return item;
    }
    return std::nullopt;
}

QStringList defaultItemIdentifiers()
{
    return {QStringLiteral("LoginItem"), kSpace, QStringLiteral("NewAlbumItem"),
        QStringLiteral("ImportItem"), QStringLiteral("DeleteItem"), kSpace,
        QStringLiteral("GoUpItem"), QStringLiteral("RefreshItem"), QStringLiteral("CommitItem"),
        QStringLiteral("GetInfoItem"), QStringLiteral("WebShareItem"),
        QStringLiteral("ShareAlbumItem"), kFlexibleSpace, QStringLiteral("PrefsItem")};
}

QStringList allowedItemIdentifiers()
{
    return {kSeparator, kSpace, kFlexibleSpace, kCustomize, QStringLiteral("ImportItem"),
        QStringLiteral("DeleteItem"), QStringLiteral("RefreshItem"), QStringLiteral("NewAlbumItem"),
        QStringLiteral("PrefsItem"), QStringLiteral("GoUpItem"), QStringLiteral("LoginItem"),
        QStringLiteral("GetInfoItem"), QStringLiteral("CommitItem"), QStringLiteral("WebShareItem"),
        QStringLiteral("ShareAlbumItem")};
}

bool isRepeatable(const QString &identifier)
{
    return identifier == kSeparator || identifier == kSpace || identifier == kFlexibleSpace;
}

QStringList sanitized(const QStringList &identifiers)
{
    const QStringList allowed = allowedItemIdentifiers();
    QSet<QString> seen;
    QStringList kept;
    for (const QString &identifier : identifiers) {
        if (!allowed.contains(identifier) || seen.contains(identifier))
            continue;
        if (!isRepeatable(identifier))
            seen.insert(identifier);
        kept.append(identifier);
    }
    return kept;
}

QString paletteLabel(const QString &identifier)
{
    if (identifier == kSeparator)
        return QCoreApplication::translate(kContext, "Separator");
    if (identifier == kSpace)
        return QCoreApplication::translate(kContext, "Space");
    if (identifier == kFlexibleSpace)
        return QCoreApplication::translate(kContext, "Flexible Space");
    const std::optional<ToolbarItem> item = itemForIdentifier(identifier);
    return item ? item->label() : identifier;
}

} // namespace ToolbarItems

} // namespace pondrel
