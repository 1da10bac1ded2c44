#include "UploadTestSupport.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

namespace {

pugi::xml_node pictureRecord(const SoapResult &listing)
{
    return listing.resultNode().child("Assets").child("PictureFileAsset");
}

QMap<QString, pugi::xml_node> renditionsOf(
    const pugi::xml_node &record, const char *list, const char *item)
{
    QMap<QString, pugi::xml_node> renditions;
    for (pugi::xml_node rendition : record.child(list).children(item))
        renditions.insert(childText(rendition, "Name"), rendition);
    return renditions;
}

class RenditionRoadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        agent = std::make_unique<AgentSide>(service, QStringLiteral("road@example.org"));
        ASSERT_FALSE(agent->session().isEmpty());
        album = agent->soap()
                    .createFolder(agent->session(), QString(), QStringLiteral("Road"))
                    .result();
        const SoapResult created = agent->soap().createPicture(
            agent->session(), album, QStringLiteral("road.jpg"), QStringLiteral("MONIKER-ROAD"));
        ASSERT_TRUE(created.ok()) << created.fault.toStdString();
        picture = created.result();
    }

    QStringList renditionFiles() const
    {
        return QDir(service.dataDirectory() + QStringLiteral("/renditions")).entryList(QDir::Files);
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
    EXPECT_TRUE(first.output(QStringLiteral("nextVisitIntervalMilliseconds")).isEmpty());
    EXPECT_FALSE(first.response.child("nextVisitIntervalMilliseconds"));
    const pugi::xml_node batch = first.resultNode().child("CommandBatch");
    ASSERT_TRUE(batch);
    EXPECT_FALSE(batch.next_sibling("CommandBatch"));
    EXPECT_EQ(childText(batch, "Moniker"), QStringLiteral("MONIKER-ROAD"));
    EXPECT_EQ(childText(batch, "Hash"), QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    EXPECT_EQ(childText(batch, "AssetInternalIdentifier"), picture);
    EXPECT_FALSE(childText(batch, "UniqueIdentifier").isEmpty());

    const QList<AgentSide::Command> commands = AgentSide::commandsOf(first);
    ASSERT_EQ(commands.size(), 2);
    QMap<QString, AgentSide::Command> bySize;
    for (const auto &command : commands) {
        EXPECT_EQ(command.fields.value("type"), QStringLiteral("RenderPicture"));
        EXPECT_EQ(command.fields.value("cropMode"), QStringLiteral("1"));
        EXPECT_EQ(command.fields.value("RotateFlipType"), QStringLiteral("Rotate90FlipNone"));
        EXPECT_EQ(command.fields.value("return"), QStringLiteral("fileSize,width,height"));
        EXPECT_TRUE(command.fields.value("url").startsWith(service.baseUrl() + "/Pondrel/Upload/"));
        EXPECT_EQ(command.fields.value("width"), command.fields.value("height"));
        bySize.insert(command.fields.value("width"), command);
    }
    ASSERT_TRUE(bySize.contains("200") && bySize.contains("1024"));
    EXPECT_NE(bySize["200"].fields.value("url"), bySize["1024"].fields.value("url"));

    const QByteArray thumbnail = AgentSide::fakeJpeg(3000, 't');
    const QByteArray preview = AgentSide::fakeJpeg(70000, 'p');
    ASSERT_EQ(AgentSide::upload(bySize["200"].fields.value("url"), thumbnail).status, 200);
    ASSERT_EQ(AgentSide::upload(bySize["1024"].fields.value("url"), preview, 3).status, 200);

    // Uploaded, but not reported yet: nothing is shown.
    EXPECT_TRUE(renditionsOf(pictureRecord(agent->soap().getAssets(agent->session(), album)),
        "PictureFileAssetRenditions", "PictureFileAssetRendition")
                    .isEmpty());

    const QString batchId = childText(batch, "UniqueIdentifier");
    const SoapResult second = agent->visit(AgentSide::batchStatus(batchId,
        {AgentSide::succeeded(bySize["200"].fields.value("id"), 200, 133, thumbnail.size()),
            AgentSide::succeeded(bySize["1024"].fields.value("id"), 1024, 683, preview.size())}));
    ASSERT_TRUE(second.ok());
    EXPECT_FALSE(second.resultNode().child("CommandBatch"));
    EXPECT_EQ(
        second.output(QStringLiteral("nextVisitIntervalMilliseconds")), QStringLiteral("60000"));

    const SoapResult listing = agent->soap().getAssets(agent->session(), album);
    const pugi::xml_node record = pictureRecord(listing);
    const auto renditions
        = renditionsOf(record, "PictureFileAssetRenditions", "PictureFileAssetRendition");
    ASSERT_EQ(renditions.size(), 2);
    EXPECT_EQ(childText(record, "RetrievalAttemptFailed"), QStringLiteral("false"));
    const QMap<QString, QByteArray> expected {{"Thumbnail", thumbnail}, {"Preview", preview}};
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const pugi::xml_node rendition = renditions.value(it.key());
        EXPECT_EQ(childText(rendition, "FileSize"), QString::number(it.value().size()));
        const HttpResult download
            = SoapTestClient::request(childText(rendition, "Url"), "GET", QByteArray());
        EXPECT_EQ(download.status, 200);
        EXPECT_EQ(download.header("Content-Type"), QByteArray("image/jpeg"));
        EXPECT_EQ(download.header("Content-Length"), QByteArray::number(it.value().size()));
        EXPECT_TRUE(download.body == it.value()) << it.key().toStdString();
        const QByteArray etag = download.header("ETag");
        ASSERT_FALSE(etag.isEmpty());
        EXPECT_EQ(SoapTestClient::request(
                      childText(rendition, "Url"), "GET", QByteArray(), {"If-None-Match: " + etag})
                      .status,
            304);
    }
    EXPECT_EQ(childText(renditions.value("Thumbnail"), "Width"), QStringLiteral("200"));
    EXPECT_EQ(childText(renditions.value("Thumbnail"), "Height"), QStringLiteral("133"));
    EXPECT_EQ(childText(renditions.value("Preview"), "Width"), QStringLiteral("1024"));

    // The album shows its first picture's thumbnail.
    const SoapResult root = agent->soap().getAssets(agent->session(), QString());
    const pugi::xml_node albumRecord = root.resultNode().child("Assets").child("FolderAsset");
    const pugi::xml_node albumThumbnail
        = albumRecord.child("FolderAssetRenditions").child("FolderAssetRendition");
    EXPECT_EQ(childText(albumThumbnail, "Name"), QStringLiteral("Thumbnail"));
    EXPECT_EQ(childText(albumThumbnail, "Url"), childText(renditions.value("Thumbnail"), "Url"));

    // The address is single-use.
    EXPECT_EQ(AgentSide::upload(bySize["200"].fields.value("url"), thumbnail).status, 410);

    // Destroying the picture takes its files along.
    EXPECT_EQ(renditionFiles().size(), 2);
    ASSERT_TRUE(agent->soap()
                    .publishing(QStringLiteral("DestroyPictureFileAsset"),
                        {{QStringLiteral("sessionIdentifier"), agent->session()},
                            {QStringLiteral("assetIdentifier"), picture}})
                    .ok());
    EXPECT_TRUE(renditionFiles().isEmpty());
    EXPECT_EQ(
        SoapTestClient::request(childText(renditions.value("Preview"), "Url"), "GET", {}).status,
        404);
}

