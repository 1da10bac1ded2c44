// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"
#include "tests/common/LoopbackHttpServer.h"

#include "client/oruPlatform.h"
#include "support/Preferences.h"

#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace pondrel {

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

// Each named element of the body holds its text.
void expectElements(const QByteArray &body, const QList<QPair<QString, QString>> &expected)
{
    for (const auto &[name, value] : expected)
        EXPECT_EQ(element(body, name), value) << name.toStdString();
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
        client.setSessionIdentifier(QStringLiteral("S"));
    }

    std::vector<QByteArray> sent(const QByteArray &operation) const
    {
        std::vector<QByteArray> bodies;
        for (const LoopbackHttpServer::Request &request : server.requests()) {
            if (operationOf(request) == operation)
                bodies.push_back(request.body);
        }
        return bodies;
    }

    ScratchHome home;
    LoopbackHttpServer server;
    ServiceEnvironment environment;
    QMap<QByteArray, QByteArray> answers;
    std::shared_ptr<RecordingAlert> alert = std::make_shared<RecordingAlert>();
    oruNetwork client {alert};
};

TEST_F(ScriptedServiceTest, FirstStartAsksWithoutAnIdentifierAndRegistersUnderTheComputerName)
{
    answers["CheckComputer"] = result("CheckComputer", "false");
    answers["RegisterComputer"] = result("RegisterComputer", "true");
    ASSERT_TRUE(client.registerComputerIfNeeded());
    const QString stored = Preferences::shared().value(oruNetwork::kComputerIDKey).toString();

    ASSERT_EQ(sent("CheckComputer").size(), 1u);
    EXPECT_EQ(element(sent("CheckComputer").at(0), "serviceKey"), "pondrel-desktop");
    EXPECT_FALSE(element(sent("CheckComputer").at(0), "computerIdentifier"));
    ASSERT_EQ(sent("RegisterComputer").size(), 1u);
    expectElements(sent("RegisterComputer").at(0),
        {{"computerIdentifier", stored}, {"computerName", oruPlatform::computerName()},
            {"computerDescription", oruPlatform::computerName()}});

    // A stored identifier the service knows, in whatever case it answers, registers nothing.
    answers["CheckComputer"] = result("CheckComputer", "True");
    oruNetwork second(alert);
    ASSERT_TRUE(second.registerComputerIfNeeded());
    EXPECT_EQ(second.computerIdentifier(), stored);
    ASSERT_EQ(sent("CheckComputer").size(), 2u);
    EXPECT_EQ(element(sent("CheckComputer").at(1), "computerIdentifier"), stored);
    EXPECT_EQ(sent("RegisterComputer").size(), 1u);
}

TEST_F(ScriptedServiceTest, ASignOnWithoutAnAccountOrASessionLeavesTheClientSignedOff)
{
    answers["SignOn"] = result("SignOn", "5E551011");
    answers["GetAccountInfo"] = fault("Server was unable to process request. ---&gt; Busy.");
    client.setIsLogged(true);
    client.setFirstName(QStringLiteral("Previous"));
    client.setEmailAddress(QStringLiteral("previous@example.com"));
    client.setPassword(QStringLiteral("previous-password"));
    client.setCulture(QStringLiteral("fr-FR"));

    EXPECT_FALSE(client.signOn(QStringLiteral("ada@example.com"), QStringLiteral("pw123456")));
    expectSignedOff(client);
    EXPECT_EQ(client.sessionIdentifier(), QStringLiteral("5E551011"));
    EXPECT_EQ(
        client.errorMsg(), QStringLiteral("Server was unable to process request. ---> Busy."));
    ASSERT_EQ(alert->shown.size(), 1);
    EXPECT_EQ(
        alert->shown.at(0), qMakePair(QStringLiteral("Login failed."), QStringLiteral("Busy.")));
    EXPECT_EQ(element(sent("GetAccountInfo").at(0), "sessionIdentifier"), "5E551011");

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
    client.setEmailAddress(QStringLiteral("ada@example.com"));
    client.setPassword(QStringLiteral("current-pw"));
    client.setCulture(QStringLiteral("en-GB"));
    ASSERT_TRUE(client.updateAccountInfo(QStringLiteral("Ada"), QStringLiteral("King"), {}));
    ASSERT_TRUE(
        client.updateAccountInfo(QStringLiteral("Ada"), QStringLiteral("King"), "fresh-pw"));
    ASSERT_EQ(sent("UpdateAccount").size(), 2u);
    expectElements(sent("UpdateAccount").at(0),
        {{"accountIdentifier", "ada@example.com"}, {"password", "current-pw"},
            {"newPassword", "current-pw"}, {"newFirstName", "Ada"}, {"newLastName", "King"},
            {"newEmailAddress", "ada@example.com"}, {"newCulture", "en-GB"}});
    expectElements(
        sent("UpdateAccount").at(1), {{"password", "current-pw"}, {"newPassword", "fresh-pw"}});
    EXPECT_EQ(client.password(), QStringLiteral("fresh-pw"));
}

