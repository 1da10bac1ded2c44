// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/soap/SoapTestSupport.h"

#include "soap/CollectionServices.h"
#include "soap/ReplyBuffer.h"
#include "soap/oruSoap.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <limits>
#include <thread>

namespace pondrel {

namespace {

TEST(Transport, AClosedPortGivesCurlsConnectionError)
{
    ServiceFixture fixture;
    oruSoap engine;
    const QVariantMap reply = callOneParameterOperation(engine,
        QStringLiteral("http://127.0.0.1:%1/x.asmx").arg(LoopbackHttpServer::closedPort()),
        QStringLiteral("v"));
    EXPECT_EQ(reply,
        (QVariantMap {
            {QStringLiteral("error"), QStringLiteral("0, 7 (Couldn't connect to server)")}}));
    EXPECT_EQ(engine.httpCode(), 0);
    EXPECT_EQ(engine.curlResult(), 7);
}

TEST(Transport, AServerThatNeverAnswersEndsInTheTimeOutError)
{
    ServiceFixture fixture;
    fixture.server.neverAnswer();
    oruSoap engine;
    EXPECT_EQ(oruSoap::kTransferTimeLimit, std::chrono::seconds(30));
    engine.setTransferTimeLimitForTesting(std::chrono::milliseconds(400));
    const QVariantMap reply
        = callOneParameterOperation(engine, fixture.server.url(), QStringLiteral("v"));
    EXPECT_EQ(reply,
        (QVariantMap {{QStringLiteral("error"), QStringLiteral("0, 28 (Timeout was reached)")}}));
    EXPECT_EQ(fixture.server.requests().size(), 1u);
}

TEST(Transport, AReplyThatCannotBeHeldEndsTheTransferWithoutLosingWhatCame)
{
    MemoryStruct reply;
    ASSERT_TRUE(reply.reset(16));
    char first[] = "<a>";
    EXPECT_EQ(read_reply(first, 1, 3, &reply), 3u);
    EXPECT_EQ(reply.size, 3u);
    EXPECT_STREQ(reply.memory.get(), "<a>");

    // Far more than any address space: the buffer cannot grow, and the callback says so.
    EXPECT_EQ(read_reply(first, 1, std::numeric_limits<std::size_t>::max() / 2, &reply), 0u);
    EXPECT_TRUE(reply.exhausted);
    EXPECT_EQ(reply.size, 3u);
    EXPECT_STREQ(reply.memory.get(), "<a>");
    // A chunk count whose product overflows is refused as well.
    MemoryStruct other;
    ASSERT_TRUE(other.reset(16));
    EXPECT_EQ(read_reply(first, 4, std::numeric_limits<std::size_t>::max() / 2, &other), 0u);
    EXPECT_TRUE(other.exhausted);
}

TEST(Transport, ReplyBufferGrowsByDoublingAndKeepsEveryByte)
{
    MemoryStruct reply;
    ASSERT_TRUE(reply.reset(8));
    QByteArray expected;
    int reallocations = 0;
    for (int index = 0; index < 1000; ++index) {
        const QByteArray chunk = QByteArray::number(index).repeated(100);
        const std::size_t before = reply.allocated_size;
        ASSERT_EQ(
            read_reply(const_cast<char *>(chunk.data()), 1, std::size_t(chunk.size()), &reply),
            std::size_t(chunk.size()));
        reallocations += reply.allocated_size != before ? 1 : 0;
        expected += chunk;
    }
    EXPECT_EQ(QByteArray(reply.memory.get(), qsizetype(reply.size)), expected);
    EXPECT_EQ(reply.memory.get()[reply.size], '\0');
    EXPECT_LE(reallocations, 20);
    EXPECT_EQ(read_reply(nullptr, 1, 0, &reply), 0u);
    EXPECT_FALSE(reply.exhausted);
}

// Threads that share one engine (the Publisher's import and commit threads beside its window)
// must each get the reply to their own request.
TEST(Transport, CallsFromSeveralThreadsOnOneEngineEachGetTheirOwnReply)
{
    ServiceFixture fixture;
    fixture.server.setResponder([](const LoopbackHttpServer::Request &request) {
        const QRegularExpression value(QStringLiteral("<computerIdentifier>([^<]*)<"));
        const QString identifier = value.match(QString::fromUtf8(request.body)).captured(1);
        return LoopbackHttpServer::response(200,
            replyEnvelope("<CheckComputerResponse><CheckComputerResult>" + identifier.toUtf8()
                + "</CheckComputerResult></CheckComputerResponse>"));
    });
    CollectionServices collection;
    constexpr int kThreads = 4;
    constexpr int kCalls = 25;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
            for (int call = 0; call < kCalls; ++call) {
                const QString identifier = QStringLiteral("T%1-C%2").arg(thread).arg(call);
                const QVariantMap reply
                    = collection.CheckComputer({QStringLiteral("k"), identifier});
                if (reply.value(QStringLiteral("CheckComputerResult")) != identifier)
                    ++mismatches;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(fixture.server.requests().size(), size_t(kThreads * kCalls));
}

} // namespace

} // namespace pondrel
