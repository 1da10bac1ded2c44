// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/agent/AgentProcess.h"
#include "tests/common/PrivateBus.h"
#include "tests/agent/RecordingProxy.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ServicePictures.h"

#include "client/oruNetwork.h"
#include "client/oruNotifications.h"
#include "support/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <csignal>

namespace pondrel {

namespace {

const QString kEmail = "ann.road@example.com";
const QString kPassword = "a long way home 7";
const QString kMoniker = "moniker-of-the-harbour";

// The real programs: the reference service, pondrel-agent, and this test in the Publisher's
// place, creating a picture on the service with the client library and entering it in the
// photo database, then posting "Visit" as the Publisher does after a commit.
class RoadOfAPicture : public ::testing::Test
{
protected:
    void startService(const QStringList &arguments = {})
    {
        requestLog = QDir(home.path()).filePath("requests.log");
        service
            = std::make_unique<RefServiceProcess>(arguments + QStringList {"--log", requestLog});
        ASSERT_TRUE(service->start()) << service->errorMsg().toStdString();
        serviceUrl.emplace("PONDREL_SERVICE_URL", service->baseUrl().toUtf8());
        ASSERT_TRUE(Paths::ensureFolder(Paths::applicationSupportFolder()));
        client = std::make_unique<oruNetwork>();
        ASSERT_TRUE(client->registerComputerIfNeeded()) << client->errorMsg().toStdString();
        ASSERT_TRUE(client->createNewAccount("Ann", "Road", kPassword, kEmail))
            << client->errorMsg().toStdString();
        ASSERT_TRUE(client->signOn(kEmail, kPassword)) << client->errorMsg().toStdString();
        createPicture();
    }

    void createPicture()
    {
        const QString picture = QDir(home.path()).filePath("harbour.jpg");
        QImage image(1600, 1200, QImage::Format_RGB32);
        image.fill(QColor(20, 90, 160));
        ASSERT_TRUE(image.save(picture, "JPEG", 90));
        ASSERT_TRUE(
            ServicePictures::recordPicture(*client, picture, "Harbour", kMoniker, image.size()));
    }

    // Name to {width, height} of the picture's ready renditions.
    QMap<QString, QList<qint64>> readyRenditions()
    {
        QMap<QString, QList<qint64>> ready;
        for (const QVariant &asset : client->getAssets(QString()).value_or(QVariantList())) {
            for (const QVariantMap &record : ServicePictures::renditionRecords(asset.toMap())) {
                ready.insert(record.value("Name").toString(),
                    {record.value("Width").toLongLong(), record.value("Height").toLongLong()});
            }
        }
        return ready;
    }

    QByteArray serviceLog() const
    {
        QFile log(requestLog);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
    int serviceLogCount(const QByteArray &text) const { return int(serviceLog().count(text)); }

    void postVisit()
    {
        ASSERT_TRUE(oruNotifications::post(
            oruNotifications::kVisit, oruNotifications::kAgentObject, {}, bus.connection()));
    }

    ScratchHome home;
    PrivateBus bus;
    std::unique_ptr<RefServiceProcess> service;
    std::optional<ScopedEnvironment> serviceUrl;
    std::unique_ptr<oruNetwork> client;
    QString requestLog;
};

TEST_F(RoadOfAPicture, AVisitSignalBringsBothRenditionsToTheService)
{
    startService();
    AgentProcess agent(bus.connection(), service->baseUrl());
    ASSERT_TRUE(agent.start()) << agent.standardError().toStdString();
    EXPECT_TRUE(readyRenditions().isEmpty());

    postVisit();
    ASSERT_TRUE(pumpUntil([&] { return readyRenditions().size() == 2; }, 30000));
    const auto ready = readyRenditions();
    EXPECT_EQ(ready.value("Thumbnail"), (QList<qint64> {200, 150}));
    EXPECT_EQ(ready.value("Preview"), (QList<qint64> {1024, 768}));
    EXPECT_FALSE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    EXPECT_EQ(serviceLogCount(" Visit "), 2) << "one visit for the batch, one to report it";
}

TEST_F(RoadOfAPicture, TheAgentAnswersDuringABatchAndAQuitKeepsTheRestForTheNextStart)
{
    // The first rendition's upload is held up for a while on the service's side.
    startService({"--fault", "1*Fragment:delay:6000", "--visit-interval-ms", "6000"});
    {
        AgentProcess agent(bus.connection(), service->baseUrl());
        ASSERT_TRUE(agent.start()) << agent.standardError().toStdString();
        postVisit();
        ASSERT_TRUE(pumpUntil([&] { return serviceLogCount("playing fault") == 1; }, 15000));

        // The bus is answered while the visit thread waits for the upload.
        EXPECT_EQ(agent.getOfflineStatusRequest(), "FALSE");
        EXPECT_EQ(serviceLogCount("Fragment\n"), 1) << "the upload is still under way";

        ASSERT_EQ(::kill(pid_t(agent.pid()), SIGTERM), 0);
        pumpFor(1000);
        EXPECT_TRUE(agent.isRunning()) << "it waits for the picture being uploaded";
        EXPECT_EQ(agent.waitForExit(20000), std::optional<int>(0));
    }
    // The second rendition was never started and the batch waits in its file.
    EXPECT_EQ(serviceLogCount("Create-Session"), 1) << serviceLog().constData();
    EXPECT_TRUE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    EXPECT_EQ(serviceLogCount(" Visit "), 1);

    AgentProcess restarted(bus.connection(), service->baseUrl());
    ASSERT_TRUE(restarted.start()) << restarted.standardError().toStdString();
    postVisit();
    ASSERT_TRUE(
        pumpUntil([&] { return !QFileInfo::exists(oruNetwork::savedBatchFilename()); }, 30000));
    ASSERT_TRUE(pumpUntil([&] { return serviceLogCount(" Visit ") >= 2; }, 15000))
        << "the batch from the file is done first, then reported";
    const QByteArray log = serviceLog();
    const qsizetype reported = log.indexOf(" Visit ", log.indexOf(" Visit ") + 1);
    EXPECT_EQ(log.left(reported).count("Create-Session"), 3) << log.constData();
    // The replayed upload of the first rendition finds its address used up and is reported as
    // failed; the service hands the command out again and the Agent's next visits finish it.
    EXPECT_TRUE(pumpUntil([&] { return readyRenditions().size() == 2; }, 40000))
        << serviceLog().constData();
}

} // namespace

} // namespace pondrel
