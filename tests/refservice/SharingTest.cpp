#include "UploadTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

SoapParameters recipientsCall(const QString &session, const QString &album, const QString &type)
{
    return {{QStringLiteral("sessionIdentifier"), session},
        {QStringLiteral("assetIdentifier"), album},
        {QStringLiteral("createDirectAccessLinks"), QStringLiteral("1")},
        {QStringLiteral("emailNotificationType"), type},
        {QStringLiteral("emailNotificationText"), QString()}};
}

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
    QByteArray body = SoapTestClient::envelope(QStringLiteral("ExportAssetEx"),
        QString::fromLatin1(SoapTestClient::kNamespaceBase)
            + QStringLiteral("/Pondrel/PublishingServices"),
        recipientsCall(session, album, type));
    body.replace("</createDirectAccessLinks>",
        "</createDirectAccessLinks><recipients>" + targets + "</recipients>");
    return soap.postRaw(QStringLiteral("/Pondrel/PublishingServices.asmx"), body);
}

QJsonArray outbox(const RefServiceProcess &service)
{
    const HttpResult reply
        = SoapTestClient::request(service.baseUrl() + "/Pondrel/Outbox", "GET", {});
    EXPECT_EQ(reply.status, 200);
    return QJsonDocument::fromJson(reply.body).array();
}

class SharingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        owner = std::make_unique<AgentSide>(service, QStringLiteral("owner@example.org"));
        album = owner->soap()
                    .createFolder(owner->session(), QString(), QStringLiteral("Holiday & Co"))
                    .result();
        const QString inner
            = owner->soap().createFolder(owner->session(), album, QStringLiteral("Inner")).result();
        ASSERT_FALSE(album.isEmpty());
        // Two pictures with finished renditions, one in a sub-album.
        ASSERT_TRUE(
            owner->soap().createPicture(owner->session(), album, QStringLiteral("beach.jpg")).ok());
        ASSERT_TRUE(
            owner->soap().createPicture(owner->session(), inner, QStringLiteral("inner.jpg")).ok());
        const SoapResult visit = owner->visit();
        QMap<QString, QList<QByteArray>> statuses;
        for (const auto &command : AgentSide::commandsOf(visit)) {
            const QByteArray bytes = AgentSide::fakeJpeg(800, 'q');
            ASSERT_EQ(AgentSide::upload(command.fields.value("url"), bytes).status, 200);
            statuses[command.batch].append(AgentSide::succeeded(command.fields.value("id"),
                command.fields.value("width").toInt(), 100, bytes.size()));
        }
        QByteArray all;
        for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
            all += AgentSide::batchStatus(it.key(), it.value());
        ASSERT_TRUE(owner->visit(all).ok());
    }

    SoapResult call(const char *operation, const SoapParameters &parameters) const
    {
        return owner->soap().publishing(QString::fromLatin1(operation), parameters);
    }

    SoapResult albumListing() const { return owner->soap().getAssets(owner->session(), QString()); }

    RefServiceProcess service;
    std::unique_ptr<AgentSide> owner;
    QString album;
};

