// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/soap/SoapTestSupport.h"

#include "soap/CollectionServices.h"
#include "soap/PublishingServices.h"
#include "soap/SoapReply.h"
#include "support/Values.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

QByteArray folderAsset(const QByteArray &identifier, const QByteArray &name)
{
    return "<FolderAsset><Identifier>" + identifier + "</Identifier><Name>" + name
        + "</Name><Description /><Rating>None</Rating></FolderAsset>";
}

QByteArray getAssetsReply(const QByteArray &assets)
{
    return replyEnvelope("<GetAssetsResponse xmlns=\"http://services.trevane.com/Pondrel/"
                         "PublishingServices\"><GetAssetsResult><Assets>"
        + assets + "</Assets></GetAssetsResult></GetAssetsResponse>");
}

QByteArray faultReply(const QByteArray &faultString)
{
    return replyEnvelope("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>" + faultString
        + "</faultstring><detail /></soap:Fault>");
}

QByteArray gzip(const QByteArray &bytes)
{
    QProcess process;
    process.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    process.write(bytes);
    process.closeWriteChannel();
    process.waitForFinished();
    return process.readAllStandardOutput();
}

class ReplyConversion : public ::testing::Test
{
protected:
    QVariantMap getAssets(const QByteArray &response)
    {
        fixture.server.respondWith(response);
        PublishingServices publishing;
        return publishing.GetAssets(
            {QStringLiteral("S"), QStringLiteral("F"), QStringLiteral("None"), false, false});
    }

    static QVariant assetsOf(const QVariantMap &reply)
    {
        return reply.value(QStringLiteral("GetAssetsResult"))
            .toMap()
            .value(QStringLiteral("Assets"));
    }

    ServiceFixture fixture;
};

