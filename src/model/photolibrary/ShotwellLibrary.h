// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/photolibrary/PhotoLibrary.h"

#include <optional>

namespace pondrel {

// Shotwell's library as a photo library: its events (EventTable) and its tags (TagTable) are
// the albums, the photos (PhotoTable) and videos (VideoTable) the images, keyed as Shotwell's
// own tag lists name them ("thumb" and "video-" followed by 16 hexadecimal digits).
namespace ShotwellLibrary {

static inline const QString kSource = QStringLiteral("Shotwell");
static inline const QString kEventType = QStringLiteral("Event");
static inline const QString kTagType = QStringLiteral("Tag");
// The schema versions (VersionTable "schema_version") whose tables are read as below.
constexpr int kOldestKnownVersion = 16;
constexpr int kNewestKnownVersion = 26;

// ~/.local/share/shotwell/data/photo.db (XDG_DATA_HOME honoured).
QString databasePath();

std::optional<PhotoLibrary> read(const QString &databasePath, QString *reason);

} // namespace ShotwellLibrary

} // namespace pondrel