TEST_F(SharingTest, InvitationsLinksAndRevocation)
{
    EXPECT_FALSE(share(owner->soap(), owner->session(), album,
        exportTarget("Bob", "bob@example.org", "") + exportTarget("X", "not an address", ""),
        QStringLiteral("Default"))
                     .ok());
    EXPECT_TRUE(outbox(service).isEmpty()); // nothing half sent

    const SoapResult shared = share(owner->soap(), owner->session(), album,
        exportTarget("Bob", "bob@example.org", "Look &amp; see")
            + exportTarget("Cy", "cy@example.org", ""),
        QStringLiteral("DefaultWithSenderCC"));
    ASSERT_TRUE(shared.ok()) << shared.fault.toStdString();

    const SoapResult info = call("GetExportLinksInfo",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("assetIdentifier"), album}});
    ASSERT_TRUE(info.ok());
    QList<pugi::xml_node> links;
    for (pugi::xml_node link : info.resultNode().children("ExportLinkInfo"))
        links.append(link);
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(childText(links[0], "EmailAddress"), QStringLiteral("bob@example.org"));
    EXPECT_EQ(childText(links[0], "ShortNote"), QStringLiteral("Look & see"));
    EXPECT_EQ(childText(links[0], "Culture"), QStringLiteral("en-US"));
    EXPECT_EQ(childText(links[0], "AllowForwarding"), QStringLiteral("false"));
    EXPECT_EQ(childText(links[0], "IncludeSubFolders"), QStringLiteral("true"));
    EXPECT_EQ(childText(links[0], "HitCounter"), QStringLiteral("0"));
    EXPECT_EQ(
        childText(links[0], "LastAccessDateUtc"), QStringLiteral("0001-01-01T00:00:00+00:00"));
    EXPECT_TRUE(links[1].child("ShortNote"));
    EXPECT_EQ(childText(links[1], "ShortNote"), QString());
    const QString direct = childText(links[0], "DirectAccessLink");
    ASSERT_TRUE(direct.startsWith(service.baseUrl() + "/Pondrel/Gallery.aspx?e="));

    const QJsonArray mails = outbox(service);
    ASSERT_EQ(mails.size(), 4);
    int toBob = 0, toOwner = 0;
    for (const QJsonValue &mail : mails) {
        const QString to = mail.toObject().value("to").toString();
        toBob += to == QLatin1String("bob@example.org");
        toOwner += to == QLatin1String("owner@example.org");
    }
    EXPECT_EQ(toBob, 1);
    EXPECT_EQ(toOwner, 2);
    EXPECT_TRUE(mails[0].toObject().value("body").toString().contains(direct));

    // The direct link works and counts.
    const HttpResult page = SoapTestClient::request(direct, "GET", {});
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("beach.jpg"));
    EXPECT_TRUE(page.body.contains("inner.jpg")); // sub-albums included for this recipient
    const SoapResult counted = call("GetExportLinksInfo",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("assetIdentifier"), album}});
    EXPECT_EQ(
        childText(counted.resultNode().child("ExportLinkInfo"), "HitCounter"), QStringLiteral("1"));

    const SoapResult root = albumListing();
    const pugi::xml_node record = root.resultNode().child("Assets").child("FolderAsset");
    EXPECT_EQ(std::distance(
                  record.child("FolderAssetExportLinks").children("FolderAssetExportLink").begin(),
                  record.child("FolderAssetExportLinks").children("FolderAssetExportLink").end()),
        2);

    const SoapResult graph = call("GetExportGraph",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("assetIdentifier"), album}, {QStringLiteral("startNode"), QString()},
            {QStringLiteral("depth"), QStringLiteral("1")}, {QStringLiteral("format"), QString()}});
    ASSERT_TRUE(graph.ok()) << graph.fault.toStdString();
    EXPECT_EQ(
        childText(graph.resultNode().child("ExportGraph").child("Vertex"), "UniqueIdentifier"),
        album);
    EXPECT_EQ(
        childText(
            graph.resultNode().child("ExportGraph").child("ExportLinks").child("ExportLinkInfo"),
            "EmailAddress"),
        QStringLiteral("bob@example.org"));

    auto revoke = [&](const char *email) {
        return call("RevokeExportLink",
            {{QStringLiteral("sessionIdentifier"), owner->session()},
                {QStringLiteral("assetIdentifier"), album},
                {QStringLiteral("emailAddress"), QString::fromLatin1(email)}});
    };
    EXPECT_TRUE(revoke("bob@example.org").ok());
    EXPECT_FALSE(revoke("bob@example.org").ok());
    EXPECT_EQ(SoapTestClient::request(direct, "GET", {}).status, 404);
    EXPECT_TRUE(revoke("cy@example.org").ok());
    const SoapResult after = albumListing();
    EXPECT_FALSE(
        after.resultNode().child("Assets").child("FolderAsset").child("FolderAssetExportLinks"));
}

