// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/refservice/SoapTestClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

QByteArray exportTarget(const char *name, const char *email, const char *note)
{
    return QByteArray("<ExportTarget><FirstName>") + name + "</FirstName><EmailAddress>" + email
        + "</EmailAddress><Culture>en-US</Culture><ShortNote>" + note
        + "</ShortNote><IncludeSubFolders>true</IncludeSubFolders>"
          "<AllowForwarding>false</AllowForwarding></ExportTarget>";
}

// ExportAssetEx with recipients written as the client's engine writes them: a run of
// ExportTarget elements inside the parameter.
SoapResult share(const SoapTestClient &soap, const QString &session, const QString &album,
    const QByteArray &targets, const QString &type)
{
    return soap.publishing("ExportAssetEx",
        {{"sessionIdentifier", session}, {"assetIdentifier", album},
            {"createDirectAccessLinks", "1"}, {"@recipients", QString::fromUtf8(targets)},
            {"emailNotificationType", type}, {"emailNotificationText", ""}});
}

QJsonArray outbox(const RefServiceProcess &service)
{
    const HttpResult reply
        = SoapTestClient::get(service.baseUrl() + "/Pondrel/Outbox", {service.adminHeader()});
    EXPECT_EQ(reply.status, 200);
    return QJsonDocument::fromJson(reply.body).array();
}

class SharingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        owner = std::make_unique<AgentSide>(service, "owner@example.org");
        album = owner->createFolder(owner->session(), "", "Holiday & Co").result();
        ASSERT_FALSE(album.isEmpty());
        const QString inner = owner->createFolder(owner->session(), album, "Inner").result();
        // Two pictures with finished renditions, one in a sub-album.
        ASSERT_TRUE(owner->createPicture(owner->session(), album, "beach.jpg").ok());
        ASSERT_TRUE(owner->createPicture(owner->session(), inner, "inner.jpg").ok());
        ASSERT_TRUE(owner->completeAll(owner->visit()).ok());
    }

    // A publishing call of the owner's session.
    SoapResult call(const char *operation, const SoapParameters &parameters) const
    {
        return owner->inSession(operation, owner->session(), parameters);
    }

    pugi::xml_node albumRecord(const SoapResult &rootListing) const
    {
        return rootListing.resultNode().child("Assets").child("FolderAsset");
    }
    SoapResult rootListing() const { return owner->getAssets(owner->session(), ""); }

    RefServiceProcess service;
    std::unique_ptr<AgentSide> owner;
    QString album;
};

TEST_F(SharingTest, InvitationsLinksAndRevocation)
{
    EXPECT_FALSE(share(*owner, owner->session(), album,
        exportTarget("Bob", "bob@example.org", "") + exportTarget("X", "not an address", ""),
        "Default")
                     .ok());
    EXPECT_TRUE(outbox(service).isEmpty()); // nothing half sent

    const SoapResult shared = share(*owner, owner->session(), album,
        exportTarget("Bob", "bob@example.org", "Look &amp; see")
            + exportTarget("Cy", "cy@example.org", ""),
        "DefaultWithSenderCC");
    ASSERT_TRUE(shared.ok()) << shared.fault.toStdString();

    const auto linksInfo = [&] { return call("GetExportLinksInfo", {{"assetIdentifier", album}}); };
    const SoapResult info = linksInfo();
    ASSERT_TRUE(info.ok());
    const pugi::xml_node bob = info.resultNode().child("ExportLinkInfo");
    const pugi::xml_node cy = bob.next_sibling("ExportLinkInfo");
    EXPECT_FALSE(cy.next_sibling("ExportLinkInfo"));
    expectChildren(bob,
        {{"EmailAddress", "bob@example.org"}, {"ShortNote", "Look & see"}, {"Culture", "en-US"},
            {"AllowForwarding", "false"}, {"IncludeSubFolders", "true"}, {"HitCounter", "0"},
            {"LastAccessDateUtc", "0001-01-01T00:00:00+00:00"}});
    expectChildren(cy, {{"EmailAddress", "cy@example.org"}, {"ShortNote", ""}});
    const QString direct = childText(bob, "DirectAccessLink");
    ASSERT_TRUE(direct.startsWith(service.baseUrl() + "/Pondrel/Gallery.aspx?e="));

    const QJsonArray mails = outbox(service);
    ASSERT_EQ(mails.size(), 4);
    QStringList recipients;
    for (const QJsonValue &mail : mails)
        recipients.append(mail.toObject().value("to").toString());
    EXPECT_EQ(recipients.count("bob@example.org"), 1);
    EXPECT_EQ(recipients.count("owner@example.org"), 2);
    EXPECT_TRUE(mails[0].toObject().value("body").toString().contains(direct));

    // The direct link works and counts; sub-albums are included for this recipient.
    const HttpResult page = SoapTestClient::get(direct);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("beach.jpg"));
    EXPECT_TRUE(page.body.contains("inner.jpg"));
    EXPECT_EQ(childText(linksInfo().resultNode().child("ExportLinkInfo"), "HitCounter"), "1");

    const SoapResult root = rootListing();
    EXPECT_EQ(
        countChildren(albumRecord(root).child("FolderAssetExportLinks"), "FolderAssetExportLink"),
        2);

    const SoapResult graph = call("GetExportGraph",
        {{"assetIdentifier", album}, {"startNode", ""}, {"depth", "1"}, {"format", ""}});
    ASSERT_TRUE(graph.ok()) << graph.fault.toStdString();
    const pugi::xml_node exportGraph = graph.resultNode().child("ExportGraph");
    EXPECT_EQ(childText(exportGraph.child("Vertex"), "UniqueIdentifier"), album);
    EXPECT_EQ(childText(exportGraph.child("ExportLinks").child("ExportLinkInfo"), "EmailAddress"),
        "bob@example.org");

    const auto revoke = [&](const char *email) {
        return call("RevokeExportLink", {{"assetIdentifier", album}, {"emailAddress", email}});
    };
    EXPECT_TRUE(revoke("bob@example.org").ok());
    EXPECT_FALSE(revoke("bob@example.org").ok());
    EXPECT_EQ(SoapTestClient::get(direct).status, 404);
    EXPECT_TRUE(revoke("cy@example.org").ok());
    EXPECT_FALSE(albumRecord(rootListing()).child("FolderAssetExportLinks"));
}

