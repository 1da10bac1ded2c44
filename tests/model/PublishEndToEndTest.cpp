#include "AgentProcess.h"
#include "PrivateBus.h"
#include "RecordingProxy.h"
#include "ServicePictures.h"
#include "SignedOnTest.h"
#include "TestPictures.h"

#include "support/Preferences.h"

#include <QDeadlineTimer>
#include <QDir>

#include <curl/curl.h>

#include <csignal>

namespace {

// Rendering twenty pictures at two sizes on a loaded machine takes a while; the wait ends as
// soon as everything is there.
constexpr int kRenditionWaitMilliseconds = 180'000;

size_t appendToBuffer(char *data, size_t size, size_t count, void *buffer)
{
    static_cast<QByteArray *>(buffer)->append(data, qsizetype(size * count));
    return size * count;
}

QImage download(const QString &url)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(
        curl_easy_init(), curl_easy_cleanup);
    QByteArray body;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendToBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
    return curl_easy_perform(curl.get()) == CURLE_OK ? QImage::fromData(body, "JPEG") : QImage();
}

// The "Url" of each rendition of a picture record, by name.
QMap<QString, QString> renditionUrls(const QVariantMap &picture)
{
    QMap<QString, QString> urls;
    for (const QVariantMap &rendition : ServicePictures::renditionRecords(picture))
        urls.insert(rendition.value("Name").toString(), rendition.value("Url").toString());
    return urls;
}

bool hasBothRenditions(const QVariantMap &picture)
{
    const QMap<QString, QString> urls = renditionUrls(picture);
    return urls.contains("Thumbnail") && urls.contains("Preview");
}

// The road of a picture with the real programs: pondrel-tool publish creates the pictures,
// tells the Agent to visit, the Agent renders and uploads, the service serves the renditions.
// The tool and the Agent meet on this test's own session bus.
class PublishEndToEnd : public SignedOnTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.isValid()) << "no private session bus: is dbus-daemon installed?";
        SignedOnTest::SetUp();
    }

    PrivateBus m_bus;
};

TEST_F(PublishEndToEnd, EveryExamplePictureGetsUprightRenditions)
{
    REQUIRE_EXIF_PICTURES();
    const QString examples = TestPictures::exifOrientationFolder();
    // What the Publisher leaves behind after a sign-on, and the Agent reads.
    ASSERT_TRUE(Preferences::shared().setValue("LastLogin", kEmail));
    ASSERT_TRUE(Preferences::shared().setValue("LastPwd", kPassword));

    AgentProcess agent(m_bus.connection(), m_service.baseUrl());
    ASSERT_TRUE(agent.start()) << "the Agent started here never took its bus name: "
                               << agent.standardError().toStdString();

    const TestPictures::ToolRun run
        = TestPictures::runTool({"publish", "--album", "Road", examples});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    // The folder of the examples became an album inside "Road".
    const QMap<QString, QVariantMap> road
        = assetsIn(assetsIn("").value("Road").value("UniqueIdentifier").toString());
    ASSERT_EQ(road.size(), 1);
    const QString folderId = road.first().value("UniqueIdentifier").toString();

    const qsizetype expected = QDir(examples).entryList({"*.jpg"}, QDir::Files).size();
    QVariantList pictures;
    const QDeadlineTimer deadline(kRenditionWaitMilliseconds);
    while (!deadline.hasExpired()) {
        pictures = m_network->getAssets(folderId).value_or(QVariantList());
        if (pictures.size() == expected
            && std::all_of(pictures.cbegin(), pictures.cend(),
                [](const QVariant &picture) { return hasBothRenditions(picture.toMap()); }))
            break;
        // The Agent's output is read while the test waits.
        pumpFor(500);
    }
    ::kill(pid_t(agent.pid()), SIGTERM);
    EXPECT_EQ(agent.waitForExit(10'000), std::optional<int>(0))
        << agent.standardError().toStdString();
    ASSERT_EQ(pictures.size(), expected);

    // Every rendering of one scene looks like the upright one of its kind.
    for (const QVariant &value : pictures) {
        const QString name = value.toMap().value("Name").toString();
        ASSERT_TRUE(hasBothRenditions(value.toMap())) << name.toStdString() << " has no renditions";
        const QString kind = name.section('_', 0, 0);
        const QImage upright(examples + "/" + kind + "_1.jpg");
        for (const QString &url : renditionUrls(value.toMap())) {
            const QImage rendition = download(url);
            ASSERT_FALSE(rendition.isNull()) << url.toStdString();
            EXPECT_EQ(rendition.width() > rendition.height(), kind == "Landscape")
                << name.toStdString();
            EXPECT_LT(TestPictures::meanDifference(rendition, upright, {32, 32}), 20.0)
                << name.toStdString() << " " << url.toStdString();
        }
    }
}

} // namespace
