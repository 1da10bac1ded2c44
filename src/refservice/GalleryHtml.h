// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/HttpMessage.h"

#include <QList>
#include <QString>

namespace pondrel::refservice {

// What a gallery page shows, already resolved to addresses: the page never touches storage.
struct GalleryTile
{
    QString name;
    QString thumbnailUrl;
    qint64 thumbnailWidth = 0;
    qint64 thumbnailHeight = 0;
    QString previewUrl;
};

struct GallerySection
{
    QString name; // empty for the album the address names
    QString description;
    QList<GalleryTile> tiles;
};

struct GalleryView
{
    QString title;
    QString description;
    QString feedUrl; // empty when the address has no feed (an invitation)
    QList<GallerySection> sections;
};

// The HTML of the public pages: self-contained, styled by one inline stylesheet that the
// Content-Security-Policy admits by its hash, with no script at all, and every text escaped.
namespace GalleryHtml {

// Any public page (the gallery, "not found", "too many attempts") with the security headers.
HttpResponse page(int status, const QString &title, const QString &body, const QString &head = {});
HttpResponse gallery(const GalleryView &view);
// Asks for the password of a protected gallery and shows nothing of the album.
HttpResponse passwordForm(const QString &linkId, bool afterWrongPassword);
QByteArray contentSecurityPolicy();

} // namespace GalleryHtml

} // namespace pondrel::refservice
