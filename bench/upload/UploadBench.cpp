// SPDX-License-Identifier: GPL-2.0-or-later
// Draft items made from twelve-megapixel JPEGs and pictures created on the reference service
// over loopback.

#include "bench/common/BenchmarkMain.h"
#include "bench/common/CameraScene.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"
#include "client/oruNetwork.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <memory>

namespace pondrel {

namespace {

constexpr int kPictureCount = 200;

QByteArray jpegBytes(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

void addExifMetadata(const QString &path, const QImage &scene, bool withThumbnail)
{
    auto file = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
    file->readMetadata();
    Exiv2::ExifData &exif = file->exifData();
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.DateTimeDigitized"] = std::string("2008:03:01 15:05:09");
    if (withThumbnail) {
        const QByteArray thumbnail = jpegBytes(scene.scaled(160, 120), 85);
        Exiv2::ExifThumb(exif).setJpegThumbnail(
            reinterpret_cast<const Exiv2::byte *>(thumbnail.constData()), long(thumbnail.size()));
    }
    file->writeMetadata();
}

// 200 copies of one twelve-megapixel JPEG, with or without an Exif thumbnail.
class PictureFolder
{
public:
    explicit PictureFolder(bool withThumbnail)
    {
        const QImage scene = cameraScene();
        const QString first = m_dir.filePath(QStringLiteral("IMG_0000.jpg"));
        QFile out(first);
        out.open(QIODevice::WriteOnly);
        out.write(jpegBytes(scene, 90));
        out.close();
        addExifMetadata(first, scene, withThumbnail);
        m_paths << first;
        for (int index = 1; index < kPictureCount; ++index) {
            const QString path
                = m_dir.filePath(QStringLiteral("IMG_%1.jpg").arg(index, 4, 10, QLatin1Char('0')));
            QFile::copy(first, path);
            m_paths << path;
        }
    }
    const QStringList &paths() const { return m_paths; }

private:
    QTemporaryDir m_dir;
    QStringList m_paths;
};

PictureFolder &picturesWithoutThumbnail()
{
    static PictureFolder folder(false);
    return folder;
}

PictureFolder &picturesWithThumbnail()
{
    static PictureFolder folder(true);
    return folder;
}

void itemsFromFiles(benchmark::State &state, PictureFolder &folder)
{
    ScratchHome home;
    for (auto _ : state) {
        for (const QString &path : folder.paths())
            benchmark::DoNotOptimize(oruItem::initWithFile(path, 3));
    }
    state.SetItemsProcessed(state.iterations() * kPictureCount);
}

void BM_InitWithFile_DctScaledDecode(benchmark::State &state)
{
    itemsFromFiles(state, picturesWithoutThumbnail());
}
BENCHMARK(BM_InitWithFile_DctScaledDecode)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_InitWithFile_ExifThumbnail(benchmark::State &state)
{
    itemsFromFiles(state, picturesWithThumbnail());
}
BENCHMARK(BM_InitWithFile_ExifThumbnail)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_UploadPictureAsset(benchmark::State &state)
{
    ScratchHome home;
    RefServiceProcess service;
    if (!service.start()) {
        state.SkipWithError(service.errorMsg().toUtf8().constData());
        return;
    }
    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork network;
    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName(QStringLiteral("Bench"));
    std::optional<QString> albumId;
    if (network.registerComputerIfNeeded()
        && network.createNewAccount(QStringLiteral("B"), QStringLiteral("B"),
            QStringLiteral("secret1"), QStringLiteral("bench@example.com"))
        && network.signOn(QStringLiteral("bench@example.com"), QStringLiteral("secret1")))
        albumId = oruNetworkUpload::uploadFolderItem(network, album, QStringLiteral(""));
    if (!albumId) {
        state.SkipWithError(network.errorMsg().toUtf8().constData());
        return;
    }
    std::vector<oruItem> items;
    for (const QString &path : picturesWithThumbnail().paths())
        items.push_back(oruItem::initWithFile(path, 3));
    size_t next = 0;
    for (auto _ : state) {
        if (!oruNetworkUpload::uploadPictureAsset(network, items[next % items.size()], *albumId)) {
            state.SkipWithError(network.errorMsg().toUtf8().constData());
            break;
        }
        ++next;
    }
    state.SetItemsProcessed(state.iterations());
    qunsetenv("PONDREL_SERVICE_URL");
}
BENCHMARK(BM_UploadPictureAsset)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("PONDREL_BIN_DIR"))
        qputenv("PONDREL_BIN_DIR", PONDREL_BENCH_BIN_DIR);
    return runBenchmarks(argc, argv);
}