TEST_F(SharingTest, WebAddressGalleryAndFeed)
{
    const SoapResult created = call("CreateSymbolicLink",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("assetIdentifier"), album},
            {QStringLiteral("name"), QStringLiteral("Our <holiday>")},
            {QStringLiteral("description"), QStringLiteral("Sun & sea")},
            {QStringLiteral("alias"), QString()}, {QStringLiteral("password"), QString()},
            {QStringLiteral("includeSubFolders"), QStringLiteral("0")}});
    ASSERT_TRUE(created.ok()) << created.fault.toStdString();
    const QString address = created.result();
    ASSERT_TRUE(address.startsWith(service.baseUrl() + "/Pondrel/Gallery.aspx?a="));
    const QString identifier = address.mid(address.indexOf("a=") + 2);

    auto info = [&](const QString &key) {
        return call("GetSymbolicLinkInfo",
            {{QStringLiteral("sessionIdentifier"), owner->session()},
                {QStringLiteral("symbolicLinkOrSymbolicLinkIdentifier"), key}});
    };
    const SoapResult byAddress = info(address);
    ASSERT_TRUE(byAddress.ok());
    EXPECT_EQ(childText(byAddress.resultNode(), "Url"), address);
    EXPECT_EQ(childText(byAddress.resultNode(), "Name"), QStringLiteral("Our <holiday>"));
    EXPECT_EQ(childText(byAddress.resultNode(), "HitCounter"), QStringLiteral("0"));
    EXPECT_TRUE(info(identifier).ok());

    const HttpResult page = SoapTestClient::request(address, "GET", {});
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.header("Content-Type").startsWith("text/html"));
    EXPECT_TRUE(page.body.contains("Our &lt;holiday&gt;"));
    EXPECT_TRUE(page.body.contains("beach.jpg"));
    EXPECT_FALSE(page.body.contains("inner.jpg")); // this address leaves sub-albums out
    const SoapResult listing = owner->soap().getAssets(owner->session(), album);
    const pugi::xml_node picture = listing.resultNode().child("Assets").child("PictureFileAsset");
    QString thumbnailUrl, previewUrl;
    for (pugi::xml_node rendition :
        picture.child("PictureFileAssetRenditions").children("PictureFileAssetRendition")) {
        (childText(rendition, "Name") == "Thumbnail" ? thumbnailUrl : previewUrl)
            = childText(rendition, "Url");
    }
    EXPECT_TRUE(page.body.contains(thumbnailUrl.toUtf8()));
    const SoapResult afterVisit = info(address);
    EXPECT_EQ(childText(afterVisit.resultNode(), "HitCounter"), QStringLiteral("1"));
    EXPECT_NE(childText(afterVisit.resultNode(), "LastAccessDateUtc"),
        QStringLiteral("0001-01-01T00:00:00+00:00"));

    QString feedAddress = address;
    feedAddress.replace(QStringLiteral("a="), QStringLiteral("r="));
    const HttpResult feed = SoapTestClient::request(feedAddress, "GET", {});
    ASSERT_EQ(feed.status, 200);
    pugi::xml_document rss;
    ASSERT_TRUE(rss.load_buffer(feed.body.constData(), size_t(feed.body.size())));
    EXPECT_STREQ(rss.child("rss").attribute("version").value(), "2.0");
    const pugi::xml_node channel = rss.child("rss").child("channel");
    EXPECT_EQ(childText(channel, "title"), QStringLiteral("Our <holiday>"));
    EXPECT_EQ(childText(channel, "link"), address);
    const pugi::xml_node item = channel.child("item");
    EXPECT_EQ(childText(item, "title"), QStringLiteral("beach.jpg"));
    EXPECT_EQ(QString::fromUtf8(item.child("enclosure").attribute("url").value()), previewUrl);
    EXPECT_FALSE(item.next_sibling("item"));

    const SoapResult root = albumListing();
    EXPECT_EQ(childText(root.resultNode()
                            .child("Assets")
                            .child("FolderAsset")
                            .child("FolderAssetSymbolicLinks")
                            .child("FolderAssetSymbolicLink"),
                  "Url"),
        address);
    const SoapResult withoutLinks = call("GetAssets",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("parentIdentifier"), QString()},
            {QStringLiteral("commentsFilteringMode"), QStringLiteral("IncludeComments")},
            {QStringLiteral("includeSymbolicLinks"), QStringLiteral("0")},
            {QStringLiteral("includeExportLinks"), QStringLiteral("0")}});
    ASSERT_TRUE(withoutLinks.ok());
    EXPECT_FALSE(withoutLinks.resultNode()
                     .child("Assets")
                     .child("FolderAsset")
                     .child("FolderAssetSymbolicLinks"));
    ASSERT_TRUE(call("DestroySymbolicLink",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("symbolicLinkOrSymbolicLinkIdentifier"), address}})
                    .ok());
    EXPECT_EQ(SoapTestClient::request(address, "GET", {}).status, 404);
    EXPECT_FALSE(info(address).ok());
    const SoapResult gone = albumListing();
    EXPECT_FALSE(
        gone.resultNode().child("Assets").child("FolderAsset").child("FolderAssetSymbolicLinks"));
}