TEST_F(ScriptedServiceTest, AccountCreationAlwaysSendsTheUsCulture)
{
    answers["CreateAccount"] = result("CreateAccount", "ada@example.com");
    client.setCulture(QStringLiteral("de-DE"));
    ASSERT_TRUE(client.createNewAccount(QStringLiteral("Ada"), QStringLiteral("Lovelace"),
        QStringLiteral("pw123456"), QStringLiteral("ada@example.com")));
    expectElements(sent("CreateAccount").at(0),
        {{"culture", "en-US"}, {"emailAddress", "ada@example.com"}, {"password", "pw123456"}});
}

TEST_F(ScriptedServiceTest, AssetListsKeepOnlyAlbumsAndPicturesInTheirOrder)
{
    answers["GetAssets"] = result("GetAssets",
        "<Assets><FolderAsset><UniqueIdentifier>A1</UniqueIdentifier></FolderAsset>"
        "<VideoFileAsset><UniqueIdentifier>V1</UniqueIdentifier></VideoFileAsset>"
        "<FolderAsset><UniqueIdentifier>A2</UniqueIdentifier></FolderAsset>"
        "<PictureFileAsset><UniqueIdentifier>P1</UniqueIdentifier></PictureFileAsset>"
        "</Assets>");
    const std::optional<QVariantList> assets = client.getAssets(QStringLiteral("ROOT"));
    ASSERT_TRUE(assets);
    QStringList seen;
    for (const QVariant &asset : *assets)
        seen.append(asset.toMap().value(QStringLiteral("UniqueIdentifier")).toString() + ':'
            + asset.toMap().value(QStringLiteral("CS_AssetKind")).toString());
    EXPECT_EQ(seen, QStringList({"A1:FolderAsset", "A2:FolderAsset", "P1:PictureFileAsset"}));
    expectElements(sent("GetAssets").at(0),
        {{"parentIdentifier", "ROOT"}, {"commentsFilteringMode", "IncludeComments"},
            {"includeSymbolicLinks", "1"}, {"includeExportLinks", "1"}});
}

TEST_F(ScriptedServiceTest, SharingSendsOneExportTargetPerRecipientAndAnEmptyNotificationText)
{
    answers["ExportAssetEx"] = result("ExportAssetEx", "true");
    const QVariantList recipients
        = {oruNetwork::recipientRecord(QStringLiteral("Bob"), QStringLiteral("bob@example.com"),
               QStringLiteral("Hi & bye"), true, false),
            oruNetwork::recipientRecord(
                QStringLiteral("Eve"), QStringLiteral("eve@example.com"), {}, false, true)};
    ASSERT_TRUE(client.sendSharing(
        {QStringLiteral("ALBUM")}, recipients, true, QStringLiteral("DefaultWithSenderCC")));

    const QByteArray body = sent("ExportAssetEx").at(0);
    const std::optional<QString> list = element(body, QStringLiteral("recipients"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(QStringLiteral("<ExportTarget>")), 2);
    EXPECT_TRUE(list->contains(QStringLiteral("<EmailAddress>bob@example.com</EmailAddress>")));
    EXPECT_TRUE(list->contains(QStringLiteral("<ShortNote>Hi &amp; bye</ShortNote>")));
    EXPECT_EQ(list->count(QStringLiteral("<Culture>en-US</Culture>")), 2);
    expectElements(body,
        {{"emailNotificationText", ""}, {"emailNotificationType", "DefaultWithSenderCC"},
            {"createDirectAccessLinks", "1"}, {"assetIdentifier", "ALBUM"}});

    answers["ExportAssetEx"] = fault("Server was unable to process request. ---&gt; No way.");
    EXPECT_FALSE(client.sendSharing({QStringLiteral("ALBUM")}, recipients, false, "Default"));
    ASSERT_EQ(alert->shown.size(), 1);
    EXPECT_EQ(alert->shown.at(0),
        qMakePair(QStringLiteral("Sharing of this album failed."), QStringLiteral("No way.")));
}

TEST_F(ScriptedServiceTest, WallpapersAreTheScreenSizeUpToTheLargestOne)
{
    const QByteArray operation = "RequestPictureFileAssetWallpaperRendition";
    answers[operation] = result(operation, "true");
    const oruAssetItem portrait {QStringLiteral("PIC"), 6, 3000, 4000};

    // Without a screen to measure nothing is asked.
    EXPECT_FALSE(client.requestWallpaper(portrait));
    EXPECT_EQ(alert->shown.size(), 1);
    EXPECT_TRUE(sent(operation).empty());

    QSizeF screen;
    client.setScreenSizeProvider([&screen] { return screen; });
    const QList<QPair<QSizeF, QString>> cases = {{QSizeF(2560, 1600), "1920x1200"},
        {QSizeF(1920, 1440), "1920x1200"}, {QSizeF(1680.7, 1050.2), "1680x1050"}};
    for (const auto &[size, expected] : cases) {
        screen = size;
        ASSERT_TRUE(client.requestWallpaper(portrait));
        const QByteArray body = sent(operation).back();
        EXPECT_EQ(element(body, "pictureFileAssetIdentifier"), "PIC");
        EXPECT_EQ(*element(body, "width") + 'x' + *element(body, "height"), expected);
    }
    answers[operation] = fault("No such picture.");
    EXPECT_FALSE(client.requestWallpaper(portrait));
    ASSERT_EQ(alert->shown.size(), 2);
    EXPECT_EQ(alert->shown.at(1),
        qMakePair(QStringLiteral("Request for wallpaper has failed."),
            QStringLiteral("No such picture.")));
}

} // namespace

} // namespace pondrel
