// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/ServiceConfig.h"

#include <pugixml.hpp>

#include <QString>

#include <optional>

namespace pondrel::refservice {

// Export links (an album shared with one e-mail address) and symbolic links (an album published
// under a web address), and the records that describe them.
namespace SharingRecords {

QString galleryUrl(const ServiceConfig &config, const QString &linkId);
QString feedUrl(const ServiceConfig &config, const QString &linkId);
QString directAccessUrl(const ServiceConfig &config, const QString &exportLinkId);

// The identifier in a web address ("...?a=ID" or "...?r=ID") or the identifier itself.
QString symbolicLinkIdentifier(const QString &addressOrIdentifier);

// One <elementName> record per export link of the album; returns how many.
int writeExportLinks(Database &database, const ServiceConfig &config, const QString &albumId,
    pugi::xml_node parent, const QString &elementName);
int writeSymbolicLinks(Database &database, const ServiceConfig &config, const QString &albumId,
    pugi::xml_node parent, const QString &elementName);
// The record of one symbolic link; false when there is none of that identifier.
bool writeSymbolicLink(
    Database &database, const ServiceConfig &config, const QString &linkId, pugi::xml_node record);

} // namespace SharingRecords

} // namespace pondrel::refservice
