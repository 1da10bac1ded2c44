// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/VisitTestSupport.h"

#include "client/oruNetwork.h"
#include "support/Paths.h"

#include "tests/client/ClientTestSupport.h"
#include "tests/common/ServicePictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace pondrel {

using namespace VisitTestSupport;

namespace {

const QString kEmail = QStringLiteral("ann.visit@example.com");
const QString kMoniker = QStringLiteral("moniker-of-the-lake");

// A workstation with a signed-on account, one picture created on the service from this
// client and entered in the local photo database, against a service of its own.
class VisitService : public ::testing::Test
{
protected:
    void startWith(const QStringList &serviceArguments)
    {
        ASSERT_TRUE(fixture.start(serviceArguments)) << fixture.errorMsg().toStdString();
        ASSERT_TRUE(Paths::ensureFolder(Paths::applicationSupportFolder()));
        client = fixture.signedOnClient(kEmail);
        ASSERT_TRUE(client);
        createPicture();
    }

    void createPicture()
    {
        picture = QDir(fixture.home.path()).filePath("lake.jpg");
        ASSERT_TRUE(writeJpeg(picture, QSize(1600, 1200)));
        ASSERT_TRUE(
            ServicePictures::recordPicture(*client, picture, "Lake", kMoniker, QSize(1600, 1200)));
    }

    // Name to "WIDTHxHEIGHT FILESIZE" of the picture's ready renditions.
    QMap<QString, QString> readyRenditions()
    {
        QMap<QString, QString> ready;
        for (const QVariant &asset : client->getAssets("").value_or(QVariantList())) {
            for (const QVariantMap &r : ServicePictures::renditionRecords(asset.toMap())) {
                ready.insert(r.value("Name").toString(),
                    r.value("Width").toString() + 'x' + r.value("Height").toString() + ' '
                        + r.value("FileSize").toString());
            }
        }
        return ready;
    }

    QList<QVariantMap> reportedStatuses() const
    {
        QList<QVariantMap> statuses;
        for (const QVariant &entry : client->previousCommandBatchesStatuses()) {
            for (const QVariant &status : commandStatuses(entry))
                statuses.append(status.toMap());
        }
        return statuses;
    }

    RefServiceFixture fixture;
    std::unique_ptr<oruNetwork> client;
    QString picture;
};

QString returnValue(const QVariantMap &status, const QString &name)
{
    for (const QVariant &entry : status.value("ReturnParameters").toList()) {
        const QVariantMap parameter = entry.toMap().value("ReturnParameter").toMap();
        if (parameter.value("Name") == name)
            return parameter.value("Value").toString();
    }
    return {};
}

} // namespace