TEST_F(RenditionRoadTest, BitsErrorPathsLeaveNothingBehind)
{
    const SoapResult visit = agent->visit();
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
    ASSERT_EQ(commands.size(), 2);
    const QString url = commands[0].fields.value("url");
    const QByteArray protocol = "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}";

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

    const HttpResult outOfOrder = AgentSide::bits(
        url, "Fragment", {session, "Content-Range: bytes 500-999/1000"}, bytes.mid(500));
    EXPECT_EQ(outOfOrder.status, 416);
    EXPECT_EQ(outOfOrder.header("BITS-Received-Content-Range"), QByteArray("0"));
    const HttpResult lying = AgentSide::bits(
        url, "Fragment", {session, "Content-Range: bytes 0-99/1000"}, bytes.left(50));
    EXPECT_EQ(lying.status, 400);
    const HttpResult tooBig = AgentSide::bits(
        url, "Fragment", {session, "Content-Range: bytes 0-9/100000000"}, bytes.left(10));
    EXPECT_EQ(tooBig.status, 413);
    const HttpResult overLimit
        = AgentSide::bits(url, "Fragment", {session, "Content-Range: bytes 0-67108864/67108865"},
            QByteArray(64 * 1024 * 1024 + 1, 'o'));
    EXPECT_EQ(overLimit.status, 413);
    EXPECT_FALSE(overLimit.header("BITS-Error-Code").isEmpty());
    const HttpResult half = AgentSide::bits(
        url, "Fragment", {session, "Content-Range: bytes 0-499/1000"}, bytes.left(500));
    EXPECT_EQ(half.status, 200);
    EXPECT_EQ(half.header("BITS-Received-Content-Range"), QByteArray("500"));
    // Closing half a file is refused; cancelling drops it.
    EXPECT_EQ(AgentSide::bits(url, "Close-Session", {session}).status, 400);
    EXPECT_EQ(AgentSide::bits(url, "Cancel-Session", {session}).status, 200);
    EXPECT_EQ(AgentSide::bits(
                  url, "Fragment", {session, "Content-Range: bytes 500-999/1000"}, bytes.mid(500))
                  .status,
        400);

    // Not a JPEG: refused at close.
    const QString other = commands[1].fields.value("url");
    EXPECT_EQ(AgentSide::upload(other, QByteArray(100, 'a')).status, 400);

    // The agent says it succeeded, but nothing complete arrived: no rendition, and the commands
    // come again with fresh addresses.
    const SoapResult reported = agent->visit(AgentSide::batchStatus(commands[0].batch,
        {AgentSide::succeeded(commands[0].fields.value("id"), 200, 200, 1000),
            AgentSide::succeeded(commands[1].fields.value("id"), 1024, 1024, 100)}));
    ASSERT_TRUE(reported.ok());
    EXPECT_TRUE(renditionsOf(pictureRecord(agent->soap().getAssets(agent->session(), album)),
        "PictureFileAssetRenditions", "PictureFileAssetRendition")
                    .isEmpty());
    EXPECT_TRUE(renditionFiles().isEmpty());
    EXPECT_TRUE(QDir(service.dataDirectory() + QStringLiteral("/uploads"))
                    .entryList(QDir::Files)
                    .isEmpty());
    const QList<AgentSide::Command> again = AgentSide::commandsOf(reported);
    ASSERT_EQ(again.size(), 2);
    EXPECT_NE(again[0].fields.value("url"), url);
    EXPECT_EQ(AgentSide::bits(url, "Create-Session", {protocol}).status, 404);
}

