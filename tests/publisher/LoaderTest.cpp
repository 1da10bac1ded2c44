// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/LoopbackHttpServer.h"
#include "tests/publisher/PreviewTestSupport.h"
#include "tests/common/ScratchHome.h"
#include "publisher/preview/PictureDownload.h"
#include "publisher/preview/ThumbnailStore.h"
#include "publisher/preview/oruLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <set>

using namespace pondrel;
using PreviewTestSupport::waitUntil;

namespace {

LoaderItem remoteItem(const QString &key, const QString &base)
{
    return LoaderItem {key, base + "/t/" + key + ".jpg", base + "/p/" + key + ".jpg", {}, false, 1};
}

QList<LoaderItem> tenItems(const LoopbackHttpServer &server)
{
    QList<LoaderItem> items;
    for (int i = 0; i < 10; ++i)
        items.append(remoteItem(QString::number(i), server.url()));
    return items;
}

std::multiset<QByteArray> requestedPaths(const LoopbackHttpServer &server)
{
    std::multiset<QByteArray> paths;
    for (const auto &request : server.requests())
        paths.insert(request.head.split(' ').value(1));
    return paths;
}

// One loader with its store and a disk cache in a scratch folder.
struct LoaderRig
{
    explicit LoaderRig(const QString &cacheDirectory)
        : loader(store, cacheDirectory)
    { }
    ThumbnailStore store;
    oruLoader loader;
};

} // namespace

TEST(LoaderTest, StartsAtMostFourDownloadsVisibleCellsFirst)
{
    LoaderRig rig({});
    LoopbackHttpServer server;
    server.neverAnswer();
    QSignalSpy shown(&rig.loader, &oruLoader::statusShown);
    QSignalSpy hidden(&rig.loader, &oruLoader::statusHidden);

    rig.loader.setVisibleItems({"7", "5"}, {"9"});
    rig.loader.fetch(tenItems(server));
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 4; }));
    QTest::qWait(300); // room for a fifth request, which must not come
    EXPECT_EQ(requestedPaths(server),
        (std::multiset<QByteArray> {"/t/0.jpg", "/t/5.jpg", "/t/7.jpg", "/t/9.jpg"}));
    EXPECT_EQ(rig.loader.runningThreads(), 4);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.at(0).at(0).toString(), "Getting images from server...");
    EXPECT_TRUE(hidden.isEmpty());

    rig.loader.stop();
    EXPECT_FALSE(rig.loader.isRunning());
    EXPECT_EQ(rig.loader.runningThreads(), 0);
    EXPECT_EQ(hidden.size(), 1);
}

TEST(LoaderTest, ScrollingReordersWhatStartsNext)
{
    LoaderRig rig({});
    LoopbackHttpServer server;
    // Only the first picture answers (not found), which frees one slot.
    server.setResponder(
        [](const LoopbackHttpServer::Request &request) -> std::optional<QByteArray> {
            if (request.head.startsWith("GET /t/0.jpg"))
                return LoopbackHttpServer::response(404, "gone", "text/plain");
            return std::nullopt;
        });
    rig.loader.fetch(tenItems(server));
    rig.loader.setVisibleItems({"8"}, {});
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 5; }));
    QTest::qWait(200);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(requests.back().head.startsWith("GET /t/8.jpg")) << requests.back().head.data();
    EXPECT_FALSE(rig.store.contains("0"));
}

