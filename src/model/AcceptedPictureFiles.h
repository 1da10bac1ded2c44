// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace pondrel {

// Which files become draft pictures: those whose name extension is one of the accepted types,
// compared exactly (case matters, so "photo.Jpg" is refused).
namespace AcceptedPictureFiles {

const QStringList &acceptedTypes();
bool isValidFile(const QString &path);

} // namespace AcceptedPictureFiles

} // namespace pondrel
