#include "RefServiceProcess.h"
#include "SoapTestClient.h"

#include <QSet>

#include <curl/curl.h>
#include <zlib.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

const QString kComputer = QStringLiteral("BBBBBBBB-0000-0000-0000-000000000001");

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
        EXPECT_TRUE(soap->createAccount(QStringLiteral("kim@example.org"), "password1").ok());
        return soap->signOn(kComputer, QStringLiteral("kim@example.org"), "password1").result();
    }

    void expectStillServing()
    {
        const SoapResult check = soap->collection(QStringLiteral("CheckComputer"),
            {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
                {QStringLiteral("computerIdentifier"), kComputer}});
        EXPECT_TRUE(check.ok()) << check.fault.toStdString()
                                << check.http.transportError.toStdString();
    }

    RefServiceProcess service;
    std::unique_ptr<SoapTestClient> soap;
};

TEST_F(RobustnessTest, BadRequestsAreFaultsAndTheServerGoesOn)
{
    const QString path = QStringLiteral("/Pondrel/PublishingServices.asmx");
    struct Case
    {
        const char *what;
        QByteArray body;
        QString message;
    };
    const QString ns = QString::fromLatin1(SoapTestClient::kNamespaceBase)
        + QStringLiteral("/Pondrel/PublishingServices");
    const QList<Case> cases = {
        {"truncated XML",
            "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Bo",
            QStringLiteral("not well-formed")},
        {"not an envelope", "<hello/>", QStringLiteral("not a SOAP envelope")},
        {"empty body", SoapTestClient::envelope(QString(), ns, {}).replace("<>", ""),
            QStringLiteral("")},
        {"unknown operation", SoapTestClient::envelope(QStringLiteral("LaunchRocket"), ns, {}),
            QStringLiteral("Unknown operation LaunchRocket.")},
        {"missing parameter",
            SoapTestClient::envelope(
                QStringLiteral("GetAssets"), ns, {{QStringLiteral("parentIdentifier"), QString()}}),
            QStringLiteral("The parameter sessionIdentifier is missing.")},
        {"wrong namespace",
            SoapTestClient::envelope(QStringLiteral("SignOff"), QStringLiteral("urn:other"),
                {{QStringLiteral("sessionIdentifier"), QStringLiteral("x")}}),
            QStringLiteral("not served here")},
        {"wrong service key",
            SoapTestClient::envelope(QStringLiteral("CreateAccount"), ns,
                {{QStringLiteral("serviceKey"), QStringLiteral("nope")},
                    {QStringLiteral("emailAddress"), QStringLiteral("x@example.org")},
                    {QStringLiteral("password"), QStringLiteral("secret-enough")}}),
            QStringLiteral("Invalid service key.")},
    };
    for (const Case &c : cases) {
        const SoapResult result = soap->postRaw(path, c.body);
        EXPECT_EQ(result.http.status, 500) << c.what;
        EXPECT_EQ(result.http.header("Content-Type"), QByteArray("text/xml; charset=utf-8"))
            << c.what;
        EXPECT_TRUE(
            result.fault.startsWith(QStringLiteral("Server was unable to process request. ---> ")))
            << c.what << ": " << result.fault.toStdString();
        EXPECT_TRUE(result.faultMessage().contains(c.message))
            << c.what << ": " << result.fault.toStdString();
    }
    expectStillServing();
}

TEST_F(RobustnessTest, DeeplyNestedParametersAreHarmless)
{
    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    constexpr int kDepth = 500000;
    QByteArray nested;
    nested.reserve(kDepth * 7);
    for (int i = 0; i < kDepth; ++i)
        nested += "<a>";
    for (int i = 0; i < kDepth; ++i)
        nested += "</a>";
    const QByteArray body
        = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
          "<soap:Body><Visit xmlns=\"http://services.trevane.com/Pondrel/CollectionServices\">"
          "<serviceKey>pondrel-desktop</serviceKey><computerIdentifier>"
        + kComputer.toUtf8() + "</computerIdentifier><previousCommandBatchesStatuses>" + nested
        + "</previousCommandBatchesStatuses></Visit></soap:Body></soap:Envelope>";
    const SoapResult visit
        = soap->postRaw(QStringLiteral("/Pondrel/CollectionServices.asmx"), body);
    EXPECT_TRUE(visit.ok()) << visit.fault.toStdString() << visit.http.transportError.toStdString();
    expectStillServing();
}

TEST_F(RobustnessTest, OversizedBodyIsRefused)
{
    const QByteArray padding(17 * 1024 * 1024, 'x');
    const QByteArray body = SoapTestClient::envelope(QStringLiteral("SignOff"),
        QString::fromLatin1(SoapTestClient::kNamespaceBase)
            + QStringLiteral("/Pondrel/PublishingServices"),
        {{QStringLiteral("sessionIdentifier"), QString::fromLatin1(padding)}});
    const SoapResult result
        = soap->postRaw(QStringLiteral("/Pondrel/PublishingServices.asmx"), body);
    EXPECT_EQ(result.http.status, 500);
    EXPECT_EQ(result.faultMessage(), QStringLiteral("The request is larger than 16 MiB."));
    expectStillServing();
}

