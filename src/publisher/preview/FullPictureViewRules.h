// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"

#include <optional>

namespace pondrel {

// Which buttons of the full picture view are enabled; what the view's item does not decide is
// left as it was.
struct FullPictureViewButtons
{
    bool download = false;
    bool wallpaper = false;
    bool rotateRight = false;
    bool rotateLeft = false;
};

namespace FullPictureViewRules {

inline constexpr quint32 kDownloadPermission = 4;
inline constexpr quint32 kWallpaperPermission = 16;

// updateFullPictureViewButtons: for an item, given the buttons' present states.
FullPictureViewButtons buttonsForItem(
    const oruItem &item, bool hasThumbnail, FullPictureViewButtons present);

// The position to show after stepping through count pictures from position (none when nothing
// or an album is selected), wrapping around at both ends; none when there is no picture.
std::optional<int> previousPosition(int count, std::optional<int> position);
std::optional<int> nextPosition(int count, std::optional<int> position);

} // namespace FullPictureViewRules

} // namespace pondrel
