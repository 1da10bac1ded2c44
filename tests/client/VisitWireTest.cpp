// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"
#include "support/Paths.h"
#include "support/PropertyList.h"

#include "tests/common/LoopbackHttpServer.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"

#include <QFileInfo>

#include <pugixml.hpp>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QByteArray kCollectionNamespace = "http://services.trevane.com/Pondrel/CollectionServices";

QByteArray visitReply(const QByteArray &outputs)
{
    return LoopbackHttpServer::response(200,
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
        "<VisitResponse xmlns=\""
            + kCollectionNamespace + "\">" + outputs
            + "</VisitResponse></soap:Body></soap:Envelope>");
}

QByteArray batchElement(const QByteArray &id, const QByteArray &commandId)
{
    return "<CommandBatch><UniqueIdentifier>" + id + "</UniqueIdentifier><Moniker>m-" + id
        + "</Moniker><Hash /><AssetInternalIdentifier />"
          "<Commands>&lt;Commands&gt;&lt;Command type=\"RenderPicture\" id=\""
        + commandId
        + "\" width=\"200\" height=\"200\"/&gt;&lt;/Commands&gt;</Commands>"
          "</CommandBatch>";
}

// The names of an element's child elements, in order.
QStringList childNames(const pugi::xml_node &node)
{
    QStringList names;
    for (const pugi::xml_node &child : node.children()) {
        if (child.type() == pugi::node_element)
            names.append(QString::fromUtf8(child.name()));
    }
    return names;
}

class VisitWire : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Paths::ensureFolder(Paths::applicationSupportFolder()));
        client = std::make_unique<oruNetwork>();
        client->setComputerIdentifier("0A1B2C3D-0000-4000-8000-00000000000F");
    }

    // The Visit element of the last request.
    pugi::xml_node lastVisit()
    {
        const auto requests = server.requests();
        if (requests.empty()
            || !document.load_buffer(
                requests.back().body.constData(), size_t(requests.back().body.size())))
            return {};
        return document.select_node("//*[local-name()='Visit']").node();
    }

    ScratchHome home;
    LoopbackHttpServer server;
    ServiceEnvironment environment {server.url()};
    std::unique_ptr<oruNetwork> client;
    pugi::xml_document document;
};

} // namespace

TEST_F(VisitWire, SendsIdentityAccountAndStatusesAsNestedElements)
{
    server.respondWith(visitReply("<VisitResult /><nextVisitIntervalMilliseconds>60000"
                                  "</nextVisitIntervalMilliseconds>"));
    // Two commands of a picture the photo database does not know give two statuses.
    client->setCommandBatch(
        {QVariantMap {{"UniqueIdentifier", "b-1"}, {"Moniker", "unknown"}, {"Hash", "00"},
            {"Commands",
                QVariantList {QVariantMap {{"type", "RenderPicture"}, {"id", "c-1"}},
                    QVariantMap {{"type", "RenderPicture"}, {"id", "c-2"}}}}}});
    client->processCommandBatch();

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    const pugi::xml_node visit = lastVisit();
    ASSERT_TRUE(visit);
    EXPECT_EQ(childNames(visit),
        (QStringList {"serviceKey", "computerIdentifier", "accountIdentifiersHashes",
            "previousCommandBatchesStatuses"}));
    EXPECT_STREQ(
        visit.child("computerIdentifier").child_value(), "{0A1B2C3D-0000-4000-8000-00000000000F}");
    // No account signed on: the digest of the empty text.
    EXPECT_STREQ(visit.child("accountIdentifiersHashes").child("string").child_value(),
        "d41d8cd98f00b204e9800998ecf8427e");

    const pugi::xml_node batch
        = visit.child("previousCommandBatchesStatuses").child("CommandBatchStatus");
    ASSERT_TRUE(batch);
    EXPECT_EQ(childNames(batch), (QStringList {"CommandStatus", "UniqueIdentifier"}));
    EXPECT_STREQ(batch.child("UniqueIdentifier").child_value(), "b-1");
    const pugi::xml_node outer = batch.child("CommandStatus");
    EXPECT_EQ(childNames(outer), (QStringList {"CommandStatus", "CommandStatus"}));
    QStringList ids;
    for (const pugi::xml_node &status : outer.children("CommandStatus")) {
        EXPECT_STREQ(status.child("CommandExecutionStatus").child_value(), "Failed");
        EXPECT_STREQ(status.child("ErrorCode").child_value(), "-1");
        ids.append(QString::fromUtf8(status.child("UniqueIdentifier").child_value()));
    }
    EXPECT_EQ(ids, (QStringList {"c-1", "c-2"}));
    EXPECT_TRUE(client->previousCommandBatchesStatuses().isEmpty());
    EXPECT_TRUE(client->visitPending());
}

TEST_F(VisitWire, BatchesWithEmptyElementsAreStillSavedForAReplay)
{
    server.respondWith(visitReply("<VisitResult>" + batchElement("b-1", "c-1")
        + batchElement("b-2", "c-2")
        + "</VisitResult><nextVisitIntervalMilliseconds>60000</nextVisitIntervalMilliseconds>"));

    ASSERT_TRUE(client->visit()) << client->errorMsg().toStdString();
    const QVariantList batches = client->commandBatch();
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches.at(0).toMap().value("UniqueIdentifier"), "b-1");
    EXPECT_EQ(batches.at(1).toMap().value("Moniker"), "m-b-2");
    EXPECT_EQ(batches.at(0).toMap().value("Hash"), "");
    EXPECT_EQ(batches.at(1).toMap().value("Commands").toList().value(0).toMap().value("id"), "c-2");
    // A visit with work schedules no timed visit.
    EXPECT_FALSE(client->visitPending());

    const std::optional<QVariant> saved
        = PropertyList::initFromPlist(oruNetwork::savedBatchFilename());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->toList(), batches);
}

TEST_F(VisitWire, FailedVisitsAreRetriedLaterAndLaterUntilOneGoesWell)
{
    const QByteArray failure = LoopbackHttpServer::response(500, "busy", "text/plain");
    const QByteArray good = visitReply(
        "<VisitResult /><nextVisitIntervalMilliseconds>60000</nextVisitIntervalMilliseconds>");
    // The delay doubles from 30 s up to 15 minutes, each less a random fifth at most.
    const auto expectRetryAfter = [&](int nominalMs) {
        ASSERT_TRUE(client->visitPending()) << nominalMs;
        EXPECT_LE(client->visitTimer()->interval(), nominalMs);
        EXPECT_GE(client->visitTimer()->interval(), nominalMs * 4 / 5);
    };
    for (const int nominal : {30'000, 60'000, 120'000, 240'000, 480'000, 900'000, 900'000}) {
        server.enqueue(failure);
        client->visitAndProcess();
        expectRetryAfter(nominal);
    }
    server.enqueue(good);
    client->visitAndProcess();
    ASSERT_TRUE(client->visitPending());
    EXPECT_EQ(client->visitTimer()->interval(), 60'000);

    server.enqueue(failure);
    client->visitAndProcess();
    expectRetryAfter(30'000);
}

} // namespace pondrel
