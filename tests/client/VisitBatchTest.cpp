// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/VisitTestSupport.h"

#include "client/oruNetwork.h"
#include "support/Paths.h"
#include "support/PropertyList.h"

#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace pondrel {

using namespace VisitTestSupport;

namespace {

// A client whose service is a closed loopback port: every call fails at once, so a test can
// tell whether the visit went to the service at all.
class VisitBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Paths::ensureFolder(Paths::applicationSupportFolder()));
        client = std::make_unique<oruNetwork>();
        picture = QDir(home.path()).filePath("picture.jpg");
        ASSERT_TRUE(writeJpeg(picture));
        pictureHash = oruNetwork::sha1FromFile(picture).value_or(QString());
        ASSERT_FALSE(pictureHash.isEmpty());
    }

    QVariantMap statusOf(int batchIndex, int commandIndex) const
    {
        const QVariantList entries
            = commandStatuses(client->previousCommandBatchesStatuses().value(batchIndex));
        return entries.value(commandIndex).toMap();
    }

    ScratchHome home;
    ServiceEnvironment environment {QStringLiteral("http://127.0.0.1:9")};
    std::unique_ptr<oruNetwork> client;
    QString picture;
    QString pictureHash;
};

void expectFailed(
    const QVariantMap &status, const QString &id, const QString &code, bool withDescription)
{
    EXPECT_EQ(status.value("UniqueIdentifier"), id);
    EXPECT_EQ(status.value("CommandExecutionStatus"), "Failed") << id.toStdString();
    EXPECT_EQ(status.value("ErrorCode"), code) << id.toStdString();
    EXPECT_EQ(status.value("ErrorDescription").toString().isEmpty(), !withDescription)
        << id.toStdString() << ": " << status.value("ErrorDescription").toString().toStdString();
    EXPECT_TRUE(status.value("ReturnParameters").toList().isEmpty());
}

} // namespace

TEST_F(VisitBatch, EveryFailureHasItsOwnCodeNeverAnEarlierOne)
{
    const QString missing = QDir(home.path()).filePath("gone.jpg");
    const QString notAPicture = QDir(home.path()).filePath("notes.jpg");
    QFile notes(notAPicture);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("these are words, not pixels");
    notes.close();
    ASSERT_TRUE(client->addPhotoToDB(missing, "m-missing", pictureHash));
    ASSERT_TRUE(client->addPhotoToDB(picture, "m-picture", pictureHash));
    ASSERT_TRUE(client->addPhotoToDB(
        notAPicture, "m-notes", oruNetwork::sha1FromFile(notAPicture).value_or(QString())));

    const QString url = "http://127.0.0.1:9/Pondrel/Upload/x";
    client->setCommandBatch({
        batch("b-unknown", "m-unknown", pictureHash,
            {renderCommand("u-1", 200, 200, url), renderCommand("u-2", 1024, 1024, url)}),
        batch("b-missing", "m-missing", pictureHash, {renderCommand("m-1", 200, 200, url)}),
        batch("b-changed", "m-picture", QString(40, QChar('0')),
            {renderCommand("h-1", 200, 200, url)}),
        batch("b-notes", "m-notes", oruNetwork::sha1FromFile(notAPicture).value_or(QString()),
            {renderCommand("n-1", 200, 200, url)}),
        // An empty canvas cannot be rendered; an identifier that is a path cannot name the
        // rendition's file; a command of another type gets no status at all.
        batch("b-render", "m-picture", pictureHash,
            {renderCommand("r-1", 0, 200, url), QVariantMap {{"type", "Shred"}, {"id", "s-1"}},
                renderCommand("../r-2", 200, 200, url)}),
        // No address to send to: refused before any request, so it cannot abort the run.
        batch("b-address", "m-picture", pictureHash,
            {renderCommand("x-1", 200, 200, "file:///etc/passwd"),
                renderCommand("x-2", 200, 200, "")}),
    });
    client->processCommandBatch();

    ASSERT_EQ(client->previousCommandBatchesStatuses().size(), 6);
    EXPECT_EQ(batchIdentifier(client->previousCommandBatchesStatuses().at(0)), "b-unknown");
    expectFailed(statusOf(0, 0), "u-1", "-1", false);
    expectFailed(statusOf(0, 1), "u-2", "-1", false);
    expectFailed(statusOf(1, 0), "m-1", "-2", true);
    expectFailed(statusOf(2, 0), "h-1", "-5", false);
    expectFailed(statusOf(3, 0), "n-1", "-3", true);
    ASSERT_EQ(commandStatuses(client->previousCommandBatchesStatuses().at(4)).size(), 2);
    expectFailed(statusOf(4, 0), "r-1", "-4", true);
    expectFailed(statusOf(4, 1), "../r-2", "-4", true);
    expectFailed(statusOf(5, 0), "x-1", "-6", true);
    expectFailed(statusOf(5, 1), "x-2", "-6", true);
    EXPECT_TRUE(client->commandBatchEmpty());
    EXPECT_FALSE(client->curlAbort());
}

