// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/AssetStore.h"
#include "refservice/Database.h"
#include "refservice/ServiceConfig.h"

#include <pugixml.hpp>

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace pondrel::refservice {

// One ready rendition: a JPEG file in the renditions folder, served at url().
struct RenditionRow
{
    QString id;
    QString assetId;
    QString name;
    qint64 width = 0;
    qint64 height = 0;
    qint64 fileSize = 0;
    QString fileName;
    QString etag;
};

// Renditions of pictures and the RenderPicture commands that produce them.
namespace Renditions {

inline constexpr int kCropFit = 1; // the whole picture, scaled down to fit
inline constexpr int kCropFill = 2; // the canvas filled, the overflow cut off

// Where the service serves rendition files: the path, and the address a rendition's identifier
// and ".jpg" follow.
inline const QString kPathPrefix = QStringLiteral("/Pondrel/Renditions/");
QString urlPrefix(const ServiceConfig &config);
QString url(const ServiceConfig &config, const RenditionRow &rendition);
QString filePath(const ServiceConfig &config, const QString &fileName);

QList<RenditionRow> forAsset(Database &database, const QString &assetId);
std::optional<RenditionRow> find(Database &database, const QString &renditionId);
// The "Thumbnail" an album shows by its automatic thumbnail option: the first or the last of
// its pictures that has one; nothing for "ThumbnailNone".
std::optional<RenditionRow> albumThumbnail(Database &database, const AssetRow &album);

// Queues a RenderPicture command for the picture; the next visit of its computer carries it.
void queue(Database &database, const QString &assetId, const QString &name, qint64 width,
    qint64 height, int cropMode);

// Makes the uploaded file the picture's rendition of that name, replacing an older one whose
// file name is returned for removal.
std::optional<QString> makeReady(Database &database, const RenditionRow &rendition);

// <elementName><Name/><Url/><Width/><Height/><FileSize/></elementName>
void writeRecord(pugi::xml_node parent, const QString &elementName, const ServiceConfig &config,
    const RenditionRow &rendition);

} // namespace Renditions

} // namespace pondrel::refservice
