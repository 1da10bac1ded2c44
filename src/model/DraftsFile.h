// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/DraftStore.h"

#include <QString>

#include <optional>

namespace pondrel {

// "drafts.plist" in the application-support folder: the drafts store as a property-list
// dictionary from album identifier to the array of its draft records, written whole and
// atomically. Beside the albums, the dictionary names the account the drafts belong to under
// kAccountKey (a text, never an album's array), so that drafts are offered back only to the
// account that made them. The store is passed as its variant form (DraftStore::toVariantMap) so
// that a snapshot can be written on another thread.
namespace DraftsFile {

inline const QString kFileName = QStringLiteral("drafts.plist");
inline const QString kAccountKey = QStringLiteral("CS_DraftsAccount");
// True while a commit runs: drafts read back with it set may already be partly on the service.
inline const QString kCommittingKey = QStringLiteral("CS_CommitInProgress");

struct Contents
{
    QString account;
    DraftStore store;
    bool committing = false;
};

QString path();

// Replaces the file; an empty store removes it, so that nothing is offered at the next start.
bool save(const QVariantMap &store, const QString &account, bool committing = false);
// None when there is no file or it cannot be read as a drafts file.
std::optional<Contents> load();

} // namespace DraftsFile

} // namespace pondrel
