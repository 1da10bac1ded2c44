// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace pondrel {

// Which files become draft pictures: those whose name extension, or whose file type code, is
// one of the accepted types, compared exactly (case matters). Files here carry no type code of
// their own; the code is that of the format their content shows ("'JPEG'" for a JPEG), so
// "photo.Jpg" is accepted when it is a JPEG and refused when it is not.
namespace AcceptedPictureFiles {

const QStringList &acceptedTypes();
bool isValidFile(const QString &path);
// "'JPEG'", "'PNGf'", "'TIFF'", "'BMPf'", "'jp2 '" or "'qtif'" for a picture of that format,
// else the empty text.
QString fileTypeCode(const QString &path);

} // namespace AcceptedPictureFiles

} // namespace pondrel
