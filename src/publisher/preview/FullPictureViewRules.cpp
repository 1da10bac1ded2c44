// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/FullPictureViewRules.h"

namespace pondrel::FullPictureViewRules {

FullPictureViewButtons buttonsForItem(
    const oruItem &item, bool hasThumbnail, FullPictureViewButtons present)
{
    FullPictureViewButtons buttons = present;
    if (item.isDraft()) {
        buttons.rotateRight = true;
        buttons.rotateLeft = true;
        if (!hasThumbnail) {
            buttons.download = false;
            buttons.wallpaper = false;
        }
        return buttons;
    }
    buttons.rotateRight = false;
    buttons.rotateLeft = false;
    buttons.wallpaper
        = !item.retrievalAttemptFailed() && (item.permissions() & kWallpaperPermission) != 0;
    buttons.download = (item.permissions() & kDownloadPermission) != 0;
    return buttons;
}

std::optional<int> previousPosition(int count, std::optional<int> position)
{
    if (count <= 0)
        return std::nullopt;
    const int previous = position.value_or(-1) - 1;
    return previous < 0 ? count - 1 : previous;
}

std::optional<int> nextPosition(int count, std::optional<int> position)
{
    if (count <= 0)
        return std::nullopt;
    const int next = position.value_or(-1) + 1;
    return next >= count ? 0 : next;
}

} // namespace pondrel::FullPictureViewRules
