// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/RefServiceProcess.h"
#include "tests/common/ServicePictures.h"
#include "client/oruNetwork.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace pondrel::PreviewTestSupport {

inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10'000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

inline QByteArray jpegBytes(QSize size, QColor colour = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// The demo account's pictures with their "Thumbnail" and "Preview" addresses, read through
// the client as the Publisher lists them.
struct DemoPicture
{
    QString uniqueID;
    QString name;
    QString thumbnailURL;
    QString previewURL;
    QVariantMap record;
};

inline QString renditionUrl(const QVariantMap &record, const QString &name)
{
    for (const QVariantMap &rendition : ServicePictures::renditionRecords(record))
        if (rendition.value("Name").toString() == name)
            return rendition.value("Url").toString();
    return {};
}

inline QList<DemoPicture> demoPictures(oruNetwork &client)
{
    QList<DemoPicture> pictures;
    QStringList albums {QString()};
    while (!albums.isEmpty()) {
        const QString album = albums.takeFirst();
        for (const QVariant &value : client.getAssets(album).value_or(QVariantList())) {
            const QVariantMap record = value.toMap();
            const QString id = record.value("UniqueIdentifier").toString();
            if (record.value("CS_AssetKind").toString() == QLatin1String("FolderAsset"))
                albums.append(id);
            else
                pictures.append({id, record.value("Name").toString(),
                    renditionUrl(record, "Thumbnail"), renditionUrl(record, "Preview"), record});
        }
    }
    return pictures;
}

} // namespace pondrel::PreviewTestSupport
