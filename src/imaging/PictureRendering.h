// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "imaging/Picture.h"
#include "imaging/RenderGeometry.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

namespace pondrel {

// Renditions of a picture: one decode (at the smallest scale every rendition of a set can live
// with), then per rendition the upright picture fitted or cropped onto its canvas and encoded as
// JPEG.

// One rendition: the canvas in pixels, how the picture is placed on it (0 fit with white
// margins, 1 fit, 2 fill and crop, 3 print: fit to height), the Exif orientation that turns the
// stored picture upright, and the JPEG quality 0..1.
struct RenderRequest
{
    QSizeF size;
    int cropMode = 0;
    int orientation = 1;
    float quality = 0.6f;
};

// A rendition encoded as JPEG, its colour profile included.
struct RenderedJpeg
{
    QByteArray bytes;
    QSize pixels;
};

// Decodes the picture at `path` once for all the requests: a JPEG at the smallest DCT scale that
// still gives every request its full output resolution. Nothing when the file is not a picture
// ("not a valid image") or cannot be read.
std::optional<Picture> decodePictureForRequests(
    const QString &path, const QList<RenderRequest> &requests, QString &errorMsg);

// The picture turned upright, placed on its canvas and encoded. Nothing on failure, with the
// reason in errorMsg.
std::optional<RenderedJpeg> render(
    const Picture &picture, const RenderRequest &request, QString &errorMsg);

// The bitmap of one rendition: the picture turned by `orientation`, placed on a white canvas by
// the crop mode. imageID only names the rendition in the log. Nothing on failure.
std::optional<Picture> makeThumbnail(
    const Picture &picture, QSizeF canvas, int orientation, const QString &imageID, int cropMode);

// Writes the bitmap as a baseline JPEG at quality 0..1, its colour profile included, into a new
// private file (a file or link already there is replaced, never written through). Any
// transparency is laid on white. True when the file was written.
bool saveBMAsJPEG(const Picture &bitmap, float quality, const QString &saveTo);
// The same for a picture decoded at a reduced scale: it is first brought to its own size.
bool saveAsJPEG(const Picture &picture, float quality, const QString &saveTo);

} // namespace pondrel
