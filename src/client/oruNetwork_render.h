// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "imaging/Picture.h"
#include "imaging/PictureRendering.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace pondrel {

// The service's RenderPicture commands in imaging's terms: what a command record asks for, where
// its rendition is kept until the upload, and what the service may ask to hear back.

// Quality of every rendition sent to the service.
constexpr float kRenditionJpegQuality = 0.6f;

// Reads "width", "height", "cropMode" and "RotateFlipType" (numbers by their leading integer);
// a "url" that names "print.jpg" makes it a print (crop mode 3) whatever "cropMode" says.
RenderRequest renderRequestFromCommand(const QVariantMap &command);

// Decodes the picture at `path` once for all RenderPicture commands of a batch (commands of
// another "type" are not considered).
std::optional<Picture> decodePictureForCommands(
    const QString &path, const QVariantList &commands, QString &errorMsg);

// Where a command's rendition goes: "<private rendition folder>/<id>.jpg" (Paths::
// temporaryFolder). Empty for an identifier that is not a plain file name, which must not steer
// the file elsewhere, and when the folder cannot be made.
QString renderedFilePath(const QString &commandId);

// The rendition written for one command.
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

// Renders one RenderPicture command from the batch's decoded picture into renderedFilePath of
// its "id" (a stale file of that name is replaced), at kRenditionJpegQuality. Nothing on
// failure, with the reason in errorMsg.
std::optional<RenderedPicture> renderPictureCommand(
    const QVariantMap &command, const Picture &picture, QString &errorMsg);

} // namespace pondrel
