// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "model/photolibrary/PhotoLibrary.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace pondrel {

// Every photo library of the user, read in one go (on a worker thread: a big database takes a
// while), and the albums they offer for import. Album data files come first, their albums
// tagged by their index in the merged "List of Albums" (hidden Book and Slideshow albums count
// too); the albums of digiKam and then Shotwell follow with the next tags.
class PhotoLibraryCatalogue
{
public:
    // Where the libraries are; standard() is the user's own.
    struct Locations
    {
        QStringList albumDataFiles;
        QString digikamConfig;
        QString shotwellDatabase;

        static Locations standard();
    };

    struct OfferedAlbum
    {
        // What the pop-up shows: the album's name, behind its library's name for databases.
        QString label;
        int tag = -1;
    };

    // What an album brings: the paths of its pictures that still exist, and how many are gone.
    struct Pictures
    {
        QString albumName;
        QStringList paths;
        int missing = 0;
    };

    static PhotoLibraryCatalogue read(const Locations &locations);

    bool isEmpty() const { return m_libraries.isEmpty(); }
    const QList<PhotoLibrary> &libraries() const { return m_libraries; }
    QList<OfferedAlbum> offeredAlbums() const;
    const QList<UnavailableSource> &unavailable() const { return m_unavailable; }

    // The album a tag stands for.
    std::optional<QVariantMap> album(int tag) const;
    // Looks at the file system: call it off the GUI thread for big albums.
    std::optional<Pictures> pictures(int tag) const;

private:
    struct Position
    {
        int library;
        int album;
    };
    std::optional<Position> position(int tag) const;

    QList<PhotoLibrary> m_libraries;
    QList<UnavailableSource> m_unavailable;
};

} // namespace pondrel
