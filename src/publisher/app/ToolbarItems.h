// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/app/CommandRules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace pondrel {

// The items the window's toolbar can hold: their identifiers, texts, images and commands, the
// default set and order, and the set the user may choose from.
struct ToolbarItem
{
    QString identifier;
    // Untranslated; label() and toolTip() give the texts to show.
    const char *labelSource;
    const char *toolTipSource;
    QString image;
    Command command;

    QString label() const;
    QString toolTip() const;
};

namespace ToolbarItems {

// The items that are not commands.
inline const QString kSeparator = QStringLiteral("Separator");
inline const QString kSpace = QStringLiteral("Space");
inline const QString kFlexibleSpace = QStringLiteral("FlexibleSpace");
inline const QString kCustomize = QStringLiteral("Customize");

const QList<ToolbarItem> &all();
std::optional<ToolbarItem> itemForIdentifier(const QString &identifier);
QStringList defaultItemIdentifiers();
QStringList allowedItemIdentifiers();
// Separators and spaces may stand in the toolbar any number of times.
bool isRepeatable(const QString &identifier);
// The identifiers that may be shown, in order; unknown ones and second copies of an item are
// left out (a preference written by hand or by another version).
QStringList sanitized(const QStringList &identifiers);
// The text the customisation dialog shows for an identifier.
QString paletteLabel(const QString &identifier);

} // namespace ToolbarItems

} // namespace pondrel