TEST_F(SharingTest, WebAddressGalleryAndFeed)
{
    const SoapResult created = call("CreateSymbolicLink",
        {{"assetIdentifier", album}, {"name", "Our <holiday>"}, {"description", "Sun & sea"},
            {"alias", ""}, {"password", ""}, {"includeSubFolders", "0"}});
    ASSERT_TRUE(created.ok()) << created.fault.toStdString();
    const QString address = created.result();
    ASSERT_TRUE(address.startsWith(service.baseUrl() + "/Pondrel/Gallery.aspx?a="));
    const QString identifier = address.mid(address.indexOf("a=") + 2);

    const auto info = [&](const QString &key) {
        return call("GetSymbolicLinkInfo", {{"symbolicLinkOrSymbolicLinkIdentifier", key}});
    };
    const SoapResult byAddress = info(address);
    ASSERT_TRUE(byAddress.ok());
    expectChildren(
        byAddress.resultNode(), {{"Url", address}, {"Name", "Our <holiday>"}, {"HitCounter", "0"}});
    EXPECT_TRUE(info(identifier).ok());

    const HttpResult page = SoapTestClient::get(address);
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.header("Content-Type").startsWith("text/html"));
    EXPECT_TRUE(page.body.contains("Our &lt;holiday&gt;"));
    EXPECT_TRUE(page.body.contains("beach.jpg"));
    EXPECT_FALSE(page.body.contains("inner.jpg")); // this address leaves sub-albums out
    const SoapResult listing = owner->getAssets(owner->session(), album);
    const auto renditions
        = renditionsOf(listing.resultNode().child("Assets").child("PictureFileAsset"));
    ASSERT_EQ(renditions.size(), 2);
    EXPECT_TRUE(page.body.contains(renditions["Thumbnail"]["Url"].toUtf8()));
    const SoapResult afterVisit = info(address);
    EXPECT_EQ(childText(afterVisit.resultNode(), "HitCounter"), "1");
    EXPECT_NE(childText(afterVisit.resultNode(), "LastAccessDateUtc"), "0001-01-01T00:00:00+00:00");

    const HttpResult feed = SoapTestClient::get(QString(address).replace("a=", "r="));
    ASSERT_EQ(feed.status, 200);
    pugi::xml_document rss;
    ASSERT_TRUE(rss.load_buffer(feed.body.constData(), size_t(feed.body.size())));
    EXPECT_STREQ(rss.child("rss").attribute("version").value(), "2.0");
    const pugi::xml_node channel = rss.child("rss").child("channel");
    expectChildren(channel, {{"title", "Our <holiday>"}, {"link", address}});
    const pugi::xml_node item = channel.child("item");
    EXPECT_EQ(childText(item, "title"), "beach.jpg");
    EXPECT_EQ(QString::fromUtf8(item.child("enclosure").attribute("url").value()),
        renditions["Preview"]["Url"]);
    EXPECT_FALSE(item.next_sibling("item"));

    EXPECT_EQ(childText(albumRecord(rootListing())
                            .child("FolderAssetSymbolicLinks")
                            .child("FolderAssetSymbolicLink"),
                  "Url"),
        address);
    const SoapResult withoutLinks = call("GetAssets",
        {{"parentIdentifier", ""}, {"commentsFilteringMode", "IncludeComments"},
            {"includeSymbolicLinks", "0"}, {"includeExportLinks", "0"}});
    ASSERT_TRUE(withoutLinks.ok());
    EXPECT_FALSE(albumRecord(withoutLinks).child("FolderAssetSymbolicLinks"));
    ASSERT_TRUE(
        call("DestroySymbolicLink", {{"symbolicLinkOrSymbolicLinkIdentifier", address}}).ok());
    EXPECT_EQ(SoapTestClient::get(address).status, 404);
    EXPECT_FALSE(info(address).ok());
    EXPECT_FALSE(albumRecord(rootListing()).child("FolderAssetSymbolicLinks"));
}

