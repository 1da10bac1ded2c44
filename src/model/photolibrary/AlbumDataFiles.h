// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/photolibrary/PhotoLibrary.h"

#include <QStringList>

#include <optional>

namespace pondrel {

// The album data files the user named in the preference "PhotoLibraries" (file URLs or paths),
// read as property lists and merged in order: a later file's top-level entries replace those of
// earlier ones, so of two files with "List of Albums" only the later one's albums are offered.
namespace AlbumDataFiles {

static inline const QString kPreferenceKey = QStringLiteral("PhotoLibraries");

// The files named in the shared preferences domain.
QStringList listedFiles();

// The merged library; none when no file could be read. Each file that cannot be read is
// skipped and reported in *unavailable.
std::optional<PhotoLibrary> read(
    const QStringList &files, QList<UnavailableSource> *unavailable = nullptr);

} // namespace AlbumDataFiles

} // namespace pondrel