TEST_F(ReplyConversion, OneChildIsADictionaryTwoAreAnArrayInDocumentOrder)
{
    const QVariantMap single
        = getAssets(LoopbackHttpServer::response(200, getAssetsReply(folderAsset("F-1", "Trip"))));
    EXPECT_FALSE(single.contains(QStringLiteral("error")));
    EXPECT_EQ(single.keys(), QStringList {QStringLiteral("GetAssetsResult")});
    const QVariant folder = assetsOf(single).toMap().value(QStringLiteral("FolderAsset"));
    ASSERT_EQ(folder.typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(folder.toMap().value(QStringLiteral("Identifier")), QStringLiteral("F-1"));
    EXPECT_EQ(folder.toMap().value(QStringLiteral("Name")), QStringLiteral("Trip"));
    EXPECT_TRUE(Values::isNullMarker(folder.toMap().value(QStringLiteral("Description"))));

    // A name of its own between the two keeps both its own entry and the pair's order.
    const QVariantMap two = getAssets(LoopbackHttpServer::response(200,
        getAssetsReply(folderAsset("F-1", "Trip")
            + "<PictureFileAsset><Name>p</Name></PictureFileAsset>" + folderAsset("F-2", "Home"))));
    EXPECT_EQ(assetsOf(two).toMap().value(QStringLiteral("PictureFileAsset")),
        (QVariantMap {{QStringLiteral("Name"), QStringLiteral("p")}}));
    const QVariant folders = assetsOf(two).toMap().value(QStringLiteral("FolderAsset"));
    ASSERT_EQ(folders.typeId(), QMetaType::QVariantList);
    ASSERT_EQ(folders.toList().size(), 2);
    EXPECT_EQ(folders.toList()[0].toMap().value(QStringLiteral("Name")), QStringLiteral("Trip"));
    EXPECT_EQ(folders.toList()[1].toMap().value(QStringLiteral("Name")), QStringLiteral("Home"));
}

// Records of one shape are built from the shape of the record before: a record whose names
// come in another order, repeat, differ or are fewer must still get exactly its own entries.
TEST(ReplyConversionOfRecords, EveryRecordGetsItsOwnEntriesWhateverTheRecordBeforeIt)
{
    const QByteArray records[] = {"<R><B>1</B><A>x</A><C/></R>", "<R><B>2</B><A>y</A><C/></R>",
        "<R><A>z</A><B>3</B><C/></R>", "<R><B>4</B><A>v</A><A>w</A></R>",
        "<R><B>5</B><A>u</A><D>0</D></R>", "<R><B>6</B></R>",
        "<R><B>7</B><A><![CDATA[a<]]>b</A><C>a much longer text than the shared ones</C></R>",
        "<R><B>8</B><A>t<!--c-->u<![CDATA[v]]></A><C> </C></R>",
        "<R><p:B xmlns:p=\"urn:p\">9</p:B><A>s</A><C/></R>"};
    const auto map = [](std::initializer_list<std::pair<const char *, QVariant>> entries) {
        QVariantMap result;
        for (const auto &[key, value] : entries)
            result.insert(QString::fromLatin1(key), value);
        return result;
    };
    const QVariant null = Values::nullMarker();
    const QVariantList expected {map({{"B", "1"}, {"A", "x"}, {"C", null}}),
        map({{"B", "2"}, {"A", "y"}, {"C", null}}), map({{"A", "z"}, {"B", "3"}, {"C", null}}),
        map({{"B", "4"}, {"A", QVariantList {"v", "w"}}}),
        map({{"B", "5"}, {"A", "u"}, {"D", "0"}}), map({{"B", "6"}}),
        map({{"B", "7"}, {"A", "a<b"}, {"C", "a much longer text than the shared ones"}}),
        map({{"B", "8"}, {"A", "tuv"}, {"C", " "}}), map({{"B", "9"}, {"A", "s"}, {"C", null}})};
    QByteArray body;
    for (const QByteArray &record : records)
        body += record;
    const SoapReply::Conversion conversion
        = SoapReply::convert(getAssetsReply(body), QStringLiteral("GetAssets"));
    ASSERT_FALSE(conversion.problem);
    const QVariantList converted = conversion.entries.value(QStringLiteral("GetAssetsResult"))
                                       .toMap()
                                       .value(QStringLiteral("Assets"))
                                       .toMap()
                                       .value(QStringLiteral("R"))
                                       .toList();
    ASSERT_EQ(converted.size(), qsizetype(std::size(expected)));
    for (qsizetype index = 0; index < converted.size(); ++index)
        EXPECT_EQ(converted[index], expected[index]) << "record " << index;
}

TEST_F(ReplyConversion, EmptyElementsBecomeTheNullMarkerAndTextIsUnescaped)
{
    EXPECT_TRUE(Values::isNullMarker(
        assetsOf(getAssets(LoopbackHttpServer::response(200, getAssetsReply({}))))));

    fixture.server.respondWith(LoopbackHttpServer::response(200,
        replyEnvelope(
            "<VisitResponse xmlns=\"urn:c\"><VisitResult><CommandBatch><Id>B-1</Id>"
            "<Commands>&lt;Commands&gt;&lt;RenderPicture Size=\"640\"/&gt;&lt;/Commands&gt;"
            "</Commands><Note>Tom &amp; Jerry &#233;t&#xE9; <![CDATA[<raw>]]></Note>"
            "<Blank>  </Blank><Nil xsi:nil=\"true\" /></CommandBatch></VisitResult>"
            "<nextVisitIntervalMilliseconds>60000</nextVisitIntervalMilliseconds>"
            "</VisitResponse>")));
    CollectionServices collection;
    const QVariantMap visit = collection.Visit({QStringLiteral("k"), QStringLiteral("C")});
    EXPECT_EQ(visit.keys(),
        (QStringList {
            QStringLiteral("VisitResult"), QStringLiteral("nextVisitIntervalMilliseconds")}));
    EXPECT_EQ(
        visit.value(QStringLiteral("nextVisitIntervalMilliseconds")), QStringLiteral("60000"));
    const QVariantMap batch = visit.value(QStringLiteral("VisitResult"))
                                  .toMap()
                                  .value(QStringLiteral("CommandBatch"))
                                  .toMap();
    EXPECT_EQ(batch.value(QStringLiteral("Commands")),
        QStringLiteral("<Commands><RenderPicture Size=\"640\"/></Commands>"));
    EXPECT_EQ(batch.value(QStringLiteral("Note")), QStringLiteral("Tom & Jerry été <raw>"));
    EXPECT_EQ(batch.value(QStringLiteral("Blank")), QStringLiteral("  "));
    EXPECT_TRUE(Values::isNullMarker(batch.value(QStringLiteral("Nil"))));
}

TEST_F(ReplyConversion, FaultsSetErrorToTheWholeFaultStringAndKeepTheirEntries)
{
    const QVariantMap fault
        = getAssets(LoopbackHttpServer::response(500, faultReply("Invalid session")));
    EXPECT_EQ(fault.value(QStringLiteral("error")), QStringLiteral("Invalid session"));
    EXPECT_EQ(fault.value(QStringLiteral("faultcode")), QStringLiteral("soap:Server"));
    EXPECT_EQ(fault.value(QStringLiteral("faultstring")), QStringLiteral("Invalid session"));

    const QByteArray chain = "System.Web.Services.Protocols.SoapException: Server was unable to "
                             "process request. ---&gt; Pondrel.AccountException: Wrong password.";
    const QVariantMap chained = getAssets(LoopbackHttpServer::response(500, faultReply(chain)));
    EXPECT_EQ(chained.value(QStringLiteral("error")),
        QStringLiteral("System.Web.Services.Protocols.SoapException: Server was unable to process "
                       "request. ---> Pondrel.AccountException: Wrong password."));
}

TEST_F(ReplyConversion, BodiesThatAreNoSoapReplyGiveOnlyAnError)
{
    const struct
    {
        QByteArray response;
        QString error;
    } cases[] = {
        {LoopbackHttpServer::response(502,
             "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1>"
             "</body></html>",
             "text/html"),
            QStringLiteral(
                "502, 0 (The reply is not a SOAP envelope: its root element is <html>)")},
        {LoopbackHttpServer::response(200, getAssetsReply(folderAsset("F-1", "Trip")).left(300)),
            QStringLiteral("200, 0 (The reply is not well-formed XML: ")},
        {LoopbackHttpServer::response(200, {}), QStringLiteral("200, 0 (No error)")},
        {LoopbackHttpServer::response(200, replyEnvelope({})),
            QStringLiteral("200, 0 (The SOAP body is empty)")},
        {LoopbackHttpServer::response(
             200, replyEnvelope("<SignOnResponse><SignOnResult>S</SignOnResult></SignOnResponse>")),
            QStringLiteral("200, 0 (The SOAP body holds <SignOnResponse> instead of "
                           "<GetAssetsResponse>)")},
        {LoopbackHttpServer::response(
             200, "<Envelope xmlns=\"urn:not-soap\"><Body><GetAssetsResponse/></Body></Envelope>"),
            QStringLiteral("200, 0 (The reply is not a SOAP envelope: its root element is "
                           "<Envelope>)")},
        {LoopbackHttpServer::response(200,
             "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"></s:Envelope>"),
            QStringLiteral("200, 0 (The SOAP envelope has no Body)")},
        {LoopbackHttpServer::response(200,
             getAssetsReply(QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300))),
            QStringLiteral("200, 0 (The reply nests elements more than 256 levels deep)")},
    };
    for (const auto &[response, error] : cases) {
        const QVariantMap reply = getAssets(response);
        EXPECT_EQ(reply.keys(), QStringList {QStringLiteral("error")}) << error.toStdString();
        EXPECT_TRUE(reply.value(QStringLiteral("error")).toString().startsWith(error))
            << reply.value(QStringLiteral("error")).toString().toStdString();
    }
}

TEST_F(ReplyConversion, AnotherPrefixForTheEnvelopeNamespaceIsTheSameEnvelope)
{
    const QVariantMap reply = getAssets(LoopbackHttpServer::response(200,
        "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>"
        "<p:GetAssetsResponse xmlns:p=\"urn:p\"><p:GetAssetsResult>ok</p:GetAssetsResult>"
        "</p:GetAssetsResponse></e:Body></e:Envelope>"));
    EXPECT_EQ(reply, (QVariantMap {{QStringLiteral("GetAssetsResult"), QStringLiteral("ok")}}));
}

TEST_F(ReplyConversion, GzipAndLargeRepliesArriveWhole)
{
    QByteArray manyAssets;
    for (int index = 0; index < 600; ++index)
        manyAssets += folderAsset("F-" + QByteArray::number(index),
            "Album " + QByteArray::number(index) + " " + QByteArray(200, 'x'));
    const QByteArray body = getAssetsReply(manyAssets);
    ASSERT_GT(body.size(), 128000);

    for (const bool compressed : {false, true}) {
        const QVariantMap reply
            = getAssets(compressed ? LoopbackHttpServer::response(200, gzip(body),
                            "text/xml; charset=utf-8", "Content-Encoding: gzip\r\n")
                                   : LoopbackHttpServer::response(200, body));
        EXPECT_FALSE(reply.contains(QStringLiteral("error")))
            << reply.value(QStringLiteral("error")).toString().toStdString();
        const QVariantList folders
            = assetsOf(reply).toMap().value(QStringLiteral("FolderAsset")).toList();
        ASSERT_EQ(folders.size(), 600);
        EXPECT_EQ(
            folders.last().toMap().value(QStringLiteral("Identifier")), QStringLiteral("F-599"));
    }
    EXPECT_EQ(fixture.server.requests().back().header("Accept-Encoding"), "gzip");
}

TEST_F(ReplyConversion, AReplyThatInflatesPastTheLimitIsAnError)
{
    const QByteArray body = getAssetsReply(
        folderAsset("F-1", QByteArray(qsizetype(oruSoap::kMaxReplyBytes) + 1, 'x')));
    const QByteArray compressed = gzip(body);
    ASSERT_LT(compressed.size(), 1 << 20);
    const QVariantMap reply = getAssets(LoopbackHttpServer::response(
        200, compressed, "text/xml; charset=utf-8", "Content-Encoding: gzip\r\n"));
    EXPECT_TRUE(
        reply.value(QStringLiteral("error"))
            .toString()
            .contains(QStringLiteral("larger than %1 MiB").arg(oruSoap::kMaxReplyBytes >> 20)))
        << reply.value(QStringLiteral("error")).toString().toStdString();
    EXPECT_EQ(reply.size(), 1);
}

} // namespace

} // namespace pondrel