TEST_F(RenditionRoadTest, FailuresMarkThePictureAndStopAfterThreeRetries)
{
    SoapResult visit = agent->visit();
    int issues = 0;
    while (true) {
        const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
        if (commands.isEmpty())
            break;
        ++issues;
        ASSERT_LE(issues, 10);
        QList<QByteArray> statuses;
        for (const auto &command : commands)
            statuses.append(AgentSide::failed(command.fields.value("id"), QStringLiteral("-5")));
        visit = agent->visit(AgentSide::batchStatus(commands[0].batch, statuses));
        ASSERT_TRUE(visit.ok());
        EXPECT_EQ(childText(pictureRecord(agent->soap().getAssets(agent->session(), album)),
                      "RetrievalAttemptFailed"),
            QStringLiteral("true"));
    }
    EXPECT_EQ(issues, 4); // issued once and re-issued three times
    EXPECT_EQ(
        visit.output(QStringLiteral("nextVisitIntervalMilliseconds")), QStringLiteral("60000"));
}

TEST_F(RenditionRoadTest, UnreportedCommandsGoOutAgainWithFreshAddresses)
{
    const QList<AgentSide::Command> first = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(first.size(), 2);
    // An upload arrived, but the statuses were lost with the next visit's request.
    ASSERT_EQ(
        AgentSide::upload(first[0].fields.value("url"), AgentSide::fakeJpeg(400, 'l')).status, 200);
    const QList<AgentSide::Command> second = AgentSide::commandsOf(agent->visit());
    ASSERT_EQ(second.size(), 2);
    QSet<QString> firstIds, secondIds;
    for (int i = 0; i < 2; ++i) {
        firstIds.insert(first[i].fields.value("id"));
        secondIds.insert(second[i].fields.value("id"));
        EXPECT_NE(second[i].fields.value("url"), first[0].fields.value("url"));
        EXPECT_NE(second[i].fields.value("url"), first[1].fields.value("url"));
    }
    EXPECT_EQ(firstIds, secondIds);
    const QByteArray protocol = "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}";
    EXPECT_EQ(
        AgentSide::bits(first[1].fields.value("url"), "Create-Session", {protocol}).status, 404);
    EXPECT_TRUE(renditionFiles().isEmpty()); // the orphaned upload is gone
    const SoapResult listing = agent->soap().getAssets(agent->session(), album);
    EXPECT_EQ(childText(pictureRecord(listing), "RetrievalAttemptFailed"), QStringLiteral("false"));
}

TEST_F(RenditionRoadTest, StatusesFromAnotherComputerChangeNothing)
{
    const SoapResult first = agent->visit();
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(first);
    ASSERT_EQ(commands.size(), 2);
    const QString intruder = QStringLiteral("EEEEEEEE-0000-0000-0000-000000000000");
    ASSERT_TRUE(agent->soap().registerComputer(intruder).ok());
    const QByteArray statuses = AgentSide::batchStatus(commands[0].batch,
        {AgentSide::failed(commands[0].fields.value("id"), QStringLiteral("-1")),
            AgentSide::failed(commands[1].fields.value("id"), QStringLiteral("-1"))});
    const SoapResult foreign = agent->visit(statuses, intruder);
    ASSERT_TRUE(foreign.ok()) << foreign.fault.toStdString();
    EXPECT_FALSE(foreign.resultNode().child("CommandBatch")); // not its pictures
    const SoapResult listing = agent->soap().getAssets(agent->session(), album);
    EXPECT_EQ(childText(pictureRecord(listing), "RetrievalAttemptFailed"), QStringLiteral("false"));
    // The commands are still out with the right computer: its upload works.
    EXPECT_EQ(
        AgentSide::upload(commands[0].fields.value("url"), AgentSide::fakeJpeg(300, 'o')).status,
        200);
}

