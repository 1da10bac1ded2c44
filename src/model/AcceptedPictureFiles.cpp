// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/AcceptedPictureFiles.h"

#include <QFileInfo>

namespace pondrel {

namespace AcceptedPictureFiles {

// The quoted four-character entries are classic file type codes; files here carry none, so
// only the extensions can match, but the list stays whole as the open dialog's filter.
const QStringList &acceptedTypes()
{
    static const QStringList types = {QStringLiteral("'jp2 '"), QStringLiteral("JP2"),
        QStringLiteral("jp2"), QStringLiteral("'qtif'"), QStringLiteral("QTI"),
        QStringLiteral("qti"), QStringLiteral("QTIF"), QStringLiteral("qtif"),
        QStringLiteral("'TPIC'"), QStringLiteral("'PNGf'"), QStringLiteral("PNG"),
        QStringLiteral("png"), QStringLiteral("'JPEG'"), QStringLiteral("JPG"),
        QStringLiteral("jpg"), QStringLiteral("JPEG"), QStringLiteral("jpeg"),
        QStringLiteral("'TIFF'"), QStringLiteral("TIF"), QStringLiteral("tif"),
        QStringLiteral("TIFF"), QStringLiteral("tiff"), QStringLiteral("'BMPf'"),
        QStringLiteral("BMP"), QStringLiteral("bmp")};
    return types;
}

bool isValidFile(const QString &path)
{
    const QString extension = QFileInfo(path).suffix();
    return !extension.isEmpty() && acceptedTypes().contains(extension);
}

} // namespace AcceptedPictureFiles

} // namespace pondrel
