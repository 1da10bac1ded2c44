// SPDX-License-Identifier: GPL-2.0-or-later
// The web gallery as a person sees it: loaded by headless Chromium from a reference service
// whose album holds real JPEG renditions.
#include "tests/refservice/SoapTestClient.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>

namespace pondrel {

namespace {

// A small landscape, different for every seed, as the Agent would upload it.
QByteArray landscapeJpeg(int longestSide, int seed)
{
    QImage image(longestSide, longestSide * 2 / 3, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv((seed * 53) % 360, 110, 200));
    sky.setColorAt(1, QColor::fromHsv((seed * 53) % 360, 40, 250));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 214, 110));
    painter.drawEllipse(QPointF(image.width() * (0.2 + 0.2 * (seed % 4)), image.height() * 0.3),
        image.height() * 0.11, image.height() * 0.11);
    painter.setBrush(QColor::fromHsv((seed * 53 + 110) % 360, 140, 110));
    painter.drawEllipse(QPointF(image.width() * 0.3, image.height() * 1.15), image.width() * 0.6,
        image.height() * 0.55);
    painter.setBrush(QColor::fromHsv((seed * 53 + 140) % 360, 160, 80));
    painter.drawEllipse(QPointF(image.width() * 0.85, image.height() * 1.2), image.width() * 0.5,
        image.height() * 0.5);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

class GalleryBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        ASSERT_FALSE(chromium.isEmpty())
            << "chromium is not installed; these tests need it (apt-get install chromium, "
               "which scripts/setup test does)";
        ASSERT_TRUE(scratch.isValid());
        service = std::make_unique<RefServiceProcess>(QStringList {"--log", logPath()});
        ASSERT_TRUE(service->start()) << service->errorMsg().toStdString();
        owner = std::make_unique<AgentSide>(*service, "family@example.org");
        album = owner->createFolder(owner->session(), "", "Summer by the sea").result();
        ASSERT_FALSE(album.isEmpty());
        const QString inner = owner->createFolder(owner->session(), album, "Day <two>").result();
        for (const QString name : {"Beach & dunes.jpg", "Harbour.jpg", "Lighthouse 🌊.jpg"})
            ASSERT_TRUE(owner->createPicture(owner->session(), album, name).ok());
        ASSERT_TRUE(owner->createPicture(owner->session(), inner, "Boat trip.jpg").ok());
        ASSERT_TRUE(uploadRenditions());
    }

    QString logPath() const { return scratch.filePath("requests.log"); }

    // Answers the pending rendering commands with real JPEGs and reports them as done.
    bool uploadRenditions() const
    {
        const SoapResult visit = owner->visit();
        QMap<QString, QList<QByteArray>> statuses;
        int seed = 0;
        for (const AgentSide::Command &command : AgentSide::commandsOf(visit)) {
            const int side = command.fields.value("width").toInt();
            const QByteArray jpeg = landscapeJpeg(side, ++seed / 2);
            if (AgentSide::upload(command.url(), jpeg).status != 200)
                return false;
            statuses[command.batch].append(
                AgentSide::succeeded(command.id(), side, side * 2 / 3, jpeg.size()));
        }
        QByteArray all;
        for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
            all += AgentSide::batchStatus(it.key(), it.value());
        return !statuses.isEmpty() && owner->visit(all).ok();
    }

    QString createLink(const QString &password, bool includeSubFolders) const
    {
        return owner
            ->inSession("CreateSymbolicLink", owner->session(),
                {{"assetIdentifier", album}, {"name", "Our <summer> & more"},
                    {"description", "For the family, with love"}, {"alias", ""},
                    {"password", password}, {"includeSubFolders", includeSubFolders ? "1" : "0"}})
            .result();
    }

    struct Browsed
    {
        QString dom;
        QString console; // what the page logged: refused styles or images show up here
    };
    Browsed browse(const QString &url, const QStringList &extra = {}) const
    {
        QProcess process;
        process.setProgram(chromium);
        process.setArguments(QStringList {"--headless", "--no-sandbox", "--disable-gpu",
                                 "--user-data-dir=" + scratch.filePath("profile"),
                                 "--password-store=basic", "--enable-logging=stderr", "--v=0"}
            + extra + QStringList {url});
        process.start();
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "chromium did not finish with " << url.toStdString();
        }
        return {QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
    }
    Browsed dumpDom(const QString &url) const { return browse(url, {"--dump-dom"}); }

    // Preview address by thumbnail address, of the pictures the owner's listing names.
    QMap<QString, QString> renditionsOf(const QString &parent) const
    {
        QMap<QString, QString> previewByThumbnail;
        const SoapResult listing = owner->getAssets(owner->session(), parent);
        for (pugi::xml_node picture
             = listing.resultNode().child("Assets").child("PictureFileAsset");
             picture; picture = picture.next_sibling("PictureFileAsset")) {
            const auto renditions = pondrel::renditionsOf(picture);
            previewByThumbnail.insert(renditions["Thumbnail"]["Url"], renditions["Preview"]["Url"]);
        }
        return previewByThumbnail;
    }

    // Those of the album and of its sub-album.
    QMap<QString, QString> allRenditions() const
    {
        QMap<QString, QString> all = renditionsOf(album);
        const pugi::xml_node inner = owner->getAssets(owner->session(), album)
                                         .resultNode()
                                         .child("Assets")
                                         .child("FolderAsset");
        all.insert(renditionsOf(childText(inner, "UniqueIdentifier")));
        return all;
    }

    // Each thumbnail of the page with the address its link opens.
    static QMap<QString, QString> tilesOf(const QString &dom)
    {
        static const QRegularExpression tile(
            QStringLiteral("<a href=\"([^\"]+)\"><img src=\"([^\"]+)\""));
        QMap<QString, QString> previewByThumbnail;
        for (const QRegularExpressionMatch &match : tile.globalMatch(dom))
            previewByThumbnail.insert(match.captured(2), match.captured(1));
        return previewByThumbnail;
    }

    int renditionDownloads(const QString &url) const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        const QString path = QUrl(url).path();
        return QString::fromUtf8(log.readAll()).count("GET " + path + " 200");
    }

    QString chromium;
    QTemporaryDir scratch;
    std::unique_ptr<RefServiceProcess> service;
    std::unique_ptr<AgentSide> owner;
    QString album;
};

