// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class QDropEvent;

namespace pondrel {

// Dropping files on the grids and on the document that stacks them imports them; both take a
// drag the same way.
namespace FileDrops {

// Accepts a drag that carries file addresses as a copy and ignores any other; whether it was
// accepted.
bool acceptAsCopy(QDropEvent *event);
// Hands every local file of the drop to the host's file opening and accepts the drop as a copy.
void openFiles(QDropEvent *event);

} // namespace FileDrops

} // namespace pondrel