TEST_F(VisitService, AVisitBringsTheBatchAndTheNextReportsTheRenditions)
{
    startWith({"--command-style", "mixed", "--visit-interval-ms", "7999"});

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    ASSERT_EQ(client->commandBatch().size(), 1);
    const QVariantMap batch = client->commandBatch().at(0).toMap();
    EXPECT_EQ(batch.value("Moniker"), kMoniker);
    const QVariantList commands = batch.value("Commands").toList();
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands.at(0).toMap().value("type"), "RenderPicture");
    EXPECT_TRUE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    EXPECT_FALSE(client->visitPending()); // work came: no timed visit

    client->processCommandBatch();
    EXPECT_FALSE(client->curlAbort());
    EXPECT_FALSE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    const QList<QVariantMap> statuses = reportedStatuses();
    ASSERT_EQ(statuses.size(), 2);
    QStringList reported;
    for (const QVariantMap &status : statuses) {
        EXPECT_EQ(status.value("CommandExecutionStatus"), "Succeeded")
            << status.value("ErrorDescription").toString().toStdString();
        EXPECT_EQ(status.value("ErrorCode"), "0");
        const QString id = status.value("UniqueIdentifier").toString();
        // Uploaded, so gone from the disk.
        EXPECT_FALSE(QFileInfo::exists(Paths::temporaryFolder() + "/" + id + ".jpg"));
        EXPECT_FALSE(QFileInfo::exists(QDir::temp().filePath(id + ".jpg")));
        reported.append(returnValue(status, "width") + 'x' + returnValue(status, "height") + ' '
            + returnValue(status, "fileSize"));
    }
    EXPECT_TRUE(readyRenditions().isEmpty()); // not before the statuses are reported

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    EXPECT_TRUE(client->previousCommandBatchesStatuses().isEmpty());
    EXPECT_TRUE(client->commandBatchEmpty());
    ASSERT_TRUE(client->visitPending());
    EXPECT_EQ(client->visitTimer()->interval(), 7000);

    const QMap<QString, QString> ready = readyRenditions();
    ASSERT_EQ(ready.keys(), (QStringList {"Preview", "Thumbnail"}));
    // Mode 1 fits a 4:3 picture into the square canvases.
    EXPECT_TRUE(ready.value("Thumbnail").startsWith("200x150 "))
        << ready.value("Thumbnail").toStdString();
    EXPECT_TRUE(ready.value("Preview").startsWith("1024x768 "))
        << ready.value("Preview").toStdString();
    QStringList stored = ready.values();
    reported.sort();
    stored.sort();
    EXPECT_EQ(reported, stored);
}

TEST_F(VisitService, AnUploadWithoutAnswerIsReplayedFromTheSavedFile)
{
    startWith({"--fault", "1*Fragment:drop"});

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    ASSERT_EQ(client->commandBatch().size(), 1);
    const QVariantList received = client->commandBatch();
    const QVariantList earlier = {QVariantMap {{"earlier", "status"}}};
    client->previousCommandBatchesStatuses() = earlier;
    QStringList progress;
    client->setVisitProgressHandler([&](const QString &text) { progress.append(text); });
    client->processCommandBatch();
    EXPECT_TRUE(client->curlAbort());
    // Processing stopped at the first command, and only what this run would have reported
    // is dropped.
    EXPECT_EQ(progress, QStringList {"Rendering 1 of 2…"});
    EXPECT_EQ(client->previousCommandBatchesStatuses(), earlier);
    EXPECT_TRUE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    EXPECT_EQ(fixture.requestCount("Visit"), 1);
    client->previousCommandBatchesStatuses().clear();

    // The next visit takes the batch from the file and does not go to the service.
    ASSERT_TRUE(client->visit());
    EXPECT_EQ(client->commandBatch(), received);
    EXPECT_EQ(fixture.requestCount("Visit"), 1);

    client->processCommandBatch();
    EXPECT_FALSE(client->curlAbort());
    EXPECT_FALSE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    ASSERT_EQ(reportedStatuses().size(), 2);
    for (const QVariantMap &status : reportedStatuses())
        EXPECT_EQ(status.value("CommandExecutionStatus"), "Succeeded");

    ASSERT_TRUE(client->visit());
    EXPECT_EQ(fixture.requestCount("Visit"), 2);
    EXPECT_EQ(readyRenditions().keys(), (QStringList {"Preview", "Thumbnail"}));
}

TEST_F(VisitService, ARefusedUploadIsReportedAsRefused)
{
    startWith({"--fault", "1*Create-Session:http500"});

    ASSERT_TRUE(client->visit());
    client->processCommandBatch();
    EXPECT_FALSE(client->curlAbort());
    const QList<QVariantMap> statuses = reportedStatuses();
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses.at(0).value("CommandExecutionStatus"), "Failed");
    EXPECT_EQ(statuses.at(0).value("ErrorCode"), "-6");
    EXPECT_TRUE(statuses.at(0).value("ErrorDescription").toString().contains("500"));
    EXPECT_EQ(statuses.at(1).value("CommandExecutionStatus"), "Succeeded");
}

} // namespace pondrel
