// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/AcceptedPictureFiles.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

namespace pondrel {

namespace AcceptedPictureFiles {

// The quoted four-character entries are classic file type codes; the list also serves as the
// open dialog's filter.
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

QString fileTypeCode(const QString &path)
{
    static const QHash<QString, QString> codeOfMimeType = {
        {QStringLiteral("image/jpeg"), QStringLiteral("'JPEG'")},
        {QStringLiteral("image/png"), QStringLiteral("'PNGf'")},
        {QStringLiteral("image/tiff"), QStringLiteral("'TIFF'")},
        {QStringLiteral("image/bmp"), QStringLiteral("'BMPf'")},
        {QStringLiteral("image/jp2"), QStringLiteral("'jp2 '")},
        {QStringLiteral("image/x-quicktime"), QStringLiteral("'qtif'")},
    };
    const QFileInfo file(path);
    if (!file.isFile())
        return {};
    // Content only: the name must not vouch for what the file holds.
    static const QMimeDatabase mimeDatabase;
    const QMimeType type = mimeDatabase.mimeTypeForFile(file, QMimeDatabase::MatchContent);
    return codeOfMimeType.value(type.name());
}

bool isValidFile(const QString &path)
{
    const QString extension = QFileInfo(path).suffix();
    if (!extension.isEmpty() && acceptedTypes().contains(extension))
        return true;
    const QString code = fileTypeCode(path);
    return !code.isEmpty() && acceptedTypes().contains(code);
}

} // namespace AcceptedPictureFiles

} // namespace pondrel
