// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the photo libraries before the import sheet opens: a digiKam and a Shotwell database
// of 100,000 pictures in 1,000 albums (and Shotwell's 100 tags of 1,000 pictures each), then
// the existence check of one album's pictures.

#include "bench/common/BenchmarkMain.h"
#include "model/photolibrary/PhotoLibraryCatalogue.h"
#include "tests/common/PhotoLibraryFixtures.h"
#include "tests/common/ScratchHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

using namespace pondrel;
using namespace PhotoLibraryFixtures;

constexpr int kAlbums = 1000;
constexpr int kPicturesPerAlbum = 100;
constexpr int kTags = 100;

struct Libraries
{
    ScratchHome home;
    PhotoLibraryCatalogue::Locations locations;

    Libraries()
    {
        QList<Album> albums;
        for (int album = 0; album < kAlbums; ++album) {
            Album entry {QStringLiteral("Album %1").arg(album), {}};
            const QString folder = home.path() + QStringLiteral("/Pictures/Album %1/").arg(album);
            QDir().mkpath(folder);
            for (int picture = 0; picture < kPicturesPerAlbum; ++picture)
                entry.images.append({folder + QStringLiteral("IMG_%1.jpg").arg(picture)});
            albums.append(entry);
        }
        // The first album's files exist; the others' are looked up only when chosen.
        for (const Image &image : albums[0].images)
            QFile(image.path).open(QIODevice::WriteOnly);
        QList<Tag> tags;
        for (int tag = 0; tag < kTags; ++tag) {
            Tag entry {QStringLiteral("Tag %1").arg(tag), {}};
            for (int picture = 0; picture < kAlbums; ++picture)
                entry.imageIndexes.append(
                    (tag * 7919 + picture * 104729) % (kAlbums * kPicturesPerAlbum));
            tags.append(entry);
        }
        const QString digikam = home.path() + QStringLiteral("/digikam");
        locations.digikamConfig = home.configHome() + QStringLiteral("/digikamrc");
        locations.shotwellDatabase = home.dataHome() + QStringLiteral("/shotwell/data/photo.db");
        if (!writeDigikam(digikam, albums) || !writeDigikamConfig(locations.digikamConfig, digikam)
            || !writeShotwell(locations.shotwellDatabase, albums, tags))
            qFatal("the benchmark's libraries could not be written");
    }
};

Libraries &libraries()
{
    static Libraries instance;
    return instance;
}

void BM_ReadDigikamAndShotwell(benchmark::State &state)
{
    std::size_t offered = 0;
    for (auto _ : state) {
        const PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(libraries().locations);
        offered = catalogue.offeredAlbums().size();
        benchmark::DoNotOptimize(offered);
    }
    state.counters["albums"] = double(offered);
    state.counters["pictures/s"] = benchmark::Counter(
        2.0 * kAlbums * kPicturesPerAlbum, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadDigikamAndShotwell)->Unit(benchmark::kMillisecond);

void BM_PicturesOfOneAlbum(benchmark::State &state)
{
    const PhotoLibraryCatalogue catalogue = PhotoLibraryCatalogue::read(libraries().locations);
    for (auto _ : state) {
        const auto pictures = catalogue.pictures(0);
        if (!pictures || pictures->paths.size() != kPicturesPerAlbum)
            state.SkipWithError("the first album's pictures were not found");
    }
}
BENCHMARK(BM_PicturesOfOneAlbum)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    return runBenchmarks(argc, argv, [] { libraries(); });
}
