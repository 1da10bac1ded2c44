// SPDX-License-Identifier: GPL-2.0-or-later
//
// bench_publisher [--pictures N] [--no-scroll]
//
// Makes an album of N pictures (10,000 by default) with real, distinct 200-pixel thumbnails on a
// reference service of its own, lists it as the Publisher does and shows it in a 1280 x 800
// grid fed by the loader. Prints: the time from the listing's reply to the first fully painted
// window, cold and with the disk cache warm (and how many thumbnails each start downloaded),
// the time to scroll from top to bottom with every page filled before the next, and the peak
// resident memory of the process.
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"
#include "client/oruNetwork.h"
#include "publisher/preview/ThumbnailStore.h"
#include "publisher/preview/VisibleCells.h"
#include "publisher/preview/oruLoader.h"
#include "publisher/views/MUPhotoView.h"
#include "publisher/views/MUPhotoViewDelegate.h"
#include "refservice/AssetStore.h"
#include "refservice/Database.h"
#include "refservice/DemoContent.h"
#include "refservice/Renditions.h"
#include "refservice/ServiceDates.h"
#include "support/Values.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <cstdio>
#include <memory>

using namespace pondrel;
using namespace pondrel::refservice;

namespace {

constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 800;
const QString kAlbumName = QStringLiteral("Ten thousand");

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench_publisher: %s\n", qPrintable(message));
    std::exit(1);
}

QByteArray thumbnailJpeg(int seed)
{
    QImage image(200, 150, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 140, 220));
    sky.setColorAt(1, QColor::fromHsv((seed * 37 + 60) % 360, 90, 250));
    painter.fillRect(image.rect(), sky);
    painter.fillRect(20 + seed % 120, 90, 60, 60, QColor::fromHsv((seed * 53) % 360, 180, 120));
    painter.drawText(QRect(0, 0, 200, 40), Qt::AlignCenter, QString::number(seed));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// The album and its pictures, written straight into the service's storage while it is stopped:
