#include "VisitTestSupport.h"

#include "client/oruNetwork.h"
#include "support/Paths.h"
#include "support/Values.h"

#include "ClientTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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
        const QString hash = oruNetwork::sha1FromFile(picture).value_or(QString());
        const QString now = QDateTime::currentDateTimeUtc().toString("yyyy-MM-ddTHH:mm:ssZ");
        const QVariantMap reply = client->publishingServices().call("CreatePictureFileAsset",
            {client->sessionIdentifier(), "", "Lake", "", "image/jpeg", "Unrated", now, now,
                QFileInfo(picture).size(), hash, kMoniker, 0, 1600, 1200, "RotateNoneFlipNone",
                now});
        ASSERT_FALSE(reply.contains("error")) << reply.value("error").toString().toStdString();
        ASSERT_TRUE(client->addPhotoToDB(picture, kMoniker, hash));
    }

    // Name to {width, height, file size} of the picture's ready renditions.
    QMap<QString, QList<qint64>> readyRenditions()
    {
        QMap<QString, QList<qint64>> ready;
        const std::optional<QVariantList> assets = client->getAssets("");
        for (const QVariant &asset : assets.value_or(QVariantList())) {
            const QVariantMap renditions
                = asset.toMap().value("PictureFileAssetRenditions").toMap();
            for (const QVariant &rendition :
                Values::asList(renditions.value("PictureFileAssetRendition"))) {
                const QVariantMap record = rendition.toMap();
                ready.insert(record.value("Name").toString(),
                    {record.value("Width").toLongLong(), record.value("Height").toLongLong(),
                        record.value("FileSize").toLongLong()});
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
    QMap<QString, QList<qint64>> reported;
    for (const QVariantMap &status : statuses) {
        EXPECT_EQ(status.value("CommandExecutionStatus"), "Succeeded")
            << status.value("ErrorDescription").toString().toStdString();
        EXPECT_EQ(status.value("ErrorCode"), "0");
        const QString id = status.value("UniqueIdentifier").toString();
        EXPECT_EQ(returnValue(status, "fileSize").toLongLong(),
            QFileInfo(QDir::temp().filePath(id + ".jpg")).size());
        reported.insert(id,
            {returnValue(status, "width").toLongLong(), returnValue(status, "height").toLongLong(),
                returnValue(status, "fileSize").toLongLong()});
    }
    EXPECT_TRUE(readyRenditions().isEmpty()); // not before the statuses are reported

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    EXPECT_TRUE(client->previousCommandBatchesStatuses().isEmpty());
    EXPECT_TRUE(client->commandBatchEmpty());
    ASSERT_TRUE(client->visitPending());
    EXPECT_EQ(client->visitTimer()->interval(), 7000);

    const QMap<QString, QList<qint64>> ready = readyRenditions();
    ASSERT_EQ(ready.keys(), (QStringList {"Preview", "Thumbnail"}));
    // Mode 1 fits a 4:3 picture into the square canvases.
    EXPECT_EQ(ready.value("Thumbnail").mid(0, 2), (QList<qint64> {200, 150}));
    EXPECT_EQ(ready.value("Preview").mid(0, 2), (QList<qint64> {1024, 768}));
    QList<QList<qint64>> sent = reported.values();
    QList<QList<qint64>> stored = ready.values();
    std::sort(sent.begin(), sent.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(sent, stored);
}

TEST_F(VisitService, AnUploadWithoutAnswerIsReplayedFromTheSavedFile)
{
    startWith({"--fault", "1*Fragment:drop"});

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    ASSERT_EQ(client->commandBatch().size(), 1);
    const QVariantList received = client->commandBatch();
    client->processCommandBatch();
    EXPECT_TRUE(client->curlAbort());
    EXPECT_TRUE(client->previousCommandBatchesStatuses().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(oruNetwork::savedBatchFilename()));
    EXPECT_EQ(fixture.requestCount("Visit"), 1);

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

// A batch is followed by a visit five seconds later that reports it; all on the worker.
TEST_F(VisitService, TheCycleRunsOnAWorkerThreadAndStops)
{
    startWith({"--visit-interval-ms", "60000"});
    QThread worker;
    client->visitCycleContext()->moveToThread(&worker);
    std::mutex lock;
    std::condition_variable changed;
    QList<bool> outcomes;
    QStringList progress;
    QSet<QThread *> threads;
    client->setVisitProgressHandler([&](const QString &text) {
        const std::lock_guard<std::mutex> guard(lock);
        progress.append(text);
    });
    client->setVisitOutcomeHandler([&](bool succeeded, const QString &) {
        const std::lock_guard<std::mutex> guard(lock);
        outcomes.append(succeeded);
        threads.insert(QThread::currentThread());
        changed.notify_all();
    });
    worker.start();
    QMetaObject::invokeMethod(client->visitCycleContext(), [&] { client->visitAndProcess(); });
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(
            guard, std::chrono::seconds(30), [&] { return outcomes.size() == 2; }));
    }
    EXPECT_EQ(outcomes, (QList<bool> {true, true}));
    EXPECT_EQ(threads, QSet<QThread *> {&worker});
    EXPECT_EQ(progress, (QStringList {"Rendering 1 of 2…", "Rendering 2 of 2…"}));
    EXPECT_TRUE(client->previousCommandBatchesStatuses().isEmpty());

    bool pendingBefore = false;
    bool pendingAfter = true;
    QMetaObject::invokeMethod(
        client->visitCycleContext(),
        [&] {
            pendingBefore = client->visitPending();
            client->stopVisitCycle();
            pendingAfter = client->visitPending();
        },
        Qt::BlockingQueuedConnection);
    worker.quit();
    ASSERT_TRUE(worker.wait(10000));
    EXPECT_TRUE(pendingBefore);
    EXPECT_FALSE(pendingAfter);
    EXPECT_EQ(readyRenditions().size(), 2);
}
