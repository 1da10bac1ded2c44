// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNetwork.h"
#include "support/Values.h"

#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QSize>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace pondrel {

// Pictures on the service as the tests of the road of one picture need them. Header only: a
// test that includes it links the client library.
namespace ServicePictures {

// The picture file at path, recorded on the service in the root album and in the photo
// database under moniker, as a commit of the Publisher leaves it.
inline ::testing::AssertionResult recordPicture(oruNetwork &client, const QString &path,
    const QString &name, const QString &moniker, QSize pixels)
{
    const QString hash = oruNetwork::sha1FromFile(path).value_or(QString());
    const QString now = QDateTime::currentDateTimeUtc().toString("yyyy-MM-ddTHH:mm:ssZ");
    const QVariantMap reply = client.publishingServices().call("CreatePictureFileAsset",
        {client.sessionIdentifier(), "", name, "", "image/jpeg", "Unrated", now, now,
            QFileInfo(path).size(), hash, moniker, 0, pixels.width(), pixels.height(),
            "RotateNoneFlipNone", now});
    if (reply.contains("error"))
        return ::testing::AssertionFailure() << reply.value("error").toString().toStdString();
    if (!client.addPhotoToDB(path, moniker, hash))
        return ::testing::AssertionFailure() << "the photo record was not written";
    return ::testing::AssertionSuccess();
}

// The rendition records of an asset record as the client lists it.
inline QList<QVariantMap> renditionRecords(const QVariantMap &asset)
{
    QList<QVariantMap> records;
    const QVariantMap renditions = asset.value("PictureFileAssetRenditions").toMap();
    for (const QVariant &rendition : Values::asList(renditions.value("PictureFileAssetRendition")))
        records.append(rendition.toMap());
    return records;
}

} // namespace ServicePictures

} // namespace pondrel
