// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/soap/SoapTestSupport.h"

#include "soap/CollectionServices.h"
#include "soap/PublishingServices.h"
#include "soap/oruSoap.h"
#include "support/Preferences.h"

#include <gtest/gtest.h>

#include <functional>

namespace pondrel {

namespace {

const QByteArray kPublishingNamespace = "http://services.trevane.com/Pondrel/PublishingServices";

QByteArray operationEnvelope(
    const QByteArray &operation, const QByteArray &ns, const QByteArray &parameterLines)
{
    return kEnvelopeHead + "\t<" + operation + " xmlns=\"" + ns + "\">\n" + parameterLines + "  </"
        + operation + ">\n" + kEnvelopeTail;
}

class WireFormat : public ::testing::Test
{
protected:
    ServiceFixture fixture;
};

TEST_F(WireFormat, EachOperationSendsItsExactEnvelopeAndHead)
{
    const QByteArray collection = "http://services.trevane.com/Pondrel/CollectionServices";
    const struct
    {
        std::function<void()> call;
        QByteArray path;
        QByteArray operation;
        QByteArray ns;
        QByteArray parameterLines;
    } cases[] = {
        {[] {
             CollectionServices().CheckComputer({QStringLiteral("pondrel-desktop"),
                 QStringLiteral("0F8E5B2A-1C3D-4E5F-8A9B-0C1D2E3F4A5B")});
         },
            "/Pondrel/CollectionServices.asmx", "CheckComputer", collection,
            "\t\t<serviceKey>pondrel-desktop</serviceKey>\n"
            "\t\t<computerIdentifier>0F8E5B2A-1C3D-4E5F-8A9B-0C1D2E3F4A5B</computerIdentifier>\n"},
        // The deployment settings choose the key element and the namespace.
        {[] {
             ScopedEnvironment element("PONDREL_SERVICE_KEY_ELEMENT", "applicationKey");
             ScopedEnvironment ns("PONDREL_SERVICE_NAMESPACE", "urn:test");
             PublishingServices().SignOn({QStringLiteral("key-7"), QStringLiteral("COMPUTER-1"),
                 QStringLiteral("ann@example.org"), QStringLiteral("pa<ss")});
         },
            "/Pondrel/PublishingServices.asmx", "SignOn", "urn:test/Pondrel/PublishingServices",
            "\t\t<applicationKey>key-7</applicationKey>\n"
            "\t\t<computerIdentifier>COMPUTER-1</computerIdentifier>\n"
            "\t\t<accountIdentifier>ann@example.org</accountIdentifier>\n"
            "\t\t<password>pa&lt;ss</password>\n"},
        {[] {
             PublishingServices().GetAssets({QStringLiteral("S-1"), QStringLiteral("F-2"),
                 QStringLiteral("None"), true, true});
         },
            "/Pondrel/PublishingServices.asmx", "GetAssets", kPublishingNamespace,
            "\t\t<sessionIdentifier>S-1</sessionIdentifier>\n"
            "\t\t<parentIdentifier>F-2</parentIdentifier>\n"
            "\t\t<commentsFilteringMode>None</commentsFilteringMode>\n"
            "\t\t<includeSymbolicLinks>1</includeSymbolicLinks>\n"
            "\t\t<includeExportLinks>1</includeExportLinks>\n"},
        {[] {
             PublishingServices().CreatePictureFileAsset({QStringLiteral("S-1"),
                 QStringLiteral("F-2"), QStringLiteral("Tom & Jerry's <café>.jpg"), QString(),
                 QStringLiteral("image/jpeg"), QStringLiteral("None"),
                 QStringLiteral("2026-01-02T03:04:05Z"), QStringLiteral("2026-01-03T04:05:06Z"),
                 qint64(5000000123), QStringLiteral("ab12"), QStringLiteral("MONIKER-1"),
                 quint32(4294967295u), 4000, 3000, QStringLiteral("RotateNoneFlipNone"),
                 QStringLiteral("2025-12-24T18:00:00Z")});
         },
            "/Pondrel/PublishingServices.asmx", "CreatePictureFileAsset", kPublishingNamespace,
            "\t\t<sessionIdentifier>S-1</sessionIdentifier>\n"
            "\t\t<parentIdentifier>F-2</parentIdentifier>\n"
            "\t\t<pictureName>Tom &amp; Jerry&apos;s &lt;caf\xc3\xa9&gt;.jpg</pictureName>\n"
            "\t\t<pictureDescription></pictureDescription>\n"
            "\t\t<mediaType>image/jpeg</mediaType>\n"
            "\t\t<rating>None</rating>\n"
            "\t\t<creationDateUtc>2026-01-02T03:04:05Z</creationDateUtc>\n"
            "\t\t<lastModificationDateUtc>2026-01-03T04:05:06Z</lastModificationDateUtc>\n"
            "\t\t<fileSize>5000000123</fileSize>\n"
            "\t\t<hash>ab12</hash>\n"
            "\t\t<moniker>MONIKER-1</moniker>\n"
            "\t\t<sharingPermissions>4294967295</sharingPermissions>\n"
            "\t\t<width>4000</width>\n"
            "\t\t<height>3000</height>\n"
            "\t\t<rotateFlipType>RotateNoneFlipNone</rotateFlipType>\n"
            "\t\t<datePictureTakenUtc>2025-12-24T18:00:00Z</datePictureTakenUtc>\n"},
        {[] {
             PublishingServices().RequestPictureFileAssetWallpaperRendition(
                 {QStringLiteral("S-1"), QStringLiteral("P-9"), 1280, 1024});
         },
            "/Pondrel/PublishingServices.asmx", "RequestPictureFileAssetWallpaperRendition",
            kPublishingNamespace,
            "\t\t<sessionIdentifier>S-1</sessionIdentifier>\n"
            "\t\t<pictureFileAssetIdentifier>P-9</pictureFileAssetIdentifier>\n"
            "\t\t<width>1280</width>\n"
            "\t\t<height>1024</height>\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation.toStdString());
        const size_t before = fixture.server.requests().size();
        c.call();
        const std::vector<LoopbackHttpServer::Request> requests = fixture.server.requests();
        ASSERT_EQ(requests.size(), before + 1);
        const LoopbackHttpServer::Request &request = requests.back();
        EXPECT_TRUE(request.head.startsWith("POST " + c.path + " HTTP/1.1\r\n"))
            << request.head.data();
        EXPECT_TRUE(request.head.contains("\r\nSOAPAction: " + c.ns + '/' + c.operation + "\r\n"))
            << request.head.data();
        EXPECT_TRUE(request.head.contains("\r\nContent-Type: text/xml; charset=utf-8\r\n"));
        EXPECT_EQ(request.header("Content-Length"), QByteArray::number(request.body.size()));
        EXPECT_EQ(request.header("Accept-Encoding"), "gzip");
        EXPECT_EQ(request.body, operationEnvelope(c.operation, c.ns, c.parameterLines));
    }
}

TEST_F(WireFormat, MissingArgumentsEndTheParameterList)
{
    PublishingServices publishing;
    publishing.SignOn({QStringLiteral("pondrel-desktop"), QStringLiteral("COMPUTER-1")});
    // A gap in the middle drops everything after it as well.
    publishing.CreateSymbolicLink({QStringLiteral("S-1"), QStringLiteral("A-1"),
        QStringLiteral("Name"), QVariant(), QStringLiteral("alias"), QStringLiteral("pw"), true});
    oruSoap engine;
    engine.soapCall(fixture.server.url(), QStringLiteral("Op"), QStringLiteral("urn:x/Op"),
        QStringLiteral("urn:x"), {QStringLiteral("a"), -5},
        {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")});
    engine.soapCall(fixture.server.url(), QStringLiteral("Nothing"),
        QStringLiteral("urn:x/Nothing"), QStringLiteral("urn:x"), {}, {QStringLiteral("first")});

    const std::vector<LoopbackHttpServer::Request> requests = fixture.server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].body,
        operationEnvelope("SignOn", kPublishingNamespace,
            "\t\t<serviceKey>pondrel-desktop</serviceKey>\n"
            "\t\t<computerIdentifier>COMPUTER-1</computerIdentifier>\n"));
    EXPECT_EQ(requests[1].body,
        operationEnvelope("CreateSymbolicLink", kPublishingNamespace,
            "\t\t<sessionIdentifier>S-1</sessionIdentifier>\n"
            "\t\t<assetIdentifier>A-1</assetIdentifier>\n"
            "\t\t<name>Name</name>\n"));
    EXPECT_EQ(requests[2].body,
        operationEnvelope("Op", "urn:x", "\t\t<first>a</first>\n\t\t<second>-5</second>\n"));
    EXPECT_EQ(requests[3].body,
        kEnvelopeHead + "\t<Nothing xmlns=\"urn:x\">\n  </Nothing>\n" + kEnvelopeTail);
}

// The program's own domain, as a program sets it at start-up.
class ApplicationDomain
{
public:
    explicit ApplicationDomain(const QString &domain) { Preferences::setApplicationDomain(domain); }
    ~ApplicationDomain() { Preferences::setApplicationDomain(Preferences::kSharedDomain); }
};

TEST_F(WireFormat, UserAgentIsTheStoredTextOfTheProgramsOwnDomainOrNone)
{
    const ApplicationDomain agent(QStringLiteral("com.trevane.oru_agent"));
    // A text in another domain is not this program's.
    Preferences::shared().setValue(QStringLiteral("UserAgent"), QStringLiteral("Somebody else"));
    CollectionServices collection;
    collection.CheckComputer({QStringLiteral("k"), QStringLiteral("C")});
    EXPECT_TRUE(Preferences::application().setValue(
        QStringLiteral("UserAgent"), QStringLiteral(" Pondrel Agent 1.2 (Linux 6.1.0 #1 SMP)")));
    collection.CheckComputer({QStringLiteral("k"), QStringLiteral("C")});

    const std::vector<LoopbackHttpServer::Request> requests = fixture.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].hasHeader("User-Agent")) << requests[0].head.data();
    EXPECT_TRUE(
        requests[1].head.contains("\r\nUser-Agent:  Pondrel Agent 1.2 (Linux 6.1.0 #1 SMP)\r\n"))
        << requests[1].head.data();
}

TEST_F(WireFormat, CallsOfOneEngineShareOneConnection)
{
    CollectionServices collection;
    for (int call = 0; call < 3; ++call)
        collection.CheckComputer({QStringLiteral("k"), QStringLiteral("C")});
    EXPECT_EQ(fixture.server.requests().size(), 3u);
    EXPECT_EQ(fixture.server.connectionCount(), 1);
}

TEST_F(WireFormat, PasswordsAreMaskedInLogLinesButSent)
{
    ASSERT_TRUE(Preferences::shared().setValue(QStringLiteral("Debug"), true));
    PublishingServices publishing;
    StandardErrorCapture capture;
    publishing.UpdateAccount({QStringLiteral("pondrel-desktop"), QStringLiteral("ann@example.org"),
        QStringLiteral("old-Secret1"), QStringLiteral("Ann"), QStringLiteral("Lee"),
        QStringLiteral("ann@example.org"), QStringLiteral("new-Secret2"), QStringLiteral("en-GB")});
    publishing.CreateFolderAsset({QStringLiteral("S-1"), QStringLiteral("F-0"),
        QStringLiteral("Album"), QString(), QStringLiteral("None"), QStringLiteral("Auto"), 7u});
    const QByteArray log = capture.finish();

    EXPECT_TRUE(log.contains("paramValues:(pondrel-desktop, ann@example.org, ********, Ann, Lee, "
                             "ann@example.org, ********, en-GB)"))
        << log.data();
    EXPECT_TRUE(log.contains("; MARK\n")) << log.data();
    EXPECT_FALSE(log.contains("Secret")) << log.data();
    const std::vector<LoopbackHttpServer::Request> requests = fixture.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].body.contains("\t\t<password>old-Secret1</password>\n"));
    EXPECT_TRUE(requests[0].body.contains("\t\t<newPassword>new-Secret2</newPassword>\n"));
}

