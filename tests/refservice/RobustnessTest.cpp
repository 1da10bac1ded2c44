#include "RefServiceProcess.h"
#include "SoapTestClient.h"

#include <QSet>

#include <curl/curl.h>
#include <zlib.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

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
