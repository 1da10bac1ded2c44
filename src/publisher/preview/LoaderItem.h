// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"

#include <QString>

namespace pondrel {

// What the loader needs of an item: a copy, so that the controller may rebuild its lists while
// a download is in flight. Results come back under `key`.
struct LoaderItem
{
    QString key;
    QString thumbnailURL;
    QString previewURL;
    QString fullPathName;
    bool isDraft = false;
    quint32 orientation = 0;

    static LoaderItem fromItem(const oruItem &item)
    {
        return LoaderItem {item.uniqueID(), item.thumbnailURL(), item.previewURL(),
            item.fullPathName(), item.isDraft(), item.orientation()};
    }
};

} // namespace pondrel
