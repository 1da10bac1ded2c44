#include "ClientTestSupport.h"
#include "LoopbackHttpServer.h"

#include "client/oruPlatform.h"
#include "support/Preferences.h"

#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QByteArray kPublishingNamespace = "http://services.trevane.com/Pondrel/PublishingServices";

QByteArray envelope(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
           "<soap:Body>"
        + body + "</soap:Body></soap:Envelope>";
}

QByteArray result(const QByteArray &operation, const QByteArray &content)
{
    return LoopbackHttpServer::response(200,
        envelope("<" + operation + "Response xmlns=\"" + kPublishingNamespace + "\"><" + operation
            + "Result>" + content + "</" + operation + "Result></" + operation + "Response>"));
}

QByteArray fault(const QByteArray &text)
{
    return LoopbackHttpServer::response(500,
        envelope("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>" + text
            + "</faultstring><detail /></soap:Fault>"));
}

QByteArray operationOf(const LoopbackHttpServer::Request &request)
{
    QByteArray action = request.header("SOAPAction");
    action.replace('"', "");
    return action.mid(action.lastIndexOf('/') + 1);
}

// The text of the first element of that name in a request body; none when it is absent.
std::optional<QString> element(const QByteArray &body, const QString &name)
{
    const QRegularExpression pattern(
        QStringLiteral("<%1>(.*?)</%1>|<%1\\s*/>").arg(QRegularExpression::escape(name)),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(body));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

// A loopback peer that answers each operation from a table and keeps what was sent.
class ScriptedServiceTest : public ::testing::Test
{
protected:
    ScriptedServiceTest()
        : environment(server.url())
    {
        server.setResponder([this](const LoopbackHttpServer::Request &request) {
            return answers.value(operationOf(request), fault("Unknown operation"));
        });
    }

    std::vector<LoopbackHttpServer::Request> sent(const QByteArray &operation) const
    {
        std::vector<LoopbackHttpServer::Request> matching;
        for (const LoopbackHttpServer::Request &request : server.requests()) {
            if (operationOf(request) == operation)
                matching.push_back(request);
        }
        return matching;
    }

    ScratchHome home;
    LoopbackHttpServer server;
    ServiceEnvironment environment;
    QMap<QByteArray, QByteArray> answers;
    std::shared_ptr<RecordingAlert> alert = std::make_shared<RecordingAlert>();
};

TEST_F(ScriptedServiceTest, FirstStartAsksWithoutAnIdentifierAndRegistersUnderTheComputerName)
{
    answers["CheckComputer"] = result("CheckComputer", "false");
    answers["RegisterComputer"] = result("RegisterComputer", "true");
    oruNetwork client(alert);
    ASSERT_TRUE(client.registerComputerIfNeeded());

    ASSERT_EQ(sent("CheckComputer").size(), 1u);
    const QByteArray check = sent("CheckComputer").at(0).body;
    EXPECT_EQ(element(check, QStringLiteral("serviceKey")), QStringLiteral("pondrel-desktop"));
    EXPECT_FALSE(element(check, QStringLiteral("computerIdentifier"))) << check.toStdString();

    ASSERT_EQ(sent("RegisterComputer").size(), 1u);
    const QByteArray registration = sent("RegisterComputer").at(0).body;
    EXPECT_EQ(element(registration, QStringLiteral("computerIdentifier")),
        Preferences::shared().value(oruNetwork::kComputerIDKey).toString());
    EXPECT_EQ(element(registration, QStringLiteral("computerName")), oruPlatform::computerName());
    EXPECT_EQ(
        element(registration, QStringLiteral("computerDescription")), oruPlatform::computerName());

    // A stored identifier the service knows, in whatever case it answers, registers nothing.
    const QString stored = Preferences::shared().value(oruNetwork::kComputerIDKey).toString();
    answers["CheckComputer"] = result("CheckComputer", "True");
    oruNetwork second(alert);
    ASSERT_TRUE(second.registerComputerIfNeeded());
    EXPECT_EQ(second.computerIdentifier(), stored);
    ASSERT_EQ(sent("CheckComputer").size(), 2u);
    EXPECT_EQ(
        element(sent("CheckComputer").at(1).body, QStringLiteral("computerIdentifier")), stored);
    EXPECT_EQ(sent("RegisterComputer").size(), 1u);
}

TEST_F(ScriptedServiceTest, ASignOnWithoutAnAccountOrASessionLeavesTheClientSignedOff)
{
    answers["SignOn"] = result("SignOn", "5E551011");
    answers["GetAccountInfo"] = fault("Server was unable to process request. ---&gt; Busy.");
    oruNetwork client(alert);
    client.setIsLogged(true);
    client.setFirstName(QStringLiteral("Previous"));
    client.setEmailAddress(QStringLiteral("previous@example.com"));
    client.setPassword(QStringLiteral("previous-password"));
    client.setCulture(QStringLiteral("fr-FR"));

    EXPECT_FALSE(client.signOn(QStringLiteral("ada@example.com"), QStringLiteral("pw123456")));
    EXPECT_FALSE(client.isLogged());
    EXPECT_EQ(client.firstName(), QString());
    EXPECT_EQ(client.emailAddress(), QString());
    EXPECT_EQ(client.password(), QString());
    EXPECT_EQ(client.culture(), QString());
    EXPECT_EQ(client.sessionIdentifier(), QStringLiteral("5E551011"));
    EXPECT_EQ(
        client.errorMsg(), QStringLiteral("Server was unable to process request. ---> Busy."));
    ASSERT_EQ(alert->shown.size(), 1);
    EXPECT_EQ(
        alert->shown.at(0), qMakePair(QStringLiteral("Login failed."), QStringLiteral("Busy.")));
    EXPECT_EQ(element(sent("GetAccountInfo").at(0).body, QStringLiteral("sessionIdentifier")),
        QStringLiteral("5E551011"));

    // A reply without a session counts as no response, and asks for no account.
    answers["SignOn"] = result("SignOn", "");
    EXPECT_FALSE(client.signOn(QStringLiteral("ada@example.com"), QStringLiteral("pw123456")));
    EXPECT_EQ(client.errorMsg(), QStringLiteral("No Response from server"));
    ASSERT_EQ(alert->shown.size(), 2);
    EXPECT_EQ(alert->shown.at(1).second, QStringLiteral("No Response from server"));
    EXPECT_EQ(sent("GetAccountInfo").size(), 1u);
}

TEST_F(ScriptedServiceTest, UpdateSendsTheCurrentPasswordTwiceWhenNoNewOneIsGiven)
{
    answers["UpdateAccount"] = result("UpdateAccount", "true");
    oruNetwork client(alert);
    client.setEmailAddress(QStringLiteral("ada@example.com"));
    client.setPassword(QStringLiteral("current-pw"));
    client.setCulture(QStringLiteral("en-GB"));

    ASSERT_TRUE(client.updateAccountInfo(QStringLiteral("Ada"), QStringLiteral("King"), {}));
    ASSERT_TRUE(
        client.updateAccountInfo(QStringLiteral("Ada"), QStringLiteral("King"), "fresh-pw"));
    ASSERT_EQ(sent("UpdateAccount").size(), 2u);
    const QByteArray kept = sent("UpdateAccount").at(0).body;
    EXPECT_EQ(
        element(kept, QStringLiteral("accountIdentifier")), QStringLiteral("ada@example.com"));
    EXPECT_EQ(element(kept, QStringLiteral("password")), QStringLiteral("current-pw"));
    EXPECT_EQ(element(kept, QStringLiteral("newPassword")), QStringLiteral("current-pw"));
    EXPECT_EQ(element(kept, QStringLiteral("newFirstName")), QStringLiteral("Ada"));
    EXPECT_EQ(element(kept, QStringLiteral("newLastName")), QStringLiteral("King"));
    EXPECT_EQ(element(kept, QStringLiteral("newEmailAddress")), QStringLiteral("ada@example.com"));
    EXPECT_EQ(element(kept, QStringLiteral("newCulture")), QStringLiteral("en-GB"));
    const QByteArray changed = sent("UpdateAccount").at(1).body;
    EXPECT_EQ(element(changed, QStringLiteral("password")), QStringLiteral("current-pw"));
    EXPECT_EQ(element(changed, QStringLiteral("newPassword")), QStringLiteral("fresh-pw"));
    EXPECT_EQ(client.password(), QStringLiteral("fresh-pw"));
}

TEST_F(ScriptedServiceTest, AccountCreationAlwaysSendsTheUsCulture)
{
    answers["CreateAccount"] = result("CreateAccount", "ada@example.com");
    oruNetwork client(alert);
    client.setCulture(QStringLiteral("de-DE"));
    ASSERT_TRUE(client.createNewAccount(QStringLiteral("Ada"), QStringLiteral("Lovelace"),
        QStringLiteral("pw123456"), QStringLiteral("ada@example.com")));
    const QByteArray body = sent("CreateAccount").at(0).body;
    EXPECT_EQ(element(body, QStringLiteral("culture")), QStringLiteral("en-US"));
    EXPECT_EQ(element(body, QStringLiteral("emailAddress")), QStringLiteral("ada@example.com"));
    EXPECT_EQ(element(body, QStringLiteral("password")), QStringLiteral("pw123456"));
}

TEST_F(ScriptedServiceTest, AssetListsKeepOnlyAlbumsAndPicturesAndTakeASingleRecordAsAList)
{
    answers["GetAssets"] = result("GetAssets",
        "<Assets><FolderAsset><UniqueIdentifier>A1</UniqueIdentifier></FolderAsset>"
        "<VideoFileAsset><UniqueIdentifier>V1</UniqueIdentifier></VideoFileAsset>"
        "<FolderAsset><UniqueIdentifier>A2</UniqueIdentifier></FolderAsset>"
        "<PictureFileAsset><UniqueIdentifier>P1</UniqueIdentifier></PictureFileAsset>"
        "</Assets>");
    oruNetwork client(alert);
    client.setSessionIdentifier(QStringLiteral("S"));
    const std::optional<QVariantList> assets = client.getAssets(QStringLiteral("ROOT"));
    ASSERT_TRUE(assets);
    QStringList seen;
    for (const QVariant &asset : *assets)
        seen.append(asset.toMap().value(QStringLiteral("UniqueIdentifier")).toString() + ':'
            + asset.toMap().value(QStringLiteral("CS_AssetKind")).toString());
    EXPECT_EQ(seen,
        QStringList({QStringLiteral("A1:FolderAsset"), QStringLiteral("A2:FolderAsset"),
            QStringLiteral("P1:PictureFileAsset")}));

    const QByteArray body = sent("GetAssets").at(0).body;
    EXPECT_EQ(element(body, QStringLiteral("parentIdentifier")), QStringLiteral("ROOT"));
    EXPECT_EQ(
        element(body, QStringLiteral("commentsFilteringMode")), QStringLiteral("IncludeComments"));
    EXPECT_EQ(element(body, QStringLiteral("includeSymbolicLinks")), QStringLiteral("1"));
    EXPECT_EQ(element(body, QStringLiteral("includeExportLinks")), QStringLiteral("1"));
}

TEST_F(ScriptedServiceTest, SharingSendsOneExportTargetPerRecipientAndAnEmptyNotificationText)
{
    answers["ExportAssetEx"] = result("ExportAssetEx", "true");
    oruNetwork client(alert);
    client.setSessionIdentifier(QStringLiteral("S"));
    const QVariantList recipients
        = {oruNetwork::recipientRecord(QStringLiteral("Bob"), QStringLiteral("bob@example.com"),
               QStringLiteral("Hi & bye"), true, false),
            oruNetwork::recipientRecord(
                QStringLiteral("Eve"), QStringLiteral("eve@example.com"), {}, false, true)};
    ASSERT_TRUE(client.sendSharing(
        {QStringLiteral("ALBUM")}, recipients, true, QStringLiteral("DefaultWithSenderCC")));

    const QByteArray body = sent("ExportAssetEx").at(0).body;
    const std::optional<QString> list = element(body, QStringLiteral("recipients"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(QStringLiteral("<ExportTarget>")), 2);
    EXPECT_TRUE(list->contains(QStringLiteral("<EmailAddress>bob@example.com</EmailAddress>")));
    EXPECT_TRUE(list->contains(QStringLiteral("<ShortNote>Hi &amp; bye</ShortNote>")));
    EXPECT_EQ(list->count(QStringLiteral("<Culture>en-US</Culture>")), 2);
    EXPECT_EQ(element(body, QStringLiteral("emailNotificationText")), QString());
    EXPECT_EQ(element(body, QStringLiteral("emailNotificationType")),
        QStringLiteral("DefaultWithSenderCC"));
    EXPECT_EQ(element(body, QStringLiteral("createDirectAccessLinks")), QStringLiteral("1"));
    EXPECT_EQ(element(body, QStringLiteral("assetIdentifier")), QStringLiteral("ALBUM"));

    answers["ExportAssetEx"] = fault("Server was unable to process request. ---&gt; No way.");
    EXPECT_FALSE(client.sendSharing({QStringLiteral("ALBUM")}, recipients, false, "Default"));
    ASSERT_EQ(alert->shown.size(), 1);
    EXPECT_EQ(alert->shown.at(0),
        qMakePair(QStringLiteral("Sharing of this album failed."), QStringLiteral("No way.")));
}

TEST_F(ScriptedServiceTest, WallpapersAreTheScreenSizeUpToTheLargestOne)
{
    answers["RequestPictureFileAssetWallpaperRendition"]
        = result("RequestPictureFileAssetWallpaperRendition", "true");
    oruNetwork client(alert);
    client.setSessionIdentifier(QStringLiteral("S"));
    const oruAssetItem portrait {QStringLiteral("PIC"), 6, 3000, 4000};

    EXPECT_FALSE(client.requestWallpaper(portrait));
    EXPECT_EQ(alert->shown.size(), 1);
    EXPECT_TRUE(sent("RequestPictureFileAssetWallpaperRendition").empty());

    QSizeF screen;
    client.setScreenSizeProvider([&screen] { return screen; });
    for (const QSizeF size : {QSizeF(2560, 1600), QSizeF(1920, 1440), QSizeF(1680.7, 1050.2)}) {
        screen = size;
        ASSERT_TRUE(client.requestWallpaper(portrait));
    }
    const auto requests = sent("RequestPictureFileAssetWallpaperRendition");
    ASSERT_EQ(requests.size(), 3u);
    const QStringList expected
        = {QStringLiteral("1920x1200"), QStringLiteral("1920x1200"), QStringLiteral("1680x1050")};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const QByteArray &body = requests.at(i).body;
        EXPECT_EQ(
            element(body, QStringLiteral("pictureFileAssetIdentifier")), QStringLiteral("PIC"));
        EXPECT_EQ(*element(body, QStringLiteral("width")) + 'x'
                + *element(body, QStringLiteral("height")),
            expected.at(qsizetype(i)));
    }
}

TEST_F(ScriptedServiceTest, TheExportGraphIsTheWholeReplyOrNone)
{
    answers["GetExportGraph"] = result("GetExportGraph", "<Graph><Node>n</Node></Graph>");
    oruNetwork client(alert);
    client.setSessionIdentifier(QStringLiteral("S"));
    const std::optional<QVariantMap> graph
        = client.getExportGraph({QStringLiteral("ALBUM")}, QStringLiteral("Root"), 3, "Xml");
    ASSERT_TRUE(graph);
    EXPECT_EQ(graph->value(QStringLiteral("GetExportGraphResult"))
                  .toMap()
                  .value(QStringLiteral("Graph"))
                  .toMap()
                  .value(QStringLiteral("Node")),
        QStringLiteral("n"));
    const QByteArray body = sent("GetExportGraph").at(0).body;
    EXPECT_EQ(element(body, QStringLiteral("startNode")), QStringLiteral("Root"));
    EXPECT_EQ(element(body, QStringLiteral("depth")), QStringLiteral("3"));
    EXPECT_EQ(element(body, QStringLiteral("format")), QStringLiteral("Xml"));

    answers["GetExportGraph"] = fault("No graph.");
    EXPECT_FALSE(client.getExportGraph({QStringLiteral("ALBUM")}, {}, 1, {}));
    EXPECT_EQ(client.errorMsg(), QStringLiteral("No graph."));
    EXPECT_TRUE(alert->shown.isEmpty());
}

} // namespace