TEST_F(GalleryBrowserTest, ThumbnailsLinkToTheirPreviewsWithTheStyleAndImagesAllowed)
{
    const QString address = createLink("", true);
    ASSERT_FALSE(address.isEmpty());
    const Browsed page = dumpDom(address);
    ASSERT_TRUE(page.dom.contains("<h1>Our &lt;summer&gt; &amp; more</h1>"))
        << page.dom.toStdString();
    EXPECT_TRUE(page.dom.contains("For the family, with love"));
    EXPECT_TRUE(page.dom.contains("<figcaption>Beach &amp; dunes.jpg</figcaption>"));
    EXPECT_TRUE(page.dom.contains("<figcaption>Lighthouse 🌊.jpg</figcaption>"));
    EXPECT_TRUE(page.dom.contains("<h2>Day &lt;two&gt;</h2>")) << "sub-albums come along";
    EXPECT_TRUE(page.dom.contains("name=\"viewport\""));

    const QString feed = QString(address).replace("a=", "r=");
    EXPECT_TRUE(page.dom.contains(
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Our &lt;summer&gt; &amp; "
        "more\" href=\""
        + feed + "\">"));
    EXPECT_TRUE(page.dom.contains("href=\"" + feed + "\">Subscribe (RSS)</a>"));

    QMap<QString, QString> expected = renditionsOf(album);
    const QString inner = childText(
        owner->getAssets(owner->session(), album).resultNode().child("Assets").child("FolderAsset"),
        "UniqueIdentifier");
    expected.insert(renditionsOf(inner));
    ASSERT_EQ(expected.size(), 4);
    EXPECT_EQ(tilesOf(page.dom), expected);
    // The browser fetched every thumbnail: the policy lets the service's own images in.
    for (const QString &thumbnail : expected.keys())
        EXPECT_EQ(renditionDownloads(thumbnail), 1) << thumbnail.toStdString();
    EXPECT_FALSE(page.console.contains("Content Security Policy")) << page.console.toStdString();

    const Browsed withoutSubAlbums = dumpDom(createLink("", false));
    EXPECT_EQ(tilesOf(withoutSubAlbums.dom).size(), 3);
    EXPECT_FALSE(withoutSubAlbums.dom.contains("Boat trip.jpg"));
}

