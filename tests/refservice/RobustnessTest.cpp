// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/RefServiceProcess.h"
#include "tests/refservice/SoapTestClient.h"

#include <QSet>

#include <curl/curl.h>
#include <sqlite3.h>
#include <zlib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QString kComputer = "BBBBBBBB-0000-0000-0000-000000000001";
const QString kPublishing = "/Pondrel/PublishingServices.asmx";
const QString kPublishingNamespace = SoapTestClient::serviceNamespace("PublishingServices");

QByteArray gunzip(const QByteArray &compressed)
{
    z_stream stream {};
    if (inflateInit2(&stream, 15 + 16) != Z_OK)
        return {};
    QByteArray out;
    char buffer[16384];
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

class RobustnessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        soap = std::make_unique<SoapTestClient>(service.baseUrl());
    }

    QString signedOnSession()
    {
        EXPECT_TRUE(soap->createAccount("kim@example.org", "password1").ok());
        return soap->signOn(kComputer, "kim@example.org", "password1").result();
    }

    void expectStillServing()
    {
        const SoapResult check = soap->checkComputer(kComputer);
        EXPECT_TRUE(check.ok()) << check.fault.toStdString()
                                << check.http.transportError.toStdString();
    }

    RefServiceProcess service;
    std::unique_ptr<SoapTestClient> soap;
};

