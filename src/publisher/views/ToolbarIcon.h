// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace pondrel {

// The toolbar's drawn icons ("import", "delete", "login", ...). Their vector sources draw in
// "currentColor", which becomes the palette's text colour (the disabled one for a disabled
// item) when the icon is drawn: readable on light and dark themes, and rendered at the pixel
// density of the screen. A null icon when there is no artwork of that name.
QIcon toolbarIcon(const QString &name);

} // namespace pondrel