TEST_F(GalleryBrowserTest, FeedParsesWithItsItems)
{
    const QString feed = QString(createLink("", true)).replace("a=", "r=");
    EXPECT_TRUE(SoapTestClient::get(feed).header("Content-Type").startsWith("application/rss+xml"));
    // The browser shows a feed as its text; that text must be the whole document.
    const QString shown = dumpDom(feed).dom;
    const qsizetype start = shown.indexOf('>', shown.indexOf("<pre")) + 1;
    const QByteArray text = shown.mid(start, shown.indexOf("</pre>") - start)
                                .replace("&lt;", "<")
                                .replace("&gt;", ">")
                                .replace("&quot;", "\"")
                                .replace("&amp;", "&")
                                .toUtf8();
    pugi::xml_document rss;
    ASSERT_TRUE(rss.load_buffer(text.constData(), size_t(text.size()))) << shown.toStdString();
    const pugi::xml_node channel = rss.child("rss").child("channel");
    EXPECT_EQ(childText(channel, "title"), "Our <summer> & more");
    EXPECT_EQ(childText(channel, "link"), QString(feed).replace("r=", "a="));
    QStringList titles;
    QStringList links;
    for (pugi::xml_node item = channel.child("item"); item; item = item.next_sibling("item")) {
        titles.append(childText(item, "title"));
        links.append(childText(item, "link"));
        EXPECT_EQ(
            QString::fromUtf8(item.child("enclosure").attribute("url").value()), links.last());
    }
    EXPECT_EQ(titles,
        (QStringList {"Beach & dunes.jpg", "Harbour.jpg", "Lighthouse 🌊.jpg", "Boat trip.jpg"}));
    QStringList previews = allRenditions().values();
    std::sort(previews.begin(), previews.end());
    links.sort();
    EXPECT_EQ(links, previews) << "each item links to its preview";
}

TEST_F(GalleryBrowserTest, ProtectedGalleryShowsNothingBeforeItsPassword)
{
    const QString address = createLink("open sesame+1", true);
    ASSERT_FALSE(address.isEmpty());
    const Browsed locked = dumpDom(address);
    EXPECT_TRUE(locked.dom.contains("<form method=\"post\"")) << locked.dom.toStdString();
    EXPECT_TRUE(locked.dom.contains("type=\"password\""));
    EXPECT_FALSE(locked.dom.contains("<img"));
    EXPECT_FALSE(locked.dom.contains("summer"));
    EXPECT_FALSE(locked.dom.contains("Beach"));
    for (const QString &thumbnail : renditionsOf(album).keys())
        EXPECT_EQ(renditionDownloads(thumbnail), 0);
    EXPECT_FALSE(dumpDom(QString(address).replace("a=", "r=")).dom.contains("Harbour"));

    // The form posts the password as a browser encodes it.
    const auto post = [&](const QByteArray &form) {
        return SoapTestClient::request(
            address, "POST", form, {"Content-Type: application/x-www-form-urlencoded"});
    };
    const HttpResult wrong = post("p=open+sesame");
    EXPECT_EQ(wrong.status, 401);
    EXPECT_TRUE(wrong.body.contains("That password is not right"));
    EXPECT_FALSE(wrong.body.contains("<img"));
    const HttpResult right = post("p=open+sesame%2B1");
    ASSERT_EQ(right.status, 200);
    EXPECT_EQ(tilesOf(QString::fromUtf8(right.body)).size(), 4);
    EXPECT_EQ(right.header("Cache-Control"), "no-store");
    EXPECT_TRUE(right.header("Content-Security-Policy").startsWith("default-src 'none'"));
    EXPECT_EQ(right.header("X-Content-Type-Options"), "nosniff");

    // A password in the address (feed readers cannot fill in forms) opens it in the browser too.
    const Browsed opened = dumpDom(address + "&p=open%20sesame%2B1");
    EXPECT_EQ(tilesOf(opened.dom).size(), 4) << opened.dom.toStdString();
}

} // namespace

} // namespace pondrel