TEST_F(RobustnessTest, BadRequestsAreFaultsAndTheServerGoesOn)
{
    struct Case
    {
        const char *what;
        QByteArray body;
        QString message;
    };
    const QList<Case> cases = {
        {"truncated XML",
            "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Bo",
            "not well-formed"},
        {"not an envelope", "<hello/>", "not a SOAP envelope"},
        {"empty body",
            "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
            "<soap:Body></soap:Body></soap:Envelope>",
            "The SOAP body names no operation."},
        {"unknown operation", SoapTestClient::envelope("LaunchRocket", kPublishingNamespace, {}),
            "Unknown operation LaunchRocket."},
        {"missing parameter",
            SoapTestClient::envelope("GetAssets", kPublishingNamespace, {{"parentIdentifier", ""}}),
            "The parameter sessionIdentifier is missing."},
        {"wrong namespace",
            SoapTestClient::envelope("SignOff", "urn:other", {{"sessionIdentifier", "x"}}),
            "not served here"},
        {"wrong service key",
            SoapTestClient::envelope("CreateAccount", kPublishingNamespace,
                {{"serviceKey", "nope"}, {"emailAddress", "x@example.org"},
                    {"password", "secret-enough"}}),
            "Invalid service key."},
        {"body over 16 MiB",
            SoapTestClient::envelope("SignOff", kPublishingNamespace,
                {{"sessionIdentifier", QString(17 * 1024 * 1024, u'x')}}),
            "The request is larger than 16 MiB."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const SoapResult result = soap->postRaw(kPublishing, c.body);
        EXPECT_EQ(result.http.status, 500);
        EXPECT_EQ(result.http.header("Content-Type"), QByteArray("text/xml; charset=utf-8"));
        EXPECT_TRUE(result.fault.startsWith("Server was unable to process request. ---> "))
            << result.fault.toStdString();
        EXPECT_TRUE(result.faultMessage().contains(c.message)) << result.fault.toStdString();
    }
    expectStillServing();

    // Half a million nested elements inside a parameter are read without exhausting the stack.
    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    constexpr int kDepth = 500000;
    const SoapResult visit = soap->collection("Visit",
        {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", kComputer},
            {"@previousCommandBatchesStatuses",
                QString("<a>").repeated(kDepth) + QString("</a>").repeated(kDepth)}});
    EXPECT_TRUE(visit.ok()) << visit.fault.toStdString() << visit.http.transportError.toStdString();
    expectStillServing();
}

TEST_F(RobustnessTest, RepliesAreGzippedWhenAsked)
{
    const QByteArray body = SoapTestClient::envelope(
        "GetAccountInfo", kPublishingNamespace, {{"sessionIdentifier", signedOnSession()}});
    const QString url = service.baseUrl() + kPublishing;
    const HttpResult zipped = SoapTestClient::request(
        url, "POST", body, {"Content-Type: text/xml; charset=utf-8", "Accept-Encoding: gzip"});
    ASSERT_EQ(zipped.status, 200);
    EXPECT_EQ(zipped.header("Content-Encoding"), QByteArray("gzip"));
    const SoapResult unzipped = SoapTestClient::parseReply(
        HttpResult {zipped.status, gunzip(zipped.body), zipped.headers, {}});
    ASSERT_TRUE(unzipped.ok());
    EXPECT_STREQ(unzipped.response.name(), "GetAccountInfoResponse");
    EXPECT_EQ(childText(unzipped.resultNode().child("AccountInformation").child("AccountInfo"),
                  "EmailAddress"),
        "kim@example.org");

    const HttpResult plain
        = SoapTestClient::request(url, "POST", body, {"Content-Type: text/xml; charset=utf-8"});
    EXPECT_TRUE(plain.header("Content-Encoding").isEmpty());
    EXPECT_TRUE(plain.body.contains("<GetAccountInfoResult>"));
}

// An album of 3,000 pictures (every seventh without renditions), put straight into the database;
// SQLite's message when that failed.
std::string fillAlbum(const QString &dataDirectory, const QString &albumId)
{
    sqlite3 *raw = nullptr;
    const int opened
        = sqlite3_open((dataDirectory + "/refservice.sqlite").toUtf8().constData(), &raw);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> database(raw, sqlite3_close);
    if (opened != SQLITE_OK)
        return "cannot open the database";
    sqlite3_busy_timeout(database.get(), 30'000);
    const QByteArray album = "'" + albumId.toUtf8() + "'";
    const QByteArray sql
        = "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
          "INSERT INTO assets (id, account_id, parent_id, kind, origin_computer, name, created, "
          "modified, media_type, file_size, hash, moniker, width, height) "
          "SELECT printf('pic-%05d', i), a.account_id, a.id, 'picture', '"
        + kComputer.toUtf8()
        + "', printf('IMG_%d.jpg', i), a.created, a.created, 'image/jpeg', 1000 + i, "
          "printf('%040x', i), printf('M-%d', i), 4000, 3000 FROM n, assets a WHERE a.id = "
        + album
        + "; INSERT INTO renditions (id, asset_id, name, width, height, file_size, file_name, "
          "etag, created) SELECT prefix || id, id, label, 200, 150, 9000, 'r.jpg', 'e', created "
          "FROM assets, (SELECT 't-' AS prefix, 'Thumbnail' AS label UNION ALL "
          "SELECT 'v-', 'Preview') WHERE parent_id = "
        + album + " AND CAST(substr(id, 5) AS INTEGER) % 7 <> 0; COMMIT;";
    if (sqlite3_exec(database.get(), sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(database.get());
    return {};
}

// A listing of megabytes is sent by libmicrohttpd long after the handler returned, while other
// connections build theirs: asked for three times over each of four connections at once, plain
// and gzipped, it arrives whole and alike everywhere, every picture once with its own renditions.
TEST_F(RobustnessTest, ABigListingArrivesWholeOnEveryConnection)
{
    const QString session = signedOnSession();
    const QString album = soap->createFolder(session, {}, "Big").result();
    ASSERT_FALSE(album.isEmpty());
    ASSERT_EQ(fillAlbum(service.dataDirectory(), album), "");
    const QByteArray body = SoapTestClient::envelope("GetAssets", kPublishingNamespace,
        {{"sessionIdentifier", session}, {"parentIdentifier", album}});
    const QString url = service.baseUrl() + kPublishing;
    constexpr int kConnections = 4;
    constexpr int kRounds = 3;
    std::vector<QByteArray> replies(kConnections * kRounds);
    std::vector<std::thread> threads;
    for (int t = 0; t < kConnections; ++t) {
        threads.emplace_back([&, t] {
            std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> connection(
                curl_easy_init(), curl_easy_cleanup);
            QList<QByteArray> headers {"Content-Type: text/xml; charset=utf-8"};
            if (t % 2 == 1)
                headers.append("Accept-Encoding: gzip");
            for (int round = 0; round < kRounds; ++round) {
                const HttpResult reply
                    = SoapTestClient::request(url, "POST", body, headers, connection.get());
                replies[std::size_t(t * kRounds + round)]
                    = t % 2 == 1 ? gunzip(reply.body) : reply.body;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(replies[0].count("<PictureFileAsset>"), 3000);
    EXPECT_EQ(replies[0].count("<PictureFileAssetRenditions/>"), 428);
    EXPECT_EQ(replies[0].count("<PictureFileAssetRendition>"), 2 * (3000 - 428));
    EXPECT_TRUE(replies[0].contains(
        "<Url>" + service.baseUrl().toUtf8() + "/Pondrel/Renditions/v-pic-02999.jpg</Url>"));
    EXPECT_TRUE(replies[0].endsWith("</soap:Envelope>"));
    for (const QByteArray &reply : replies)
        EXPECT_EQ(reply, replies[0]);
}

// 8 keep-alive connections, 25 album creations each, all at once: every one answered, every
// one stored exactly once. Then a restart: every committed change is still there.
TEST_F(RobustnessTest, TwoHundredConcurrentRequestsOverEightConnectionsSurviveARestart)
{
    const QString session = signedOnSession();
    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    const QString url = service.baseUrl() + kPublishing;
    constexpr int kConnections = 8;
    constexpr int kPerConnection = 25;
    std::atomic<int> succeeded {0};
    std::atomic<long> connectionsOpened {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kConnections; ++t) {
        threads.emplace_back([&, t] {
            std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> connection(
                curl_easy_init(), curl_easy_cleanup);
            for (int i = 0; i < kPerConnection; ++i) {
                const HttpResult reply = SoapTestClient::request(url, "POST",
                    SoapTestClient::envelope("CreateFolderAsset", kPublishingNamespace,
                        {{"sessionIdentifier", session}, {"parentIdentifier", ""},
                            {"folderName", QString("album-%1-%2").arg(t).arg(i)}}),
                    {"Content-Type: text/xml; charset=utf-8"}, connection.get());
                succeeded
                    += reply.status == 200 && reply.body.contains("<CreateFolderAssetResult>");
                connectionsOpened += reply.newConnections;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(succeeded.load(), kConnections * kPerConnection);
    // Keep-alive held: each client used one connection for all its requests.
    EXPECT_EQ(connectionsOpened.load(), kConnections);

    const QString album = soap->createFolder(session, "", "Survivor").result();
    ASSERT_TRUE(soap->createPicture(session, album, "one.jpg").ok());
    ASSERT_TRUE(service.restart()) << service.errorMsg().toStdString();
    soap = std::make_unique<SoapTestClient>(service.baseUrl());

    // The session, the computer and the tree all outlive the process.
    const SoapResult listing = soap->getAssets(session, QString());
    ASSERT_TRUE(listing.ok()) << listing.fault.toStdString();
    QSet<QString> names;
    QSet<QString> identifiers;
    for (pugi::xml_node folder : listing.resultNode().child("Assets").children("FolderAsset")) {
        names.insert(childText(folder, "Name"));
        identifiers.insert(childText(folder, "UniqueIdentifier"));
        if (childText(folder, "Name") == "Survivor") {
            EXPECT_EQ(childText(folder, "AssetType"), "Local");
        }
    }
    EXPECT_EQ(names.size(), kConnections * kPerConnection + 1);
    EXPECT_EQ(identifiers.size(), kConnections * kPerConnection + 1);
    EXPECT_TRUE(names.contains("Survivor"));
    const SoapResult inside = soap->getAssets(session, album);
    EXPECT_EQ(childText(inside.resultNode().child("Assets").child("PictureFileAsset"), "Name"),
        "one.jpg");
    EXPECT_EQ(soap->checkComputer(kComputer).result(), "true");
    EXPECT_TRUE(soap->signOn(kComputer, "kim@example.org", "password1").ok());
}

} // namespace

} // namespace pondrel
