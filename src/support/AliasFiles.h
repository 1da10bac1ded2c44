// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// The alias resolution the Publisher uses when it imports picture files and folders.
namespace AliasFiles {

// As FileManagerExtras::pathResolved, but a failed resolution (no such path, a dangling link, a
// loop) is written to the log whatever "Debug" says, and a resolved path longer than
// kMaximumPathBytes UTF-8 bytes is not used: the path comes back unchanged in both cases.
QString resolveAliasFile(const QString &path);

inline constexpr qsizetype kMaximumPathBytes = 1024;

} // namespace AliasFiles

} // namespace pondrel