TEST_F(SharingTest, ImportAndDetachBetweenTwoAccounts)
{
    const QString address = call("CreateSymbolicLink",
        {{"assetIdentifier", album}, {"name", "Shared"}, {"description", ""}, {"alias", ""},
            {"password", ""},
            {"includeSubFolders",
                "1"}}).result();
    ASSERT_FALSE(address.isEmpty());
    const SoapTestClient &soap = *owner;
    ASSERT_TRUE(soap.createAccount("friend@example.org", "password2").ok());
    const QString other
        = soap.signOn("FFFFFFFF-0000-0000-0000-000000000001", "friend@example.org", "password2")
              .result();
    const auto importIt = [&](const QString &session) {
        return soap.inSession("ImportAssetFromSymbolicLink", session, {{"symbolicLink", address}});
    };
    EXPECT_FALSE(importIt(owner->session()).ok()); // one's own album
    const SoapResult imported = importIt(other);
    ASSERT_TRUE(imported.ok()) << imported.fault.toStdString();
    EXPECT_EQ(imported.result(), album);

    const SoapResult friendRoot = soap.getAssets(other, "");
    expectChildren(
        albumRecord(friendRoot), {{"UniqueIdentifier", album}, {"AssetType", "Imported"}});
    EXPECT_FALSE(albumRecord(friendRoot).child("FolderAssetSymbolicLinks")); // the owner's business
    const SoapResult inside = soap.getAssets(other, album);
    ASSERT_TRUE(inside.ok()) << inside.fault.toStdString();
    EXPECT_EQ(childText(inside.resultNode().child("Assets").child("PictureFileAsset"), "AssetType"),
        "Imported");
    EXPECT_TRUE(soap.getAssets(other, childText(albumRecord(inside), "UniqueIdentifier")).ok())
        << "sub-albums come along";
    EXPECT_FALSE(
        soap.inSession("RenameAsset", other,
                {{"namedAssetIdentifier", album}, {"name", "Mine now"}, {"description", ""}})
            .ok());

    const auto detach = [&](const QString &session) {
        return soap.inSession("DetachImportedAsset", session, {{"assetIdentifier", album}});
    };
    EXPECT_FALSE(detach(owner->session()).ok()); // the owner has nothing imported
    ASSERT_TRUE(detach(other).ok());
    EXPECT_FALSE(detach(other).ok());
    EXPECT_FALSE(soap.getAssets(other, "").resultNode().child("Assets").first_child());
    EXPECT_FALSE(soap.getAssets(other, album).ok());
    EXPECT_EQ(childText(albumRecord(rootListing()), "AssetType"), "Local");
}

