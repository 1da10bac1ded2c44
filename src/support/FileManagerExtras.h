// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace pondrel {

// File-system aliases are symbolic links here. Resolution follows a whole chain of links.
namespace FileManagerExtras {

// Where the chain of symbolic links that starts at path ends: the target's full path with
// every link resolved. A path that is not a link is its own end. None when the path does not
// exist, when a link of the chain points at nothing, or when the chain loops.
std::optional<QString> linkChainEnd(const QString &path);

// The target of the link at path; the path itself in every other case (not a link, target
// missing, no such path).
QString pathResolved(const QString &path);

} // namespace FileManagerExtras

} // namespace pondrel