// going through the Agent would take an hour and measures something else.
void seedAlbum(const QString &dataDirectory, int pictures)
{
    QString errorMsg;
    const std::unique_ptr<Database> database
        = Database::open(QDir(dataDirectory).filePath("refservice.sqlite"), errorMsg);
    if (!database)
        fail(errorMsg);
    ServiceConfig config;
    config.dataDirectory = dataDirectory;
    const auto lock = database->lock();
    Statement account = database->prepare("SELECT id FROM accounts WHERE email = ?1");
    account.bind(1, DemoContent::kEmail);
    if (!account.step())
        fail("no demo account");
    Transaction transaction(*database);
    const auto row = [&](const QString &parent, const QString &kind, const QString &name) {
        AssetRow asset;
        asset.id = AssetStore::newIdentifier();
        asset.accountId = account.integer(0);
        asset.parentId = parent;
        asset.kind = kind;
        asset.originComputer = QStringLiteral("BENCH");
        asset.name = name;
        asset.rating = QStringLiteral("Unrated");
        asset.thumbnailOptions = QStringLiteral("ThumbnailFirstImage");
        asset.permissions = 0xFFFFFFFF;
        asset.created = ServiceDates::now();
        asset.modified = asset.created;
        return asset;
    };
    const AssetRow album = row({}, QStringLiteral("folder"), kAlbumName);
    AssetStore::insert(*database, album);
    for (int index = 0; index < pictures; ++index) {
        AssetRow picture = row(album.id, QStringLiteral("picture"),
            QStringLiteral("IMG_%1.jpg").arg(index, 5, 10, QLatin1Char('0')));
        picture.mediaType = QStringLiteral("image/jpeg");
        picture.width = 4000;
        picture.height = 3000;
        picture.rotateFlip = QStringLiteral("RotateNoneFlipNone");
        picture.moniker = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        picture.fileCreated = picture.fileModified = picture.dateTaken = picture.created;
        AssetStore::insert(*database, picture);
        const QByteArray jpeg = thumbnailJpeg(index);
        const QString fileName = QUuid::createUuid().toString(QUuid::Id128) + ".jpg";
        QFile file(Renditions::filePath(config, fileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
            fail(file.errorString());
        Renditions::makeReady(*database,
            RenditionRow {QUuid::createUuid().toString(QUuid::WithoutBraces), picture.id,
                QStringLiteral("Thumbnail"), 200, 150, jpeg.size(), fileName,
                QString::fromLatin1(
                    QCryptographicHash::hash(jpeg, QCryptographicHash::Sha1).toHex())});
    }
    transaction.commit();
}

// The browser's grid as the Publisher lays it out, fed from the thumbnail store.
class BrowserWindow : public MUPhotoViewDelegate
{
public:
    BrowserWindow(const QList<LoaderItem> &items, ThumbnailStore &store, oruLoader &loader)
        : m_items(items)
        , m_store(store)
        , m_loader(loader)
    {
        m_area.setFrameShape(QFrame::NoFrame);
        m_area.resize(kWindowWidth, kWindowHeight);
        m_grid = new MUPhotoView;
        m_grid->setDelegate(this);
        m_grid->setBackgroundColor(Qt::white);
        m_grid->setUseShadowBorder(true);
        m_grid->setPhotoVerticalSpacing(55);
        m_grid->setPhotoHorizontalSpacing(100);
        m_area.setWidget(m_grid);
        m_area.show();
        m_grid->updateGridAndFrame();
        QObject::connect(m_area.verticalScrollBar(), &QScrollBar::valueChanged,
            [this] { tellLoaderWhatIsVisible(); });
        QObject::connect(
            &m_loader, &oruLoader::picturesNeedDisplay, m_grid, qOverload<>(&QWidget::update));
    }

    quint32 photoCountForPhotoView(MUPhotoView *) override { return quint32(m_items.size()); }
    QImage photoAtIndex(MUPhotoView *, quint32 index) override
    {
        return m_store.image(m_items.at(index).key);
    }

    void tellLoaderWhatIsVisible()
    {
        m_loader.setVisibleItems(
            keys(visible()), keys(VisibleCells::cellsInViewport(*m_grid, *m_area.viewport(), 1)));
    }
    IndexRange visible() const
    {
        return VisibleCells::cellsInViewport(*m_grid, *m_area.viewport());
    }
    bool visibleCellsFilled() const
    {
        const IndexRange range = visible();
        for (quint32 index = range.location; index < range.location + range.length; ++index)
            if (!m_store.contains(m_items.at(index).key))
                return false;
        return range.length > 0;
    }
    void paintNow() { m_area.viewport()->repaint(); }
    QScrollBar &scrollBar() { return *m_area.verticalScrollBar(); }

private:
    QStringList keys(IndexRange range) const
    {
        QStringList keys;
        for (quint32 index = range.location; index < range.location + range.length; ++index)
            keys.append(m_items.at(index).key);
        return keys;
    }

    QList<LoaderItem> m_items;
    ThumbnailStore &m_store;
    oruLoader &m_loader;
    QScrollArea m_area;
    MUPhotoView *m_grid = nullptr;
};

qint64 renditionGets(const QString &log)
{
    QFile file(log);
    file.open(QIODevice::ReadOnly);
    return file.readAll().count("GET /Pondrel/Renditions/");
}

// A figure of /proc/self/status in MB: "VmHWM" (peak resident) or "VmRSS" (resident now).
double residentMB(const QByteArray &field)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong() / 1024.0;
    return -1;
}

// Runs the event loop until the condition holds, checking it every millisecond (QTest's wait
// sleeps 10 ms between rounds, which would dominate the figures).
void waitFor(const std::function<bool()> &condition, const char *what)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition() || clock.elapsed() > 600'000)
            loop.quit();
    });
    check.start();
    if (!condition())
        loop.exec();
    if (!condition())
        fail(QString::fromLatin1("timed out waiting for %1").arg(what));
}

struct Start
{
    double firstWindowMs = 0;
    double scrollMs = 0;
    double worstPageMs = 0;
    int pages = 0;
    qint64 downloads = 0;
};