TEST_F(RenditionRoadTest, WallpaperIsRenderedAndMailed)
{
    // Settle the ordinary renditions first.
    const SoapResult first = agent->visit();
    QList<QByteArray> done;
    for (const auto &command : AgentSide::commandsOf(first)) {
        const QByteArray bytes = AgentSide::fakeJpeg(500, 'a');
        ASSERT_EQ(AgentSide::upload(command.fields.value("url"), bytes).status, 200);
        done.append(AgentSide::succeeded(command.fields.value("id"), 200, 200, bytes.size()));
    }
    ASSERT_TRUE(
        agent->visit(AgentSide::batchStatus(AgentSide::commandsOf(first)[0].batch, done)).ok());

    auto request = [&](int width, int height) {
        return agent->soap().publishing(QStringLiteral("RequestPictureFileAssetWallpaperRendition"),
            {{QStringLiteral("sessionIdentifier"), agent->session()},
                {QStringLiteral("pictureFileAssetIdentifier"), picture},
                {QStringLiteral("width"), QString::number(width)},
                {QStringLiteral("height"), QString::number(height)}});
    };
    EXPECT_FALSE(request(2560, 1600).ok());
    ASSERT_TRUE(request(1280, 1024).ok());
    const SoapResult visit = agent->visit();
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].fields.value("width"), QStringLiteral("1280"));
    EXPECT_EQ(commands[0].fields.value("height"), QStringLiteral("1024"));
    EXPECT_EQ(commands[0].fields.value("cropMode"), QStringLiteral("2"));
    const QByteArray wallpaper = AgentSide::fakeJpeg(9000, 'w');
    ASSERT_EQ(AgentSide::upload(commands[0].fields.value("url"), wallpaper).status, 200);
    ASSERT_TRUE(agent
                    ->visit(AgentSide::batchStatus(commands[0].batch,
                        {AgentSide::succeeded(
                            commands[0].fields.value("id"), 1280, 1024, wallpaper.size())}))
                    .ok());

    const SoapResult listing = agent->soap().getAssets(agent->session(), album);
    const auto renditions = renditionsOf(
        pictureRecord(listing), "PictureFileAssetRenditions", "PictureFileAssetRendition");
    ASSERT_TRUE(renditions.contains("Wallpaper"));
    const QString url = childText(renditions.value("Wallpaper"), "Url");
    EXPECT_TRUE(SoapTestClient::request(url, "GET", {}).body == wallpaper);

    const HttpResult outbox
        = SoapTestClient::request(service.baseUrl() + "/Pondrel/Outbox", "GET", {});
    ASSERT_EQ(outbox.status, 200);
    EXPECT_TRUE(outbox.body.contains("\"to\": \"road@example.org\""));
    EXPECT_TRUE(outbox.body.contains(url.toUtf8()));
    EXPECT_TRUE(outbox.body.contains("\"kind\": \"wallpaper\""));
}

class CommandStyleTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(CommandStyleTest, EveryStyleReadsTheSame)
{
    RefServiceProcess service {
        {QStringLiteral("--command-style"), QString::fromLatin1(GetParam())}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    AgentSide agent(service, QStringLiteral("style@example.org"));
    const QString album
        = agent.soap().createFolder(agent.session(), QString(), QStringLiteral("A")).result();
    ASSERT_TRUE(agent.soap().createPicture(agent.session(), album, QStringLiteral("p.jpg")).ok());
    const SoapResult visit = agent.visit();
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(visit);
    ASSERT_EQ(commands.size(), 2);
    for (const char *field :
        {"type", "id", "width", "height", "cropMode", "RotateFlipType", "url", "return"})
        EXPECT_FALSE(commands[0].fields.value(QString::fromLatin1(field)).isEmpty()) << field;

    const QByteArray document
        = visit.resultNode().child("CommandBatch").child("Commands").child_value();
    const QString style = QString::fromLatin1(GetParam());
    EXPECT_EQ(document.contains("<Command type="), style != QLatin1String("elements"));
    EXPECT_EQ(document.contains("<width>"), style != QLatin1String("attributes"));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, CommandStyleTest, ::testing::Values("attributes", "elements", "mixed"));

} // namespace