TEST_F(SharingTest, ImportAndDetachBetweenTwoAccounts)
{
    const QString address = call("CreateSymbolicLink",
        {{QStringLiteral("sessionIdentifier"), owner->session()},
            {QStringLiteral("assetIdentifier"), album},
            {QStringLiteral("name"), QStringLiteral("Shared")},
            {QStringLiteral("description"), QString()}, {QStringLiteral("alias"), QString()},
            {QStringLiteral("password"), QString()},
            {QStringLiteral("includeSubFolders"), QStringLiteral("1")}})
                                .result();
    ASSERT_FALSE(address.isEmpty());
    const SoapTestClient &soap = owner->soap();
    ASSERT_TRUE(soap.createAccount(QStringLiteral("friend@example.org"), "password2").ok());
    const QString other = soap.signOn(QStringLiteral("FFFFFFFF-0000-0000-0000-000000000001"),
                                  QStringLiteral("friend@example.org"), "password2")
                              .result();
    auto importIt = [&](const QString &session) {
        return soap.publishing(QStringLiteral("ImportAssetFromSymbolicLink"),
            {{QStringLiteral("sessionIdentifier"), session},
                {QStringLiteral("symbolicLink"), address}});
    };
    EXPECT_FALSE(importIt(owner->session()).ok()); // one's own album
    const SoapResult imported = importIt(other);
    ASSERT_TRUE(imported.ok()) << imported.fault.toStdString();
    EXPECT_EQ(imported.result(), album);

    const SoapResult friendRoot = soap.getAssets(other, QString());
    const pugi::xml_node record = friendRoot.resultNode().child("Assets").child("FolderAsset");
    EXPECT_EQ(childText(record, "UniqueIdentifier"), album);
    EXPECT_EQ(childText(record, "AssetType"), QStringLiteral("Imported"));
    EXPECT_FALSE(record.child("FolderAssetSymbolicLinks")); // the owner's business
    const SoapResult inside = soap.getAssets(other, album);
    ASSERT_TRUE(inside.ok()) << inside.fault.toStdString();
    EXPECT_EQ(childText(inside.resultNode().child("Assets").child("PictureFileAsset"), "AssetType"),
        QStringLiteral("Imported"));
    const QString innerAlbum
        = childText(inside.resultNode().child("Assets").child("FolderAsset"), "UniqueIdentifier");
    EXPECT_TRUE(soap.getAssets(other, innerAlbum).ok()); // sub-albums come along
    EXPECT_FALSE(soap.publishing(QStringLiteral("RenameAsset"),
                         {{QStringLiteral("sessionIdentifier"), other},
                             {QStringLiteral("namedAssetIdentifier"), album},
                             {QStringLiteral("name"), QStringLiteral("Mine now")},
                             {QStringLiteral("description"), QString()}})
                     .ok());

    auto detach = [&](const QString &session) {
        return soap.publishing(QStringLiteral("DetachImportedAsset"),
            {{QStringLiteral("sessionIdentifier"), session},
                {QStringLiteral("assetIdentifier"), album}});
    };
    EXPECT_FALSE(detach(owner->session()).ok()); // the owner has nothing imported
    ASSERT_TRUE(detach(other).ok());
    EXPECT_FALSE(detach(other).ok());
    const SoapResult friendAfter = soap.getAssets(other, QString());
    EXPECT_FALSE(friendAfter.resultNode().child("Assets").first_child());
    EXPECT_FALSE(soap.getAssets(other, album).ok());
    const SoapResult ownerAfter = albumListing();
    EXPECT_EQ(childText(ownerAfter.resultNode().child("Assets").child("FolderAsset"), "AssetType"),
        QStringLiteral("Local"));
}

TEST(RefServiceFaults, CommandLineAndAdminFaults)
{
    RefServiceProcess service {
        {QStringLiteral("--fault"), QStringLiteral("GetAssets:soapfault:The sky fell."),
            QStringLiteral("--fault"), QStringLiteral("1*Create-Session:bits-no-session")}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    AgentSide agent(service, QStringLiteral("faulty@example.org"));
    const SoapResult listing = agent.soap().getAssets(agent.session(), QString());
    EXPECT_EQ(listing.http.status, 500);
    EXPECT_EQ(listing.faultMessage(), QStringLiteral("The sky fell."));

    // Uploads: a create answered without a session identifier.
    const QString album
        = agent.soap().createFolder(agent.session(), QString(), QStringLiteral("A")).result();
    ASSERT_TRUE(agent.soap().createPicture(agent.session(), album, QStringLiteral("p.jpg")).ok());
    const QList<AgentSide::Command> commands = AgentSide::commandsOf(agent.visit());
    ASSERT_FALSE(commands.isEmpty());
    const QByteArray protocol = "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}";
    const HttpResult noSession
        = AgentSide::bits(commands[0].fields.value("url"), "Create-Session", {protocol});
    EXPECT_EQ(noSession.status, 200);
    EXPECT_TRUE(noSession.header("BITS-Session-Id").isEmpty());
    auto check = [&] {
        return agent.soap().collection(QStringLiteral("CheckComputer"),
            {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
                {QStringLiteral("computerIdentifier"), AgentSide::kComputer}});
    };
    auto setFaults = [&](const QByteArray &lines) {
        return SoapTestClient::request(service.baseUrl() + "/Pondrel/Admin/Faults", "POST", lines)
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
    EXPECT_EQ(check().result(), QStringLiteral("true")); // all used up
    EXPECT_EQ(setFaults("Nonsense"), 400);

    // Posting faults replaces those in play; a 403 for the next upload request.
    ASSERT_EQ(setFaults("1*Upload:bits403"), 200);
    const HttpResult forbidden
        = AgentSide::bits(commands[0].fields.value("url"), "Create-Session", {protocol});
    EXPECT_EQ(forbidden.status, 403);
    EXPECT_EQ(forbidden.header("BITS-Packet-Type"), QByteArray("Ack"));
    EXPECT_EQ(
        AgentSide::upload(commands[0].fields.value("url"), AgentSide::fakeJpeg(100, 'k')).status,
        200);
}

} // namespace