TEST_F(VisitBatch, AnUnreadableSavedBatchIsMovedAsideAndTheVisitGoesOn)
{
    const QString path = oruNetwork::savedBatchFilename();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?><plist><array><dict><key>");
    file.close();

    // The visit goes on to the service, which here cannot be reached.
    EXPECT_FALSE(client->visit());
    EXPECT_FALSE(client->errorMsg().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
    QFile aside(path + ".corrupt");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "<?xml version=\"1.0\"?><plist><array><dict><key>");

    // A dictionary where the list belongs, and an empty list, do not stall visits either.
    ASSERT_TRUE(PropertyList::saveToPList(QVariantMap {{"a", "b"}}, path));
    EXPECT_FALSE(client->visit());
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_TRUE(PropertyList::saveToPList(QVariantList(), path));
    EXPECT_FALSE(client->visit());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(VisitBatch, AFailedVisitKeepsTheStatusesForTheNextOne)
{
    const QVariantList statuses = {QVariantMap {{"CommandBatchStatus", QVariantList()}}};
    client->previousCommandBatchesStatuses() = statuses;
    bool outcomeSucceeded = true;
    QString outcome;
    client->setVisitOutcomeHandler([&](bool succeeded, const QString &text) {
        outcomeSucceeded = succeeded;
        outcome = text;
    });

    client->visitAndProcess();

    EXPECT_EQ(client->previousCommandBatchesStatuses(), statuses);
    EXPECT_FALSE(outcomeSucceeded);
    EXPECT_TRUE(outcome.startsWith("Last visit failed: ")) << outcome.toStdString();
    EXPECT_GT(outcome.size(), QString("Last visit failed: ").size());
    EXPECT_TRUE(client->visitPending());
}

TEST_F(VisitBatch, ABatchWhoseUploadsNeverGetAnAnswerIsGivenUp)
{
    ASSERT_TRUE(client->addPhotoToDB(picture, "m", pictureHash));
    const QString deadHost = QStringLiteral("http://127.0.0.1:9/Pondrel/Upload/dead");
    const QVariantList batches = {batch("b", "m", pictureHash,
        {renderCommand("c-1", 100, 100, deadHost), renderCommand("c-2", 50, 50, deadHost)})};
    const QString path = oruNetwork::savedBatchFilename();
    ASSERT_TRUE(PropertyList::saveToPList(batches, path));

    // The first run and five replays.
    for (int run = 0; run < 6; ++run) {
        ASSERT_TRUE(client->visit()) << run;
        ASSERT_EQ(client->commandBatch().size(), 1) << run;
        client->processCommandBatch();
        ASSERT_TRUE(client->curlAbort()) << run;
        ASSERT_TRUE(QFileInfo::exists(path)) << run;
    }
    // Given up: reported as failed, and the visit goes on to the service (unreachable here).
    EXPECT_FALSE(client->visit());
    EXPECT_TRUE(client->commandBatchEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_EQ(client->previousCommandBatchesStatuses().size(), 1);
    expectFailed(statusOf(0, 0), "c-1", "-7", true);
    expectFailed(statusOf(0, 1), "c-2", "-7", true);

    // A batch received more than a day ago is given up at once, whatever its replays.
    client->previousCommandBatchesStatuses().clear();
    ASSERT_TRUE(PropertyList::saveToPList(batches, path));
    ASSERT_TRUE(client->visit());
    client->processCommandBatch();
    ASSERT_TRUE(client->curlAbort());
    const QString bookkeeping = QFileInfo(path).dir().filePath("Pondrel_Batch_Replays.plist");
    std::optional<QVariantMap> replays = PropertyList::dictionaryFromPlist(bookkeeping);
    ASSERT_TRUE(replays.has_value());
    EXPECT_EQ(replays->value("AbortedRuns").toLongLong(), 1);
    replays->insert("Received", QDateTime::currentDateTimeUtc().addSecs(-25 * 3600));
    ASSERT_TRUE(PropertyList::saveToPList(*replays, bookkeeping));
    EXPECT_FALSE(client->visit());
    expectFailed(statusOf(0, 0), "c-1", "-7", true);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(bookkeeping));
}

} // namespace pondrel