// A password-protected web address opens its album only with the password, whether as the
// gallery page or imported into another account, and guessing it soon has to wait.
TEST_F(SharingTest, AProtectedAddressWantsItsPasswordEverywhere)
{
    const QString address = call("CreateSymbolicLink",
        {{"assetIdentifier", album}, {"name", "Private"}, {"description", ""}, {"alias", ""},
            {"password", "open-sesame"},
            {"includeSubFolders",
                "1"}}).result();
    ASSERT_FALSE(address.isEmpty());
    const SoapTestClient &soap = *owner;
    ASSERT_TRUE(soap.createAccount("snoop@example.org", "password2").ok());
    const QString snoop
        = soap.signOn("FFFFFFFF-0000-0000-0000-000000000002", "snoop@example.org", "password2")
              .result();
    const auto importIt = [&](const SoapParameters &password) {
        return soap.inSession("ImportAssetFromSymbolicLink", snoop,
            SoapParameters {{"symbolicLink", address}} + password);
    };
    EXPECT_EQ(importIt({}).faultMessage(), "This web address needs its password.");
    EXPECT_FALSE(soap.getAssets(snoop, album).ok());
    EXPECT_EQ(SoapTestClient::get(address).status, 401);
    EXPECT_EQ(SoapTestClient::get(address + "&p=open-sesame").status, 200);
    ASSERT_TRUE(importIt({{"password", "open-sesame"}}).ok());
    EXPECT_TRUE(soap.getAssets(snoop, album).ok());

    for (int guess = 0; guess < 5; ++guess)
        EXPECT_EQ(SoapTestClient::get(address + "&p=guess" + QString::number(guess)).status, 401);
    // Now even the right password waits: the guesser cannot tell.
    const HttpResult waiting = SoapTestClient::get(address + "&p=open-sesame");
    EXPECT_EQ(waiting.status, 429);
    EXPECT_FALSE(waiting.header("Retry-After").isEmpty());
    EXPECT_TRUE(importIt({{"password", "open-sesame"}}).faultMessage().startsWith("Too many"));
}

TEST(RefServiceFaults, CommandLineAndAdminFaults)
{
    RefServiceProcess service {{"--fault", "GetAssets:soapfault:The sky fell.", "--fault",
        "1*Create-Session:bits-no-session"}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    AgentSide agent(service, "faulty@example.org");
    const SoapResult listing = agent.getAssets(agent.session(), QString());
    EXPECT_EQ(listing.http.status, 500);
    EXPECT_EQ(listing.faultMessage(), "The sky fell.");

    // Uploads: a create answered without a session identifier.
    const QString album = agent.createFolder(agent.session(), QString(), "A").result();
    ASSERT_TRUE(agent.createPicture(agent.session(), album, "p.jpg").ok());
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(agent.visit());
    ASSERT_FALSE(commands.isEmpty());
    const QByteArray protocol = AgentSide::kProtocolOffer;
    const HttpResult noSession = AgentSide::bits(commands[0].url(), "Create-Session", {protocol});
    EXPECT_EQ(noSession.status, 200);
    EXPECT_TRUE(noSession.header("BITS-Session-Id").isEmpty());
    auto check = [&] { return agent.checkComputer(AgentSide::kComputer); };
    auto setFaults = [&](const QByteArray &lines) {
        return SoapTestClient::request(
            service.baseUrl() + "/Pondrel/Admin/Faults", "POST", lines, {service.adminHeader()})
            .status;
    };
    ASSERT_EQ(setFaults("1*CheckComputer:http500\n1*CheckComputer:empty\n1*CheckComputer:html\n"
                        "1*CheckComputer:drop\n"),
        200);
    const SoapResult http500 = check();
    EXPECT_EQ(http500.http.status, 500);
    EXPECT_FALSE(http500.response); // not SOAP
    const SoapResult empty = check();
    EXPECT_EQ(empty.http.status, 200);
    EXPECT_TRUE(empty.http.body.isEmpty());
    const SoapResult html = check();
    EXPECT_EQ(html.http.status, 502);
    EXPECT_TRUE(html.http.body.contains("<html>"));
    const SoapResult dropped = check();
    EXPECT_EQ(dropped.http.status, 0);
    EXPECT_FALSE(dropped.http.transportError.isEmpty());
    EXPECT_EQ(check().result(), "true"); // all used up
    EXPECT_EQ(setFaults("Nonsense"), 400);

    // Posting faults replaces those in play; a 403 for the next upload request.
    ASSERT_EQ(setFaults("1*Upload:bits403"), 200);
    const HttpResult forbidden = AgentSide::bits(commands[0].url(), "Create-Session", {protocol});
    EXPECT_EQ(forbidden.status, 403);
    EXPECT_EQ(forbidden.header("BITS-Packet-Type"), QByteArray("Ack"));
    EXPECT_EQ(AgentSide::upload(commands[0].url(), AgentSide::fakeJpeg(100, 'k')).status, 200);
}

} // namespace

} // namespace pondrel
