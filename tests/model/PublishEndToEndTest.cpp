// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/agent/AgentProcess.h"
#include "tests/agent/RecordingProxy.h"
#include "tests/common/PrivateBus.h"
#include "tests/common/ServicePictures.h"
#include "tests/imaging/TestPictures.h"
#include "tests/model/SignedOnTest.h"

#include "support/Preferences.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <QDeadlineTimer>
#include <QDir>

#include <curl/curl.h>

#include <csignal>

namespace pondrel {

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

// Every rendering of one scene looks like the upright example of its kind.
void expectUprightRenditions(const QVariantList &pictures, const QString &examples)
{
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

    expectUprightRenditions(pictures, examples);
}

// The real Publisher, driven through its bus interface as the desktop drives it: files handed
// over with Open, commands with ActivateAction. It signs on by itself from the preferences.
class PublisherProgram
{
public:
    static inline const QString kBusName = QStringLiteral("com.trevane.pondrel");

    explicit PublisherProgram(QDBusConnection bus)
        : m_bus(bus)
    { }
    ~PublisherProgram() { stop(); }

    ::testing::AssertionResult start()
    {
        const QString program = qEnvironmentVariable("PONDREL_BIN_DIR") + "/pondrel-publisher";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PONDREL_UNATTENDED", "1");
        environment.insert("PONDREL_AGENT_PROGRAM", "/bin/true");
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {});
        if (!m_process.waitForStarted())
            return ::testing::AssertionFailure() << program.toStdString() << " does not start";
        const QDeadlineTimer deadline(30'000);
        while (!deadline.hasExpired()) {
            if (m_bus.interface()->isServiceRegistered(kBusName))
                return ::testing::AssertionSuccess();
            pumpFor(100);
        }
        return ::testing::AssertionFailure() << "the Publisher never took its bus name";
    }
    void open(const QString &path) const
    {
        call("Open", {QStringList {QUrl::fromLocalFile(path).toString()}, QVariantMap()});
    }
    void activateAction(const QString &name) const
    {
        call("ActivateAction", {name, QVariantList(), QVariantMap()});
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10'000);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10'000))
            kill();
    }

private:
    void call(const QString &method, const QVariantList &arguments) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            kBusName, "/com/trevane/pondrel", "org.freedesktop.Application", method);
        message.setArguments(arguments);
        QDBusConnection(m_bus).call(message, QDBus::Block, 10'000);
    }

    QDBusConnection m_bus;
    QProcess m_process;
};

// The drafts end to end: the Publisher program, the Agent and the service on this test's own bus.
class PublisherEndToEnd : public PublishEndToEnd
{
protected:
    void SetUp() override
    {
        PublishEndToEnd::SetUp();
        if (HasFatalFailure())
            return;
        Preferences::shared().setValue("AutoLogin", true);
        Preferences::shared().setValue("LastLogin", kEmail);
        Preferences::shared().setValue("LastPwd", kPassword);
    }

