// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/oruItem.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace pondrel {

class oruNetwork;

// Creating albums and pictures on the publishing service from the Publisher's items. They are
// operations of the service client, kept here because they read items and the client library
// sits below the item model. Synchronous; the failure's text is left in the client's errorMsg().
namespace oruNetworkUpload {

// The new album's identifier under parent (the empty text for the top level).
std::optional<QString> uploadFolderItem(
    oruNetwork &network, const oruItem &item, const QString &parent);

// Creates the picture record of item's file under parent. The picture itself is not sent: its
// path goes into the photo database under a new moniker, before the service is called, for the
// Agent to render from when the service asks. True when the service created the picture.
bool uploadPictureAsset(oruNetwork &network, const oruItem &item, const QString &parent);

// Part of the client's operation list with no effect: pictures are created from items.
void createItemFromFile(oruNetwork &network, const QString &path, const QString &parent);

// An Exif date ("2008:03:01 15:05:09", local time of the computer) as a UTC date text; none
// when the text is no such date.
std::optional<QString> ExifTimeToUTC(const QString &exifTime);

// "2008-03-01T14:05:09Z": the form of every date sent with an upload.
QString dateText(const QDateTime &date);

} // namespace oruNetworkUpload

} // namespace pondrel
