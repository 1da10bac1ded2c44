// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/FailedAttempts.h"
#include "refservice/HttpMessage.h"
#include "refservice/ServiceConfig.h"

namespace pondrel::refservice {

// What browsers and the Publisher's loader fetch with plain GET: rendition files, the web
// gallery of a published or shared album and its RSS feed.
class PublicPages
{
public:
    static inline const QString kGalleryPath = QStringLiteral("/Pondrel/Gallery.aspx");

    PublicPages(Database &database, const ServiceConfig &config,
        pondrel::refservice::FailedAttempts &attempts);

    HttpResponse rendition(const HttpRequest &request) const;
    HttpResponse gallery(const HttpRequest &request) const;

private:
    struct Album;
    HttpResponse galleryPage(const Album &album) const;
    HttpResponse feed(const Album &album) const;
    std::optional<HttpResponse> refuseWithoutPassword(
        const QString &linkId, const QString &password, bool &isProtected) const;

    Database &m_database;
    const ServiceConfig &m_config;
    pondrel::refservice::FailedAttempts &m_attempts;
};

} // namespace pondrel::refservice