// One start of the browser: from the listing's reply to the first painted window, then
// scrolling page by page to the bottom, each page painted once its cells are filled.
Start browse(const QVariantList &listing, const QString &log, bool scroll)
{
    Start start;
    const qint64 downloadsBefore = renditionGets(log);
    QElapsedTimer clock;
    clock.start();
    QList<LoaderItem> items;
    items.reserve(listing.size());
    for (const QVariant &value : listing) {
        const QVariantMap record = value.toMap();
        LoaderItem item;
        item.key = record.value("UniqueIdentifier").toString();
        const QVariantMap renditions = record.value("PictureFileAssetRenditions").toMap();
        for (const QVariant &rendition :
            Values::asList(renditions.value("PictureFileAssetRendition")))
            if (rendition.toMap().value("Name").toString() == QLatin1String("Thumbnail"))
                item.thumbnailURL = rendition.toMap().value("Url").toString();
        items.append(item);
    }
    ThumbnailStore store;
    oruLoader loader(store, oruLoader::defaultCacheDirectory());
    BrowserWindow window(items, store, loader);
    window.tellLoaderWhatIsVisible();
    loader.fetch(items);
    waitFor([&] { return window.visibleCellsFilled(); }, "the first window");
    window.paintNow();
    start.firstWindowMs = clock.nsecsElapsed() / 1e6;

    QScrollBar &bar = window.scrollBar();
    QElapsedTimer scrolling;
    scrolling.start();
    while (scroll && bar.value() < bar.maximum()) {
        QElapsedTimer page;
        page.start();
        bar.setValue(std::min(bar.maximum(), bar.value() + bar.pageStep()));
        waitFor([&] { return window.visibleCellsFilled(); }, "a page");
        window.paintNow();
        start.worstPageMs = std::max(start.worstPageMs, page.nsecsElapsed() / 1e6);
        ++start.pages;
    }
    start.scrollMs = scrolling.nsecsElapsed() / 1e6;
    waitFor([&] { return !loader.isRunning() && loader.runningThreads() == 0; }, "the rest");
    start.downloads = renditionGets(log) - downloadsBefore;
    return start;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen").toUtf8());
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    const int pictures = application.arguments().contains("--pictures")
        ? application.arguments().value(application.arguments().indexOf("--pictures") + 1).toInt()
        : 10'000;

    ScratchHome home;
    QTemporaryDir logFolder;
    const QString log = logFolder.filePath("requests.log");
    RefServiceProcess service({"--demo", "--log", log});
    if (!service.start())
        fail(service.errorMsg());
    service.stop();
    QElapsedTimer seeding;
    seeding.start();
    seedAlbum(service.dataDirectory(), pictures);
    std::printf("seeded %d pictures in %.1f s\n", pictures, seeding.elapsed() / 1000.0);
    if (!service.start())
        fail(service.errorMsg());

    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork client;
    if (!client.registerComputerIfNeeded()
        || !client.signOn(DemoContent::kEmail, DemoContent::kPassword))
        fail(client.errorMsg());
    QString albumId;
    for (const QVariant &record : client.getAssets(QString()).value_or(QVariantList()))
        if (record.toMap().value("Name").toString() == kAlbumName)
            albumId = record.toMap().value("UniqueIdentifier").toString();
    QElapsedTimer listing;
    listing.start();
    const std::optional<QVariantList> assets = client.getAssets(albumId);
    if (!assets || assets->size() != pictures)
        fail("the album did not list: " + client.errorMsg());
    std::printf("listing of %lld records: %.0f ms (not part of the figures below), "
                "resident %.0f MB, peak %.0f MB\n",
        qlonglong(assets->size()), listing.nsecsElapsed() / 1e6, residentMB("VmRSS"),
        residentMB("VmHWM"));

    const char *names[] = {"cold start", "warm start"};
    for (const char *name : names) {
        const Start start = browse(*assets, log, !application.arguments().contains("--no-scroll"));
        std::printf("%s: first window %.0f ms, scroll %d pages %.0f ms (worst page %.0f ms), "
                    "thumbnails downloaded %lld, peak resident so far %.0f MB\n",
            name, start.firstWindowMs, start.pages, start.scrollMs, start.worstPageMs,
            qlonglong(start.downloads), residentMB("VmHWM"));
    }
    std::printf("peak resident memory: %.0f MB\n", residentMB("VmHWM"));
    return 0;
}
