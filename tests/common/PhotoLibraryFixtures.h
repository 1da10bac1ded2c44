// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace pondrel {

// Small photo libraries made at run time: an album data file, and digiKam and Shotwell
// databases with the tables (and only the columns) the importers read, laid out as those
// programs lay them out.
namespace PhotoLibraryFixtures {

struct Image
{
    QString path;
    // digiKam's Images.category (1 image, 2 video); for Shotwell anything but 1 is a video.
    int category = 1;
    // digiKam's Images.status (1 visible); Shotwell's flags (4 in the trash).
    int status = 1;
};

struct Album
{
    QString name;
    QList<Image> images;
};

// An album data file with albums [{name, type, keys}] and images {key: {path, media type}};
// an empty media type leaves "MediaType" out.
bool writeAlbumDataFile(const QString &path, const QVariantList &albums, const QVariantMap &images);
QVariantMap albumEntry(const QString &name, const QString &type, const QStringList &keys);
QVariantMap imageEntry(const QString &path, const QString &mediaType = {});

// digikam4.db in databaseFolder with one collection root known by its path, the albums as
// sub-folders of the folder their first image lies in, and ~/.config/digikamrc naming it.
bool writeDigikam(const QString &databaseFolder, const QList<Album> &albums, int version = 13);
bool writeDigikamConfig(const QString &configFile, const QString &databaseFolder);

// ~/.local/share/shotwell/data/photo.db at path: every album an event of its images, and tags
// listing images by their index among all images given (in album order).
struct Tag
{
    QString name;
    QList<int> imageIndexes;
};
bool writeShotwell(
    const QString &path, const QList<Album> &events, const QList<Tag> &tags, int version = 20);

} // namespace PhotoLibraryFixtures

} // namespace pondrel
