// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/refservice/SoapTestClient.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

class RenditionRoadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        agent = std::make_unique<AgentSide>(service, "road@example.org");
        ASSERT_FALSE(agent->session().isEmpty());
        album = agent->createFolder(agent->session(), "", "Road").result();
        const SoapResult created
            = agent->createPicture(agent->session(), album, "road.jpg", "MONIKER-ROAD");
        ASSERT_TRUE(created.ok()) << created.fault.toStdString();
        picture = created.result();
    }

    SoapResult pictureListing() const { return agent->getAssets(agent->session(), album); }

    static pugi::xml_node record(const SoapResult &listing)
    {
        return listing.resultNode().child("Assets").child("PictureFileAsset");
    }

    QMap<QString, QMap<QString, QString>> renditions() const
    {
        return renditionsOf(record(pictureListing()));
    }

    QString retrievalAttemptFailed() const
    {
        return childText(record(pictureListing()), "RetrievalAttemptFailed");
    }

    QStringList filesIn(const char *folder) const
    {
        return QDir(service.dataDirectory() + '/' + folder).entryList(QDir::Files);
    }

    RefServiceProcess service;
    std::unique_ptr<AgentSide> agent;
    QString album;
    QString picture;
};

TEST_F(RenditionRoadTest, TheWholeRoadOfOnePicture)
{
    const SoapResult first = agent->visit();
    ASSERT_TRUE(first.ok()) << first.fault.toStdString();
    EXPECT_FALSE(first.response.child("nextVisitIntervalMilliseconds"));
    const pugi::xml_node batch = first.resultNode().child("CommandBatch");
    ASSERT_TRUE(batch);
    EXPECT_FALSE(batch.next_sibling("CommandBatch"));
    expectChildren(batch,
        {{"Moniker", "MONIKER-ROAD"}, {"Hash", "0123456789abcdef0123456789abcdef01234567"},
            {"AssetInternalIdentifier", picture}});
    EXPECT_FALSE(childText(batch, "UniqueIdentifier").isEmpty());

    QMap<QString, AgentSide::Command> bySize;
    for (const auto &command : AgentSide::commandsOf(first)) {
        EXPECT_EQ(command.fields.value("type"), "RenderPicture");
        EXPECT_EQ(command.fields.value("cropMode"), "1");
        EXPECT_EQ(command.fields.value("RotateFlipType"), "Rotate90FlipNone");
        EXPECT_EQ(command.fields.value("return"), "fileSize,width,height");
        EXPECT_TRUE(command.url().startsWith(service.baseUrl() + "/Pondrel/Upload/"));
        EXPECT_EQ(command.fields.value("width"), command.fields.value("height"));
        bySize.insert(command.fields.value("width"), command);
    }
    ASSERT_EQ(bySize.keys(), QStringList({"1024", "200"}));
    EXPECT_NE(bySize["200"].url(), bySize["1024"].url());

    const QMap<QString, QByteArray> bytes {{"Thumbnail", AgentSide::fakeJpeg(3000, 't')},
        {"Preview", AgentSide::fakeJpeg(70000, 'p')}};
    ASSERT_EQ(AgentSide::upload(bySize["200"].url(), bytes["Thumbnail"]).status, 200);
    ASSERT_EQ(AgentSide::upload(bySize["1024"].url(), bytes["Preview"], 3).status, 200);
    EXPECT_TRUE(renditions().isEmpty()) << "uploaded, but not reported yet: nothing is shown";

    const SoapResult second = agent->visit(AgentSide::batchStatus(
        first.resultNode().child("CommandBatch").child("UniqueIdentifier").child_value(),
        {AgentSide::succeeded(bySize["200"].id(), 200, 133, bytes["Thumbnail"].size()),
            AgentSide::succeeded(bySize["1024"].id(), 1024, 683, bytes["Preview"].size())}));
    ASSERT_TRUE(second.ok());
    EXPECT_FALSE(second.resultNode().child("CommandBatch"));
    EXPECT_EQ(second.output("nextVisitIntervalMilliseconds"), "60000");

    const auto ready = renditions();
    ASSERT_EQ(ready.size(), 2);
    EXPECT_EQ(retrievalAttemptFailed(), "false");
    EXPECT_EQ(ready["Thumbnail"]["Width"], "200");
    EXPECT_EQ(ready["Thumbnail"]["Height"], "133");
    EXPECT_EQ(ready["Preview"]["Width"], "1024");
    for (auto it = bytes.cbegin(); it != bytes.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QString url = ready[it.key()]["Url"];
        EXPECT_EQ(ready[it.key()]["FileSize"], QString::number(it.value().size()));
        const HttpResult download = SoapTestClient::get(url);
        EXPECT_EQ(download.status, 200);
        EXPECT_EQ(download.header("Content-Type"), QByteArray("image/jpeg"));
        EXPECT_EQ(download.header("Content-Length"), QByteArray::number(it.value().size()));
        EXPECT_TRUE(download.body == it.value());
        const QByteArray etag = download.header("ETag");
        ASSERT_FALSE(etag.isEmpty());
        EXPECT_EQ(SoapTestClient::get(url, {"If-None-Match: " + etag}).status, 304);
    }

    // The album shows its first picture's thumbnail.
    const SoapResult root = agent->getAssets(agent->session(), "");
    expectChildren(root.resultNode()
                       .child("Assets")
                       .child("FolderAsset")
                       .child("FolderAssetRenditions")
                       .child("FolderAssetRendition"),
        {{"Name", "Thumbnail"}, {"Url", ready["Thumbnail"]["Url"]}});

    EXPECT_EQ(AgentSide::upload(bySize["200"].url(), bytes["Thumbnail"]).status, 410)
        << "the address is single-use";

    // Destroying the picture takes its files along.
    EXPECT_EQ(filesIn("renditions").size(), 2);
    ASSERT_TRUE(
        agent->inSession(
                 "DestroyPictureFileAsset", agent->session(), {{"assetIdentifier", picture}})
            .ok());
    EXPECT_TRUE(filesIn("renditions").isEmpty());
    EXPECT_EQ(SoapTestClient::get(ready["Preview"]["Url"]).status, 404);
}

