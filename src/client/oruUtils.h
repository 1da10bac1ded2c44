// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// Conversions between picture orientations (1 to 8, the Exif meaning) and the rotate-and-flip
// names the service uses for them.
class oruUtils
{
public:
    oruUtils() = delete;

    // The name of an orientation; anything outside 1 to 8 is logged and taken as upright.
    static QString rotateModeFromOrientation(int orientation);
    // The orientation of a name: "Nada" is 0, no text is 1, an unknown name is logged and is 1.
    static int orientationFromRotateMode(const QString &rotateMode);
};

} // namespace pondrel