TEST(LoaderTest, KeepsOnlyPicturesAndSurvivesBadAnswers)
{
    LoaderRig rig({});
    LoopbackHttpServer server;
    const QByteArray good = PreviewTestSupport::jpegBytes({200, 150});
    server.setResponder(
        [&](const LoopbackHttpServer::Request &request) -> std::optional<QByteArray> {
            const QByteArray path = request.head.split(' ').value(1);
            if (path == "/t/0.jpg")
                return LoopbackHttpServer::response(200, good, "image/jpeg");
            if (path == "/t/1.jpg")
                return LoopbackHttpServer::response(404, "<html>missing</html>", "text/html");
            if (path == "/t/2.jpg")
                return LoopbackHttpServer::response(200, "<html>login</html>", "text/html");
            return LoopbackHttpServer::response(200, good.left(good.size() / 2), "image/jpeg");
        });
    QSignalSpy finished(&rig.loader, &oruLoader::thumbnailsFinished);
    QSignalSpy display(&rig.loader, &oruLoader::picturesNeedDisplay);
    QList<LoaderItem> items = tenItems(server).mid(0, 4);
    items.append(LoaderItem {"album", {}, {}, {}, false, 1});
    rig.loader.fetch(items);
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_TRUE(rig.store.contains("0"));
    EXPECT_EQ(rig.store.image("0").size(), QSize(200, 150));
    EXPECT_FALSE(rig.store.contains("1"));
    EXPECT_FALSE(rig.store.contains("2"));
    EXPECT_FALSE(rig.store.contains("album"));
    rig.store.image("3"); // a truncated JPEG decodes to something or nothing, never a crash
    EXPECT_TRUE(waitUntil([&] { return !display.isEmpty(); }));
    EXPECT_FALSE(rig.loader.isRunning());
}

TEST(LoaderTest, StopDuringAPreviewReturnsAfterThePreviewTaskEnded)
{
    LoaderRig rig({});
    LoopbackHttpServer server;
    server.neverAnswer();
    QSignalSpy shown(&rig.loader, &oruLoader::statusShown);
    QSignalSpy finished(&rig.loader, &oruLoader::previewFinished);
    QSignalSpy arrived(&rig.loader, &oruLoader::previewArrived);

    rig.loader.downloadPreview(remoteItem("1", server.url()));
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 1; }));
    EXPECT_TRUE(server.requests().front().head.startsWith("GET /p/1.jpg"));
    EXPECT_EQ(shown.back().at(0).toString(), "Downloading preview...");
    EXPECT_TRUE(rig.loader.isRunning());
    rig.loader.stop();
    EXPECT_FALSE(rig.loader.isRunning());
    EXPECT_EQ(finished.size(), 1);
    QTest::qWait(100);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_TRUE(arrived.isEmpty());

    // A draft's preview is made from its file on a worker thread; stop waits for it and hands
    // over its result before returning: at most 640 pixels, turned upright.
    QTemporaryDir folder;
    const QString path = folder.filePath("wide.jpg");
    QImage wide(2000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(path, "JPEG"));
    rig.loader.downloadPreview(LoaderItem {"draft", {}, {}, path, true, 6});
    rig.loader.stop();
    EXPECT_FALSE(rig.loader.isRunning());
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived.at(0).at(0).toString(), "draft");
    EXPECT_EQ(arrived.at(0).at(1).value<QImage>().size(), QSize(320, 640));
    EXPECT_EQ(finished.size(), 2);

    // A picture smaller than that is shown at its own size, never enlarged.
    const QString smallPath = folder.filePath("small.jpg");
    ASSERT_TRUE(wide.scaled(64, 48).save(smallPath, "JPEG"));
    rig.loader.downloadPreview(LoaderItem {"small", {}, {}, smallPath, true, 1});
    rig.loader.stop();
    ASSERT_EQ(arrived.size(), 2);
    EXPECT_EQ(arrived.at(1).at(1).value<QImage>().size(), QSize(64, 48));
}