TEST_F(RenditionRoadTest, BitsErrorPathsLeaveNothingBehind)
{
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(commands.size(), 2);
    const QString url = commands[0].url();
    const QByteArray protocol = AgentSide::kProtocolOffer;

    const HttpResult unknownAddress = AgentSide::bits(
        service.baseUrl() + "/Pondrel/Upload/0000deadbeef", "Create-Session", {protocol});
    EXPECT_EQ(unknownAddress.status, 404);
    EXPECT_EQ(unknownAddress.header("BITS-Packet-Type"), QByteArray("Ack"));
    EXPECT_FALSE(unknownAddress.header("BITS-Error-Code").isEmpty());
    EXPECT_FALSE(unknownAddress.header("BITS-Error-Context").isEmpty());

    const HttpResult unknownSession = AgentSide::bits(url, "Fragment",
        {"BITS-Session-Id: {00000000-0000-0000-0000-000000000000}", "Content-Range: bytes 0-9/10"},
        AgentSide::fakeJpeg(10, 'x'));
    EXPECT_EQ(unknownSession.status, 400);
    EXPECT_FALSE(unknownSession.header("BITS-Error-Code").isEmpty());

    EXPECT_EQ(AgentSide::bits(url, "Create-Session", {}).status, 400); // no protocol offered

    const HttpResult created = AgentSide::bits(url, "Create-Session", {protocol});
    ASSERT_EQ(created.status, 200);
    EXPECT_EQ(created.header("BITS-Protocol").toLower(),
        QByteArray("{7df0354d-249b-430f-820d-3d2a9bef4931}"));
    const QByteArray session = "BITS-Session-Id: " + created.header("BITS-Session-Id");
    const QByteArray bytes = AgentSide::fakeJpeg(1000, 'z');
    const auto fragment = [&](const QByteArray &range, const QByteArray &body) {
        return AgentSide::bits(url, "Fragment", {session, "Content-Range: bytes " + range}, body);
    };

    const HttpResult outOfOrder = fragment("500-999/1000", bytes.mid(500));
    EXPECT_EQ(outOfOrder.status, 416);
    EXPECT_EQ(outOfOrder.header("BITS-Received-Content-Range"), QByteArray("0"));
    EXPECT_EQ(fragment("0-99/1000", bytes.left(50)).status, 400); // shorter than it says
    EXPECT_EQ(fragment("0-9/100000000", bytes.left(10)).status, 413);
    const HttpResult overLimit
        = fragment("0-67108864/67108865", QByteArray(64 * 1024 * 1024 + 1, 'o'));
    EXPECT_EQ(overLimit.status, 413);
    EXPECT_FALSE(overLimit.header("BITS-Error-Code").isEmpty());
    const HttpResult half = fragment("0-499/1000", bytes.left(500));
    EXPECT_EQ(half.status, 200);
    EXPECT_EQ(half.header("BITS-Received-Content-Range"), QByteArray("500"));
    // Closing half a file is refused; cancelling drops it.
    EXPECT_EQ(AgentSide::bits(url, "Close-Session", {session}).status, 400);
    EXPECT_EQ(AgentSide::bits(url, "Cancel-Session", {session}).status, 200);
    EXPECT_EQ(fragment("500-999/1000", bytes.mid(500)).status, 400);

    // Not a JPEG: refused at close.
    EXPECT_EQ(AgentSide::upload(commands[1].url(), QByteArray(100, 'a')).status, 400);

    // The agent says it succeeded, but nothing complete arrived: no rendition, and the commands
    // come again with fresh addresses.
    const SoapResult reported = agent->visit(AgentSide::batchStatus(commands[0].batch,
        {AgentSide::succeeded(commands[0].id(), 200, 200, 1000),
            AgentSide::succeeded(commands[1].id(), 1024, 1024, 100)}));
    ASSERT_TRUE(reported.ok());
    EXPECT_TRUE(renditions().isEmpty());
    EXPECT_TRUE(filesIn("renditions").isEmpty());
    EXPECT_TRUE(filesIn("uploads").isEmpty());
    const QList<AgentSide::Command> again = AgentSide::commandsOf(reported);
    ASSERT_EQ(again.size(), 2);
    EXPECT_NE(again[0].url(), url);
    EXPECT_EQ(AgentSide::bits(url, "Create-Session", {protocol}).status, 404);
}