TEST(ValueEncoding, EscapesInOrderAndWritesNumbersArraysAndDictionaries)
{
    EXPECT_EQ(oruSoap::encodeXML(QStringLiteral("a<b & 'c'")),
        QStringLiteral("a&lt;b &amp; &apos;c&apos;"));
    EXPECT_EQ(oruSoap::encodeXML(QStringLiteral("&amp; \"q\" >")),
        QStringLiteral("&amp;amp; &quot;q&quot; &gt;"));
    EXPECT_EQ(oruSoap::encodeXML(true), QStringLiteral("1"));
    EXPECT_EQ(oruSoap::encodeXML(false), QStringLiteral("0"));
    EXPECT_EQ(oruSoap::encodeXML(-5), QStringLiteral("-5"));
    EXPECT_EQ(oruSoap::encodeXML(qint64(-9000000000)), QStringLiteral("-9000000000"));
    EXPECT_EQ(oruSoap::encodeXML(QVariantList {QStringLiteral("x&"), QStringLiteral("y")}),
        QStringLiteral("x&amp;y"));
    const QVariantMap status {{QStringLiteral("Id"), QStringLiteral("B<1>")},
        {QStringLiteral("Commands"),
            QVariantList {QVariantMap {{QStringLiteral("Status"), 3}},
                QVariantMap {{QStringLiteral("Status"), 4}}}}};
    EXPECT_EQ(oruSoap::encodeXML(status),
        QStringLiteral("<Commands><Status>3</Status><Status>4</Status></Commands>"
                       "<Id>B&lt;1&gt;</Id>"));
    // A value of an unexpected kind still cannot break the envelope.
    EXPECT_EQ(oruSoap::encodeXML(QByteArray("</password>")), QStringLiteral("&lt;/password&gt;"));
}

TEST(HeaderParsing, SplitsAtTheFirstSeparatorAndSkipsOtherLines)
{
    const QMap<QString, QString> headers = oruSoap::parseHeaders(
        QStringLiteral("HTTP/1.1 200 OK\r\nBITS-Packet-Type: Ack\r\nLocation: http://h/x: y\r\n"
                       "BITS-Packet-Type: Ping\r\nBroken\r\n\r\n"));
    EXPECT_EQ(headers.size(), 2);
    EXPECT_EQ(headers.value(QStringLiteral("BITS-Packet-Type")), QStringLiteral("Ping"));
    EXPECT_EQ(headers.value(QStringLiteral("Location")), QStringLiteral("http://h/x: y"));
}

} // namespace

} // namespace pondrel
