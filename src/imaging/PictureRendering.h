// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "imaging/Picture.h"
#include "imaging/RenderGeometry.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// Renditions of a user's picture as the service asks for them in RenderPicture commands: one
// decode per picture (at the smallest scale every command of the batch can live with), then per
// command the upright picture fitted or cropped onto its canvas and written as JPEG.

// Quality of every rendition sent to the service.
constexpr float kRenditionJpegQuality = 0.6f;

// What a RenderPicture command record asks for, read from its texts.
struct RenderRequest
{
    QSizeF canvas;
    int orientation = 1;
    int cropMode = 0;
    QString imageID;

    // Reads "width", "height", "cropMode", "RotateFlipType", "id"; a "url" that names
    // "print.jpg" makes it a print (crop mode 3) whatever "cropMode" says.
    static RenderRequest fromCommand(const QVariantMap &command);
};

// The rendition written for one command: what the service may ask to hear back.
struct RenderedPicture
{
    QString path;
    qint64 fileSize = 0;
    int width = 0;
    int height = 0;

    // The "ReturnParameters" entries for a "return" text such as "fileSize,width,height", in its
    // order: {"ReturnParameter": {"Name": name, "Value": value}}; an unknown name is logged as a
    // fatal condition and gets an entry with "Name" only.
    QVariantList returnParameters(const QString &returnNames) const;
};

// Decodes the picture at `path` once for all RenderPicture commands of a batch: a JPEG at the
// smallest DCT scale that still gives every command its full output resolution. Commands of
// another "type" are not considered. Nothing when the file is not a picture ("not a valid
// image") or cannot be read.
std::optional<Picture> decodePictureForCommands(
    const QString &path, const QVariantList &commands, QString &errorMsg);
// The same for requests rather than command records.
std::optional<Picture> decodePictureForRequests(
    const QString &path, const QList<RenderRequest> &requests, QString &errorMsg);

// The bitmap of one rendition: the picture turned by `orientation`, placed on a white canvas by
// the crop mode. imageID only names the rendition in the log. Nothing on failure.
std::optional<Picture> makeThumbnail(
    const Picture &picture, QSizeF canvas, int orientation, const QString &imageID, int cropMode);

// Writes the bitmap as a baseline JPEG at quality 0..1, its colour profile included. Any
// transparency is laid on white. True when the file was written.
bool saveBMAsJPEG(const Picture &bitmap, float quality, const QString &saveTo);
// The same for a picture decoded at a reduced scale: it is first brought to its own size.
bool saveAsJPEG(const Picture &picture, float quality, const QString &saveTo);

// Where a command's rendition goes: "<private rendition folder>/<id>.jpg" (Paths::
// temporaryFolder). Empty for an identifier that is not a plain file name, which must not steer
// the file elsewhere, and when the folder cannot be made.
QString renderedFilePath(const QString &commandId);

// Renders one RenderPicture command from the batch's decoded picture into renderedFilePath of
// its "id", at quality 0.6. Nothing on failure, with the reason in errorMsg.
std::optional<RenderedPicture> renderPictureCommand(
    const QVariantMap &command, const Picture &picture, QString &errorMsg);
// The same into a file of the caller's choosing.
std::optional<RenderedPicture> renderPictureCommandToFile(const QVariantMap &command,
    const Picture &picture, const QString &saveTo, float quality, QString &errorMsg);

} // namespace pondrel
