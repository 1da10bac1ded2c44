// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNetwork.h"
#include "model/oruItem.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace pondrel {

// The user's edits of items: the info dialogs' changes, rotation and the removal question.
namespace ItemEdits {

// One call to the service that an edit needs; true when the service took it.
struct ServiceCall
{
    QString operation;
    std::function<bool(oruNetwork &)> run;
};

// Applies what the album dialog changed (edited against item) to the item and its asset record,
// and returns the service calls that carry the changes over: one per changed setting, none for
// a draft. A changed cover-picture option also drops the item's thumbnail so it is fetched anew.
std::vector<ServiceCall> applyAlbumChanges(oruItem &item, QVariantMap &record, const oruItem &edited);
// The same for the picture dialog: name and description, rating, permissions.
std::vector<ServiceCall> applyPictureChanges(
    oruItem &item, QVariantMap &record, const oruItem &edited);

// The orientation after a quarter turn to the left or to the right; orientations with a flip
// (2, 4, 5, 7) and unknown values stay as they are.
quint32 rotatedLeft(quint32 orientation);
quint32 rotatedRight(quint32 orientation);

// "this album and these pictures" and the like; empty when nothing is selected.
QString removalPhrase(int albums, int pictures);
// "Are you sure you want to permanently delete this album and these pictures?"
QString removalQuestion(int albums, int pictures);

} // namespace ItemEdits

} // namespace pondrel