TEST_F(RenditionRoadTest, FailuresMarkThePictureAndStopAfterThreeRetries)
{
    SoapResult visit = agent->visit();
    int issues = 0;
    for (QList<AgentSide::Command> commands;
         !(commands = AgentSide::commandsOf(visit)).isEmpty();) {
        ASSERT_LE(++issues, 10);
        QList<QByteArray> statuses;
        for (const auto &command : commands)
            statuses.append(AgentSide::failed(command.id(), "-5"));
        visit = agent->visit(AgentSide::batchStatus(commands[0].batch, statuses));
        ASSERT_TRUE(visit.ok());
        EXPECT_EQ(retrievalAttemptFailed(), "true");
    }
    EXPECT_EQ(issues, 4); // issued once and re-issued three times
    EXPECT_EQ(visit.output("nextVisitIntervalMilliseconds"), "60000");
}

TEST_F(RenditionRoadTest, UnreportedOrForeignStatusesChangeNothingButTheAddresses)
{
    const QList<AgentSide::Command> first = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(first.size(), 2);
    // Another computer of the account reports the commands failed: not its pictures.
    const QString intruder = "EEEEEEEE-0000-0000-0000-000000000000";
    ASSERT_TRUE(agent->registerComputer(intruder).ok());
    const SoapResult foreign = agent->visit(
        AgentSide::batchStatus(first[0].batch,
            {AgentSide::failed(first[0].id(), "-1"), AgentSide::failed(first[1].id(), "-1")}),
        intruder);
    ASSERT_TRUE(foreign.ok()) << foreign.fault.toStdString();
    EXPECT_FALSE(foreign.resultNode().child("CommandBatch"));
    EXPECT_EQ(retrievalAttemptFailed(), "false");

    // The commands are still out with the right computer: an upload arrives, but the statuses
    // are lost with the next visit's request.
    ASSERT_EQ(AgentSide::upload(first[0].url(), AgentSide::fakeJpeg(400, 'l')).status, 200);
    const QList<AgentSide::Command> second = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(second.size(), 2);
    QSet<QString> firstIds, secondIds;
    for (int i = 0; i < 2; ++i) {
        firstIds.insert(first[i].id());
        secondIds.insert(second[i].id());
        EXPECT_NE(second[i].url(), first[0].url());
        EXPECT_NE(second[i].url(), first[1].url());
    }
    EXPECT_EQ(firstIds, secondIds);
    EXPECT_EQ(
        AgentSide::bits(first[1].url(), "Create-Session", {AgentSide::kProtocolOffer}).status, 404);
    EXPECT_TRUE(filesIn("renditions").isEmpty()); // the orphaned upload is gone
    EXPECT_EQ(retrievalAttemptFailed(), "false");
}