    // Asks for the commit until the album named appears at the top level (the Publisher may
    // still be signing on or importing); its identifier, or none.
    std::optional<QString> commitUntilAlbum(PublisherProgram &publisher, const QString &name)
    {
        const QDeadlineTimer deadline(60'000);
        while (!deadline.hasExpired()) {
            publisher.activateAction("commit");
            const QVariantMap album = assetsIn("").value(name);
            if (!album.isEmpty())
                return album.value("UniqueIdentifier").toString();
            pumpFor(300);
        }
        return std::nullopt;
    }
};

TEST_F(PublisherEndToEnd, FilesOpenedAndCommittedEndUpWithUprightRenditions)
{
    REQUIRE_EXIF_PICTURES();
    const QString examples = TestPictures::exifOrientationFolder();
    AgentProcess agent(m_bus.connection(), m_service.baseUrl());
    ASSERT_TRUE(agent.start()) << "the Agent started here never took its bus name: "
                               << agent.standardError().toStdString();

    PublisherProgram publisher(m_bus.connection());
    ASSERT_TRUE(publisher.start());
    publisher.open(examples);
    const std::optional<QString> albumId = commitUntilAlbum(publisher, QFileInfo(examples).fileName());
    ASSERT_TRUE(albumId) << "the drafts never reached the service";

    const qsizetype expected = QDir(examples).entryList({"*.jpg"}, QDir::Files).size();
    QVariantList pictures;
    const QDeadlineTimer deadline(kRenditionWaitMilliseconds);
    while (!deadline.hasExpired()) {
        pictures = m_network->getAssets(*albumId).value_or(QVariantList());
        if (pictures.size() == expected
            && std::all_of(pictures.cbegin(), pictures.cend(),
                [](const QVariant &picture) { return hasBothRenditions(picture.toMap()); }))
            break;
        pumpFor(500);
    }
    publisher.stop();
    ::kill(pid_t(agent.pid()), SIGTERM);
    agent.waitForExit(10'000);
    ASSERT_EQ(pictures.size(), expected);
    expectUprightRenditions(pictures, examples);
}

bool postFaults(const RefServiceProcess &service, const QByteArray &faults)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(
        curl_easy_init(), curl_easy_cleanup);
    const QByteArray address = (service.baseUrl() + "/Pondrel/Admin/Faults").toUtf8();
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
        curl_slist_append(nullptr, service.adminHeader().constData()), curl_slist_free_all);
    QByteArray body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, faults.constData());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendToBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    long status = 0;
    const bool sent = curl_easy_perform(curl.get()) == CURLE_OK;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    return sent && status == 200;
}

TEST_F(PublisherEndToEnd, AKilledCommitIsOfferedAtTheNextStartAndCompletesWithoutDuplicates)
{
    constexpr int kPictureCount = 200;
    const QString folder = m_files.filePath("Holiday");
    QDir().mkpath(folder);
    for (int index = 0; index < kPictureCount; ++index)
        ASSERT_TRUE(TestPictures::writeJpeg(
            folder + QStringLiteral("/IMG_%1.jpg").arg(index, 3, 10, QChar('0')),
            TestPictures::quadrants(64 + index, 48)));
    // Slow pictures down, so that the kill lands in the middle of the commit.
    ASSERT_TRUE(postFaults(m_service, "CreatePictureFileAsset:delay:40"));

    std::optional<QString> albumId;
    {
        PublisherProgram publisher(m_bus.connection());
        ASSERT_TRUE(publisher.start());
        publisher.open(folder);
        albumId = commitUntilAlbum(publisher, "Holiday");
        ASSERT_TRUE(albumId) << "the commit never started";
        const QDeadlineTimer deadline(60'000);
        qsizetype sent = 0;
        while (!deadline.hasExpired() && sent < 20) {
            sent = m_network->getAssets(*albumId).value_or(QVariantList()).size();
            pumpFor(20);
        }
        publisher.kill();
        sent = m_network->getAssets(*albumId).value_or(QVariantList()).size();
        ASSERT_GT(sent, 0);
        ASSERT_LT(sent, kPictureCount) << "the commit ended before the kill";
    }

    // Unattended, the offer to restore is taken (its default button), and the commit goes on.
    PublisherProgram publisher(m_bus.connection());
    ASSERT_TRUE(publisher.start());
    QVariantList pictures;
    const QDeadlineTimer deadline(120'000);
    while (!deadline.hasExpired() && pictures.size() < kPictureCount) {
        pumpFor(200);
        pictures = m_network->getAssets(*albumId).value_or(QVariantList());
    }
    pumpFor(500);
    pictures = m_network->getAssets(*albumId).value_or(QVariantList());
    publisher.stop();
    QSet<QString> names;
    for (const QVariant &picture : pictures)
        names.insert(picture.toMap().value("Name").toString());
    EXPECT_EQ(pictures.size(), kPictureCount);
    EXPECT_EQ(names.size(), kPictureCount);
    EXPECT_EQ(assetsIn("").size(), 1) << "the album was created once";
}

} // namespace

} // namespace pondrel
