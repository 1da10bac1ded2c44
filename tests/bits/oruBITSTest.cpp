// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/LoopbackHttpServer.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/SelfSignedTlsServer.h"

#include "bits/oruBITS.h"
#include "support/Preferences.h"

#include <QFile>

#include <curl/curl.h>
#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QByteArray kSessionId = "{5F0C0A6E-3D1B-4C44-9E37-0B2D8E5A1C11}";

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray patternBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) % 251);
    return bytes;
}

// What libcurl sends for an empty CURLOPT_ACCEPT_ENCODING: every decoder it was built with.
QByteArray libcurlAcceptEncodingLine()
{
    const curl_version_info_data *info = curl_version_info(CURLVERSION_NOW);
    QList<QByteArray> encodings;
    if (info->features & CURL_VERSION_LIBZ)
        encodings << "deflate"
                  << "gzip";
    if (info->features & CURL_VERSION_BROTLI)
        encodings << "br";
    if (info->features & CURL_VERSION_ZSTD)
        encodings << "zstd";
    return encodings.isEmpty() ? QByteArray() : "Accept-Encoding: " + encodings.join(", ") + "\r\n";
}

QByteArray requestHead(const LoopbackHttpServer &peer, const QByteArray &path)
{
    return "BITS_POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(peer.port())
        + "\r\nUser-Agent: Microsoft BITS/6.6\r\n";
}

QByteArray sessionRequest(const LoopbackHttpServer &peer, const QByteArray &packetType,
    const QByteArray &session, const QByteArray &name)
{
    return requestHead(peer, "/upload/7") + libcurlAcceptEncodingLine() + "BITS-Packet-Type: "
        + packetType + "\r\nBITS-Session-Id: " + session + "\r\nAccept: */*\r\nContent-Name: "
        + name + "\r\nContent-Length: 0\r\nConnection: Keep-Alive\r\n\r\n";
}

QByteArray fragmentRequest(const LoopbackHttpServer &peer, const QByteArray &session,
    const QByteArray &name, const QByteArray &body)
{
    const QByteArray size = QByteArray::number(body.size());
    return requestHead(peer, "/upload/7")
        + "BITS-Packet-Type: Fragment\r\nAccept: */*\r\nBITS-Session-Id: " + session
        + "\r\nContent-Name: " + name + "\r\nContent-Range: bytes 0-"
        + QByteArray::number(body.size() - 1) + '/' + size
        + "\r\nConnection: Keep-Alive\r\nContent-Length: " + size + "\r\n\r\n" + body;
}

// An answer without a body, as a BITS server gives.
QByteArray reply(int status, const QByteArray &headerLines = {})
{
    return LoopbackHttpServer::response(status, {}, {}, headerLines);
}

QByteArray createReply(int status, const QByteArray &session)
{
    return reply(status,
        "BITS-Packet-Type: Ack\r\nBITS-Protocol: {7df0354d-249b-430f-820d-3d2a9bef4931}\r\n"
            + (session.isEmpty() ? QByteArray() : "BITS-Session-Id: " + session + "\r\n"));
}

QByteArray ack(int status = 200)
{
    return reply(status, "BITS-Packet-Type: Ack\r\n");
}

} // namespace

TEST(BitsUpload, WholeUploadSendsTheFourRequestsByteForByte)
{
    ScratchHome home;
    LoopbackHttpServer peer;
    const QByteArray content = patternBytes(1000);
    const QString path = writeFile(home.path() + "/portrait 1.jpg", content);
    peer.enqueue(createReply(201, kSessionId));
    peer.enqueue(ack());
    peer.enqueue(ack());

    oruBITS bits(peer.url("/upload/7"), path);
    EXPECT_TRUE(bits.upload()) << bits.errorMsg().toStdString();
    EXPECT_EQ(bits.session(), QString::fromLatin1(kSessionId));
    EXPECT_EQ(bits.httpCode(), 200);
    EXPECT_TRUE(bits.errorMsg().isEmpty());

    const QList<QByteArray> requests = peer.rawRequests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0],
        requestHead(peer, "/upload/7") + libcurlAcceptEncodingLine()
            + "BITS-Packet-Type: Create-Session\r\n"
              "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}\r\n"
              "Accept: */*\r\nContent-Name: portrait 1.jpg\r\nContent-Length: 0\r\n"
              "Connection: Keep-Alive\r\n\r\n");
    EXPECT_EQ(requests[1], fragmentRequest(peer, kSessionId, "portrait 1.jpg", content));
    EXPECT_EQ(requests[2], sessionRequest(peer, "Close-Session", kSessionId, "portrait 1.jpg"));
    EXPECT_EQ(peer.connectionCount(), 1);
}