TEST_F(RenditionRoadTest, WallpaperIsRenderedAndMailed)
{
    ASSERT_TRUE(agent->completeAll(agent->visit()).ok());
    ASSERT_EQ(renditions().size(), 2);
    const auto request = [&](int width, int height) {
        return agent->inSession("RequestPictureFileAssetWallpaperRendition", agent->session(),
            {{"pictureFileAssetIdentifier", picture}, {"width", QString::number(width)},
                {"height", QString::number(height)}});
    };
    EXPECT_FALSE(request(2560, 1600).ok());
    ASSERT_TRUE(request(1280, 1024).ok());
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].fields.value("width"), "1280");
    EXPECT_EQ(commands[0].fields.value("height"), "1024");
    EXPECT_EQ(commands[0].fields.value("cropMode"), "2");
    const QByteArray wallpaper = AgentSide::fakeJpeg(9000, 'w');
    ASSERT_EQ(AgentSide::upload(commands[0].url(), wallpaper).status, 200);
    ASSERT_TRUE(agent
                    ->visit(AgentSide::batchStatus(commands[0].batch,
                        {AgentSide::succeeded(commands[0].id(), 1280, 1024, wallpaper.size())}))
                    .ok());

    const QString url = renditions().value("Wallpaper").value("Url");
    ASSERT_FALSE(url.isEmpty());
    EXPECT_TRUE(SoapTestClient::get(url).body == wallpaper);
    const HttpResult outbox
        = SoapTestClient::get(service.baseUrl() + "/Pondrel/Outbox", {service.adminHeader()});
    ASSERT_EQ(outbox.status, 200);
    EXPECT_TRUE(outbox.body.contains("\"to\": \"road@example.org\""));
    EXPECT_TRUE(outbox.body.contains(url.toUtf8()));
    EXPECT_TRUE(outbox.body.contains("\"kind\": \"wallpaper\""));
}

TEST(CommandStyleTest, EveryStyleReadsTheSame)
{
    for (const QString style : {"attributes", "elements", "mixed"}) {
        SCOPED_TRACE(style.toStdString());
        RefServiceProcess service {{"--command-style", style}};
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        AgentSide agent(service, "style@example.org");
        const QString album = agent.createFolder(agent.session(), "", "A").result();
        ASSERT_TRUE(agent.createPicture(agent.session(), album, "p.jpg").ok());
        const SoapResult visit = agent.visit();
        const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
        ASSERT_EQ(commands.size(), 2);
        for (const char *field :
            {"type", "id", "width", "height", "cropMode", "RotateFlipType", "url", "return"})
            EXPECT_FALSE(commands[0].fields.value(field).isEmpty()) << field;
        const QByteArray document
            = visit.resultNode().child("CommandBatch").child("Commands").child_value();
        EXPECT_EQ(document.contains("<Command type="), style != "elements");
        EXPECT_EQ(document.contains("<width>"), style != "attributes");
    }
}

} // namespace

} // namespace pondrel
