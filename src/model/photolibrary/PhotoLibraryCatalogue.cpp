// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/PhotoLibraryCatalogue.h"

#include "model/photolibrary/AlbumDataFiles.h"
#include "model/photolibrary/DigikamLibrary.h"
#include "model/photolibrary/ShotwellLibrary.h"
#include "support/oruLog.h"

#include <QFileInfo>
#include <QObject>

namespace pondrel {

namespace {

void addDatabase(std::optional<PhotoLibrary> library, const QString &source, const QString &reason,
    QList<PhotoLibrary> &libraries, QList<UnavailableSource> &unavailable)
{
    if (library) {
        libraries.append(std::move(*library));
        return;
    }
    ORU_LOG(QStringLiteral("%1 library skipped: %2").arg(source, reason));
    unavailable.append({source, reason});
}

// Albums of the databases show which library they come from, and Shotwell's which kind.
QString label(const QString &source, const QString &type, const QString &name)
{
    if (source.isEmpty())
        return name;
    if (type.isEmpty() || type == QLatin1String("Regular"))
        return QObject::tr("%1: %2").arg(source, name);
    return QObject::tr("%1 %2: %3").arg(source, type.toLower(), name);
}

} // namespace

PhotoLibraryCatalogue::Locations PhotoLibraryCatalogue::Locations::standard()
{
    return {AlbumDataFiles::listedFiles(), DigikamLibrary::configFile(),
        ShotwellLibrary::databasePath()};
}

PhotoLibraryCatalogue PhotoLibraryCatalogue::read(const Locations &locations)
{
    PhotoLibraryCatalogue catalogue;
    if (std::optional<PhotoLibrary> files
        = AlbumDataFiles::read(locations.albumDataFiles, &catalogue.m_unavailable))
        catalogue.m_libraries.append(std::move(*files));

    QString reason;
    std::optional<PhotoLibrary> digikam;
    if (const std::optional<QString> path
        = DigikamLibrary::databasePath(locations.digikamConfig, &reason))
        digikam = DigikamLibrary::read(*path, &reason);
    addDatabase(std::move(digikam), DigikamLibrary::kSource, reason, catalogue.m_libraries,
        catalogue.m_unavailable);

    reason.clear();
    addDatabase(ShotwellLibrary::read(locations.shotwellDatabase, &reason),
        ShotwellLibrary::kSource, reason, catalogue.m_libraries, catalogue.m_unavailable);
    return catalogue;
}

QList<PhotoLibraryCatalogue::OfferedAlbum> PhotoLibraryCatalogue::offeredAlbums() const
{
    QList<OfferedAlbum> offered;
    int tag = 0;
    for (const PhotoLibrary &library : m_libraries) {
        for (const QVariant &entry : library.albums()) {
            const QVariantMap album = entry.toMap();
            const QString name = album.value(PhotoLibrary::kAlbumNameKey).toString();
            const QString type = album.value(PhotoLibrary::kAlbumTypeKey).toString();
            ORU_LOG(QStringLiteral("Found AlbumName: %1, Album Type:%2").arg(name, type));
            if (PhotoLibrary::isOffered(album)) {
                const QString place = album.value(PhotoLibrary::kAlbumPlaceKey).toString();
                offered.append({label(library.source, type, place.isEmpty() ? name : place), tag});
            }
            ++tag;
        }
    }
    return offered;
}

std::optional<PhotoLibraryCatalogue::Position> PhotoLibraryCatalogue::position(int tag) const
{
    if (tag < 0)
        return std::nullopt;
    int first = 0;
    for (int library = 0; library < m_libraries.size(); ++library) {
        const int count = int(m_libraries[library].albums().size());
        if (tag < first + count)
            return Position {library, tag - first};
        first += count;
    }
    return std::nullopt;
}

std::optional<QVariantMap> PhotoLibraryCatalogue::album(int tag) const
{
    const std::optional<Position> at = position(tag);
    if (!at)
        return std::nullopt;
    return m_libraries[at->library].albums().at(at->album).toMap();
}

std::optional<PhotoLibraryCatalogue::Pictures> PhotoLibraryCatalogue::pictures(int tag) const
{
    const std::optional<Position> at = position(tag);
    if (!at)
        return std::nullopt;
    const PhotoLibrary &library = m_libraries[at->library];
    const QVariantMap album = library.albums().at(at->album).toMap();
    Pictures pictures;
    pictures.albumName = album.value(PhotoLibrary::kAlbumNameKey).toString();
    ORU_LOG(QStringLiteral("Will import iPhotoAlbum: %1").arg(pictures.albumName));
    ORU_LOG(QStringLiteral("Content of iPhotoAlbumDict is: %1")
                .arg(album.value(PhotoLibrary::kKeyListKey).toStringList().join(QLatin1Char(','))));
    for (const QString &path : library.picturePaths(album)) {
        if (QFileInfo::exists(path))
            pictures.paths.append(path);
        else
            ++pictures.missing;
    }
    return pictures;
}

} // namespace pondrel
