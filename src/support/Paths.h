// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace pondrel {

// The folders both programs share. Every function honours HOME and the XDG variables as they
// are at the moment of the call, so a test can point a whole run at a scratch folder.
namespace Paths {

QString homeFolder();
// Preferences domains live here, one property-list file per domain.
QString preferencesFolder();
// "Trevane" under the user's data folder: photo database, saved batches, drafts.
QString applicationSupportFolder();
QString cachesFolder();
// Where the activity file and the programs' log files go.
QString desktopFolder();
// The private folder of renditions on their way to the service, made (mode 0700) on demand:
// "pondrel-renditions" in $XDG_RUNTIME_DIR, else "renditions" in the caches folder. Empty when
// it cannot be made or is not a real folder of this user's.
QString temporaryFolder();

// Creates the folder (and its parents) if needed; false when it cannot exist.
bool ensureFolder(const QString &path);

// A new file of this user's alone (mode 0600), opened for writing; a file or link already at
// the path is removed first and never written through. Null when it cannot be made.
std::unique_ptr<QFile> createPrivateFile(const QString &path);

} // namespace Paths

} // namespace pondrel