TEST(BitsUpload, RefusedFragmentOfOneByteIsCancelled)
{
    ScratchHome home;
    LoopbackHttpServer peer;
    const QString path = writeFile(home.path() + "/één.jpg", "x");
    peer.enqueue(createReply(200, kSessionId));
    peer.enqueue(reply(403, "BITS-Packet-Type: Ack\r\nBITS-Error-Code: 0x80070005\r\n"));
    peer.enqueue(ack());

    oruBITS bits(peer.url("/upload/7"), path);
    EXPECT_FALSE(bits.upload());
    EXPECT_TRUE(bits.errorMsg().contains("Fragment")) << bits.errorMsg().toStdString();
    EXPECT_TRUE(bits.errorMsg().contains("403"));
    EXPECT_TRUE(bits.errorMsg().contains("0x80070005"));

    const QList<QByteArray> requests = peer.rawRequests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[1], fragmentRequest(peer, kSessionId, "één.jpg", "x"));
    EXPECT_TRUE(requests[1].contains("\r\nContent-Range: bytes 0-0/1\r\n"));
    EXPECT_EQ(requests[2], sessionRequest(peer, "Cancel-Session", kSessionId, "één.jpg"));
}

TEST(BitsUpload, FollowsTheCallersRuleForEveryAnswer)
{
    ScratchHome home;
    const QString path = writeFile(home.path() + "/a.jpg", patternBytes(10));
    struct Case
    {
        const char *name;
        QList<QByteArray> replies;
        bool uploaded;
        QList<QByteArray> packetTypes;
        const char *errorPart;
    };
    const QList<Case> cases {
        {"create refused", {reply(403, "BITS-Error-Code: 0x8020001f\r\n")}, false,
            {"Create-Session"}, "refused with HTTP status 403 (BITS-Error-Code 0x8020001f)"},
        {"create without session", {createReply(200, {})}, false, {"Create-Session"},
            "carried no BITS-Session-Id"},
        {"fragment answered 201", {createReply(200, kSessionId), ack(201), ack()}, false,
            {"Create-Session", "Fragment", "Cancel-Session"}, "refused with HTTP status 201"},
        {"close refused", {createReply(201, kSessionId), ack(), ack(403)}, false,
            {"Create-Session", "Fragment", "Close-Session"}, "Close-Session request"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer peer;
        for (const QByteArray &answer : c.replies)
            peer.enqueue(answer);
        oruBITS bits(peer.url("/upload/7"), path);
        EXPECT_EQ(bits.upload(), c.uploaded);
        EXPECT_TRUE(bits.errorMsg().contains(c.errorPart)) << bits.errorMsg().toStdString();
        QList<QByteArray> packetTypes;
        for (const QByteArray &request : peer.rawRequests()) {
            const qsizetype start = request.indexOf("BITS-Packet-Type: ") + 18;
            packetTypes.append(request.mid(start, request.indexOf("\r\n", start) - start));
        }
        EXPECT_EQ(packetTypes, c.packetTypes);
    }
}

TEST(BitsUpload, NoAnswerLeavesStatusZeroAndTheTransferError)
{
    ScratchHome home;
    const QString path = writeFile(home.path() + "/a.jpg", patternBytes(10));

    oruBITS refused(
        QStringLiteral("http://127.0.0.1:%1/upload").arg(LoopbackHttpServer::closedPort()), path);
    EXPECT_FALSE(refused.upload());
    EXPECT_EQ(refused.httpCode(), 0);
    EXPECT_EQ(refused.curlResult(), CURLE_COULDNT_CONNECT);
    EXPECT_TRUE(refused.errorMsg().contains("got no answer")) << refused.errorMsg().toStdString();

    LoopbackHttpServer silentPeer;
    silentPeer.enqueue(std::nullopt);
    oruBITS waiting(silentPeer.url("/upload"), path);
    waiting.setTimeLimit(std::chrono::milliseconds(300));
    EXPECT_EQ(waiting.startSession(), 0);
    EXPECT_EQ(waiting.curlResult(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_FALSE(waiting.errorMsg().isEmpty());
}

TEST(BitsUpload, FileThatCannotBeSentIsNeverPutOnTheWire)
{
    ScratchHome home;
    LoopbackHttpServer peer;
    const QString empty = writeFile(home.path() + "/empty.jpg", {});
    for (const QString &path : {home.path() + "/missing.jpg", empty, home.path()}) {
        oruBITS bits(peer.url("/upload"), path);
        bits.setSession(QString::fromLatin1(kSessionId));
        EXPECT_EQ(bits.beginFragment(), 0);
        EXPECT_EQ(bits.curlResult(), CURLE_READ_ERROR);
        EXPECT_TRUE(bits.errorMsg().contains(path)) << bits.errorMsg().toStdString();
    }
    EXPECT_TRUE(peer.rawRequests().isEmpty());
}

TEST(BitsUpload, RangeOfAFileBeyondFourGibibytesIsSixtyFourBit)
{
    EXPECT_EQ(oruBITS::contentRange(1), "bytes 0-0/1");
    EXPECT_EQ(oruBITS::contentRange(1000), "bytes 0-999/1000");
    EXPECT_EQ(oruBITS::contentRange(5 * (qint64(1) << 30)), "bytes 0-5368709119/5368709120");

    ScratchHome home;
    QFile sparse(home.path() + "/huge.jpg");
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(5 * (qint64(1) << 30)))
        << "a sparse 5 GiB file cannot be made here: " << sparse.errorString().toStdString();
    sparse.close();

    LoopbackHttpServer peer;
    peer.enqueue(reply(413, "Connection: close\r\n"), true);
    oruBITS bits(peer.url("/upload/7"), sparse.fileName());
    bits.setSession(QString::fromLatin1(kSessionId));
    // The peer refuses at once, without reading the 5 GiB.
    EXPECT_EQ(bits.beginFragment(), 413) << bits.errorMsg().toStdString();
    ASSERT_EQ(peer.rawRequests().size(), 1);
    EXPECT_EQ(peer.rawRequests().first(),
        requestHead(peer, "/upload/7")
            + "BITS-Packet-Type: Fragment\r\nAccept: */*\r\nBITS-Session-Id: " + kSessionId
            + "\r\nContent-Name: huge.jpg\r\nContent-Range: bytes 0-5368709119/5368709120\r\n"
              "Connection: Keep-Alive\r\nContent-Length: 5368709120\r\n\r\n");
    EXPECT_EQ(bits.httpCode(), 413);
}

TEST(BitsUpload, OutsideTextCannotAddHeaderLines)
{
    ScratchHome home;
    LoopbackHttpServer peer;
    const QString path = writeFile(home.path() + "/a\r\nX-Injected: 1.jpg", "x");
    peer.enqueue(ack());
    oruBITS bits(peer.url("/upload/7"), path);
    bits.setSession(QStringLiteral("id\nX-Other: 2"));
    bits.cancelSession();
    ASSERT_EQ(peer.rawRequests().size(), 1);
    const QByteArray request = peer.rawRequests().first();
    EXPECT_FALSE(request.contains("\nX-Injected")) << request.toStdString();
    EXPECT_FALSE(request.contains("\nX-Other"));
    EXPECT_TRUE(request.contains("\r\nContent-Name: a  X-Injected: 1.jpg\r\n"));
}

TEST(BitsUpload, HttpProxyCarriesTheRequests)
{
    ScratchHome home;
    LoopbackHttpServer proxy;
    proxy.enqueue(createReply(200, kSessionId));
    oruBITS::ProxySettings settings;
    settings.hasHTTPProxy = true;
    settings.proxyHTTPHost = QStringLiteral("127.0.0.1");
    settings.proxyHTTPPort = QString::number(proxy.port());
    oruBITS bits(QStringLiteral("http://pictures.invalid/upload/7"),
        writeFile(home.path() + "/a.jpg", "abc"), settings);
    EXPECT_EQ(bits.startSession(), 200);
    EXPECT_EQ(bits.session(), QString::fromLatin1(kSessionId));
    ASSERT_EQ(proxy.rawRequests().size(), 1);
    EXPECT_TRUE(proxy.rawRequests().first().startsWith(
        "BITS_POST http://pictures.invalid/upload/7 HTTP/1.1\r\nHost: pictures.invalid\r\n"));
}

TEST(BitsHeaders, ParsesNameValueLinesOnly)
{
    const QVariantMap headers = oruBITS::parseHeaders(QStringLiteral("HTTP/1.1 200 OK\r\n"
                                                                     "BITS-Packet-Type: Ack\r\n"
                                                                     "BITS-Session-Id: {first}\r\n"
                                                                     "NoSeparatorHere\r\n"
                                                                     "Link: <a>; rel: x\r\n"
                                                                     "Empty:\r\n"
                                                                     "BITS-Session-Id: {second}\r\n"
                                                                     "\r\n"));
    EXPECT_EQ(
        headers, (QVariantMap {{"BITS-Packet-Type", "Ack"}, {"BITS-Session-Id", "{second}"}}));
    EXPECT_TRUE(oruBITS::parseHeaders({}).isEmpty());
}

TEST(BitsUpload, CertificatesAreVerifiedUnlessThePreferenceAllowsOtherwise)
{
    ScratchHome home;
    SelfSignedTlsServer impostor;
    ASSERT_TRUE(impostor.isListening()) << "openssl serves no self-signed certificate here";
    const QString url = impostor.url(QStringLiteral("/upload/7"));
    const QString path = writeFile(home.path() + "/a.jpg", "abc");

    oruBITS verifying(url, path);
    EXPECT_EQ(verifying.startSession(), 0);
    EXPECT_EQ(verifying.curlResult(), CURLE_PEER_FAILED_VERIFICATION);

    ASSERT_TRUE(Preferences::shared().setValue(oruBITS::kAllowInvalidCertificatesKey, true));
    oruBITS trusting(url, path);
    // The stand-in never answers; what matters is that the request got through.
    trusting.setTimeLimit(std::chrono::milliseconds(500));
    trusting.startSession();
    EXPECT_EQ(trusting.curlResult(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_TRUE(impostor.waitForOutput("BITS_POST /upload/7 HTTP/1.1"));
}

TEST(BitsUpload, RepliesWithHeadersBeyondTheLimitAreRefused)
{
    ScratchHome home;
    const QString path = writeFile(home.path() + "/a.jpg", patternBytes(10));
    LoopbackHttpServer peer;
    QByteArray padding;
    for (int line = 0; line < 100; ++line)
        padding += "X-Padding-" + QByteArray::number(line) + ": " + QByteArray(1000, 'p') + "\r\n";
    peer.enqueue(reply(200, "BITS-Packet-Type: Ack\r\nBITS-Session-Id: {S}\r\n" + padding));

    oruBITS upload(peer.url("/upload"), path);
    upload.startSession();
    EXPECT_TRUE(upload.session().isEmpty());
    EXPECT_TRUE(upload.errorMsg().contains("headers larger than 65536 bytes"))
        << upload.errorMsg().toStdString();
}

} // namespace pondrel