TEST_F(RobustnessTest, RepliesAreGzippedWhenAsked)
{
    const QString session = signedOnSession();
    const QByteArray body = SoapTestClient::envelope(QStringLiteral("GetAccountInfo"),
        QString::fromLatin1(SoapTestClient::kNamespaceBase)
            + QStringLiteral("/Pondrel/PublishingServices"),
        {{QStringLiteral("sessionIdentifier"), session}});
    const HttpResult zipped = SoapTestClient::request(
        service.baseUrl() + QStringLiteral("/Pondrel/PublishingServices.asmx"), "POST", body,
        {"Content-Type: text/xml; charset=utf-8", "Accept-Encoding: gzip"});
    ASSERT_EQ(zipped.status, 200);
    EXPECT_EQ(zipped.header("Content-Encoding"), QByteArray("gzip"));
    const SoapResult unzipped = SoapTestClient::parseReply(
        HttpResult {zipped.status, gunzip(zipped.body), zipped.headers, {}});
    ASSERT_TRUE(unzipped.ok());
    EXPECT_EQ(
        QString::fromUtf8(unzipped.response.name()), QStringLiteral("GetAccountInfoResponse"));
    EXPECT_EQ(childText(unzipped.resultNode().child("AccountInformation").child("AccountInfo"),
                  "EmailAddress"),
        QStringLiteral("kim@example.org"));

    const HttpResult plain = SoapTestClient::request(
        service.baseUrl() + QStringLiteral("/Pondrel/PublishingServices.asmx"), "POST", body,
        {"Content-Type: text/xml; charset=utf-8"});
    EXPECT_TRUE(plain.header("Content-Encoding").isEmpty());
    EXPECT_TRUE(plain.body.contains("<GetAccountInfoResult>"));
}

// 8 keep-alive connections, 25 album creations each, all at once: every one answered, every
// one stored exactly once.
TEST_F(RobustnessTest, TwoHundredConcurrentRequestsOverEightConnections)
{
    const QString session = signedOnSession();
    const QByteArray url
        = (service.baseUrl() + QStringLiteral("/Pondrel/PublishingServices.asmx")).toUtf8();
    constexpr int kConnections = 8;
    constexpr int kPerConnection = 25;
    std::atomic<int> succeeded {0};
    std::atomic<long> connectionsOpened {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kConnections; ++t) {
        threads.emplace_back([&, t] {
            std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(
                curl_easy_init(), curl_easy_cleanup);
            curl_slist *headers
                = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
            for (int i = 0; i < kPerConnection; ++i) {
                const QByteArray body
                    = SoapTestClient::envelope(QStringLiteral("CreateFolderAsset"),
                        QString::fromLatin1(SoapTestClient::kNamespaceBase)
                            + QStringLiteral("/Pondrel/PublishingServices"),
                        {{QStringLiteral("sessionIdentifier"), session},
                            {QStringLiteral("parentIdentifier"), QString()},
                            {QStringLiteral("folderName"),
                                QStringLiteral("album-%1-%2").arg(t).arg(i)}});
                QByteArray reply;
                curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
                curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
                curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers);
                curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.constData());
                curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, long(body.size()));
                curl_easy_setopt(
                    curl.get(), CURLOPT_WRITEFUNCTION,
                    +[](char *data, size_t size, size_t count, void *target) {
                        static_cast<QByteArray *>(target)->append(data, qsizetype(size * count));
                        return size * count;
                    });
                curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &reply);
                long status = 0;
                if (curl_easy_perform(curl.get()) == CURLE_OK) {
                    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
                    if (status == 200 && reply.contains("<CreateFolderAssetResult>"))
                        ++succeeded;
                    long opened = 0;
                    curl_easy_getinfo(curl.get(), CURLINFO_NUM_CONNECTS, &opened);
                    connectionsOpened += opened;
                }
            }

            curl_slist_free_all(headers);
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(succeeded.load(), kConnections * kPerConnection);
    // Keep-alive held: each client used one connection for all its requests.
    EXPECT_EQ(connectionsOpened.load(), kConnections);

    const SoapResult listing = soap->getAssets(session, QString());
    ASSERT_TRUE(listing.ok());
    QSet<QString> names;
    QSet<QString> identifiers;
    for (pugi::xml_node album : listing.resultNode().child("Assets").children("FolderAsset")) {
        names.insert(childText(album, "Name"));
        identifiers.insert(childText(album, "UniqueIdentifier"));
    }
    EXPECT_EQ(names.size(), kConnections * kPerConnection);
    EXPECT_EQ(identifiers.size(), kConnections * kPerConnection);
}

TEST_F(RobustnessTest, RestartKeepsCommittedChanges)
{
    const QString session = signedOnSession();
    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    const QString album
        = soap->createFolder(session, QString(), QStringLiteral("Survivor")).result();
    ASSERT_TRUE(soap->createPicture(session, album, QStringLiteral("one.jpg")).ok());

    ASSERT_TRUE(service.restart()) << service.errorMsg().toStdString();
    soap = std::make_unique<SoapTestClient>(service.baseUrl());

    // The session, the computer and the tree all outlive the process.
    const SoapResult root = soap->getAssets(session, QString());
    ASSERT_TRUE(root.ok()) << root.fault.toStdString();
    EXPECT_EQ(childText(root.resultNode().child("Assets").child("FolderAsset"), "Name"),
        QStringLiteral("Survivor"));
    EXPECT_EQ(childText(root.resultNode().child("Assets").child("FolderAsset"), "AssetType"),
        QStringLiteral("Local"));
    const SoapResult inside = soap->getAssets(session, album);
    EXPECT_EQ(childText(inside.resultNode().child("Assets").child("PictureFileAsset"), "Name"),
        QStringLiteral("one.jpg"));
    const SoapResult check = soap->collection(QStringLiteral("CheckComputer"),
        {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
            {QStringLiteral("computerIdentifier"), kComputer}});
    EXPECT_EQ(check.result(), QStringLiteral("true"));
    EXPECT_TRUE(soap->signOn(kComputer, QStringLiteral("kim@example.org"), "password1").ok());
}

} // namespace