// Against the reference service's demo account: its renditions carry a strong ETag and a year
// of caching, so a second start reads every thumbnail from the disk cache.
TEST(LoaderTest, SecondRunOnTheSameAlbumDownloadsNothing)
{
    ScratchHome home;
    QTemporaryDir logFolder;
    const QString log = logFolder.filePath("requests.log");
    RefServiceProcess service({"--demo", "--log", log});
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork client;
    ASSERT_TRUE(client.registerComputerIfNeeded()) << client.errorMsg().toStdString();
    ASSERT_TRUE(client.signOn("demo@pondrel.example", "pondrel-demo"))
        << client.errorMsg().toStdString();
    QList<LoaderItem> items;
    for (const auto &picture : PreviewTestSupport::demoPictures(client))
        items.append(
            LoaderItem {picture.uniqueID, picture.thumbnailURL, picture.previewURL, {}, false, 1});
    qunsetenv("PONDREL_SERVICE_URL");
    ASSERT_GE(items.size(), 5);
    const auto renditionGets = [&] {
        QFile file(log);
        file.open(QIODevice::ReadOnly);
        return file.readAll().count("/Pondrel/Renditions/");
    };

    for (int run = 0; run < 2; ++run) {
        LoaderRig rig(oruLoader::defaultCacheDirectory());
        QSignalSpy finished(&rig.loader, &oruLoader::thumbnailsFinished);
        rig.loader.fetch(items);
        ASSERT_TRUE(finished.wait(20'000)) << "run " << run;
        EXPECT_EQ(rig.store.count(), items.size()) << "run " << run;
        EXPECT_EQ(rig.store.image(items.front().key).width(), 200) << "run " << run;
        ASSERT_TRUE(waitUntil([&] { return renditionGets() == items.size(); }))
            << "run " << run << ": " << renditionGets() << " rendition requests";
    }
    EXPECT_TRUE(QFileInfo(oruLoader::defaultCacheDirectory()).isDir());
    EXPECT_TRUE(oruLoader::defaultCacheDirectory().startsWith(home.path()));
}

TEST(LoaderTest, DownloadSavesTheServicesRenditionAndReportsFailures)
{
    ScratchHome home;
    RefServiceProcess service({"--demo"});
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork client;
    ASSERT_TRUE(client.registerComputerIfNeeded());
    ASSERT_TRUE(client.signOn("demo@pondrel.example", "pondrel-demo"));
    const auto pictures = PreviewTestSupport::demoPictures(client);
    qunsetenv("PONDREL_SERVICE_URL");
    ASSERT_FALSE(pictures.isEmpty());
    const QString url = pictures.front().previewURL;

    QTemporaryDir folder;
    PictureDownload download;
    QSignalSpy finished(&download, &PictureDownload::finished);
    const QString path = folder.filePath("Sunrise.jpg");
    download.start(url, path);
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_TRUE(finished.at(0).at(0).toBool()) << finished.at(0).at(2).toString().toStdString();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray savedBytes = saved.readAll();
    EXPECT_TRUE(savedBytes.startsWith("\xFF\xD8\xFF"));
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(url))));
    QSignalSpy replied(reply.get(), &QNetworkReply::finished);
    ASSERT_TRUE(reply->isFinished() || replied.wait(10'000));
    const QImage served = QImage::fromData(reply->readAll());
    ASSERT_FALSE(served.isNull());
    EXPECT_EQ(QImage::fromData(savedBytes), served);

    // A folder that cannot be written (a file stands where it should be, which stops root
    // too): the failure is reported and nothing is left behind.
    const QString locked = folder.filePath("locked");
    QFile blocker(locked);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    download.start(url, locked + "/Sunrise.jpg");
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_FALSE(finished.at(1).at(0).toBool());
    EXPECT_FALSE(finished.at(1).at(2).toString().isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files, QDir::Name),
        QStringList({"Sunrise.jpg", "locked"}));

    // An address that answers 404 leaves the earlier file untouched.
    download.start(service.baseUrl() + "/Pondrel/Renditions/none.jpg", path);
    ASSERT_TRUE(finished.wait(10'000));
    EXPECT_FALSE(finished.at(2).at(0).toBool());
    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), savedBytes);
}

TEST(LoaderTest, WriteJpegRefusesTruncatedPicturesAndEncodesOthers)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("picture.jpg");
    const QByteArray jpeg = PreviewTestSupport::jpegBytes({64, 48});
    QString errorMsg;
    EXPECT_FALSE(PictureDownload::writeJpeg(jpeg.left(jpeg.size() - 40), path, errorMsg));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(PictureDownload::writeJpeg("<html></html>", path, errorMsg));
    EXPECT_FALSE(QFileInfo::exists(path));

    QImage png(30, 20, QImage::Format_RGB32);
    png.fill(Qt::blue);
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    ASSERT_TRUE(PictureDownload::writeJpeg(pngBytes, path, errorMsg)) << errorMsg.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(QImage(path).size(), QSize(30, 20));
}
