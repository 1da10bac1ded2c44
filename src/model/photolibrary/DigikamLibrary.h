// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/photolibrary/PhotoLibrary.h"

#include <optional>

namespace pondrel {

// digiKam's collection as a photo library: its physical albums (table Albums, under the
// collection roots of AlbumRoots) with their visible images (table Images). The database
// "digikam4.db" lies in the folder digiKam's configuration names.
namespace DigikamLibrary {

static inline const QString kSource = QStringLiteral("digiKam");
// The schema versions (Settings "DBVersion") whose tables are read as below.
constexpr int kOldestKnownVersion = 7;
constexpr int kNewestKnownVersion = 16;

// ~/.config/digikamrc (XDG_CONFIG_HOME honoured).
QString configFile();
// The database the configuration names ("Database Name" of "[Database Settings]", a folder);
// none when there is no configuration or it names another kind of database.
std::optional<QString> databasePath(const QString &configFile, QString *reason);

std::optional<PhotoLibrary> read(const QString &databasePath, QString *reason);

} // namespace DigikamLibrary

} // namespace pondrel
