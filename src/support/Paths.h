// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

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
QString temporaryFolder();

// Creates the folder (and its parents) if needed; false when it cannot exist.
bool ensureFolder(const QString &path);

} // namespace Paths

} // namespace pondrel
