// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <exiv2/exiv2.hpp>

#include <memory>

namespace pondrel {

// Opens the file with Exiv2 and reads its metadata; null, with the reason in errorMsg, when
// Exiv2 does not take it for an image. Exiv2 throws on a damaged file, Exiv2::AnyError and
// standard exceptions alike; the caller catches std::exception.
std::unique_ptr<Exiv2::Image> openExivImage(const QString &path, QString &errorMsg);

} // namespace pondrel
