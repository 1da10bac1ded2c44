// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"
#include "tests/common/StandardErrorCapture.h"

#include "support/Preferences.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QRegularExpression kUuidPattern(
    QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
const QString kEmail = QStringLiteral("ada@example.com");
const QString kBadCredentials = QStringLiteral("Invalid e-mail address or password.");

class IdentityAccountTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fixture.start()) << fixture.errorMsg().toStdString(); }

    RefServiceFixture fixture;
};

TEST_F(IdentityAccountTest, FirstStartRegistersSecondStartNothingAnUnknownIdentifierIsReplaced)
{
    ASSERT_FALSE(Preferences::shared().contains(oruNetwork::kComputerIDKey));

    const std::unique_ptr<oruNetwork> first = fixture.newClient();
    EXPECT_EQ(first->computerIdentifier(), oruNetwork::kPlaceholderComputerIdentifier);
    ASSERT_TRUE(first->registerComputerIfNeeded()) << first->errorMsg().toStdString();
    const QString identifier = first->computerIdentifier();
    EXPECT_TRUE(kUuidPattern.match(identifier).hasMatch()) << identifier.toStdString();
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(), identifier);
    EXPECT_EQ(fixture.requestCount(QStringLiteral("CheckComputer")), 1);
    EXPECT_EQ(fixture.requestCount(QStringLiteral("RegisterComputer")), 1);

    const std::unique_ptr<oruNetwork> second = fixture.newClient();
    ASSERT_TRUE(second->registerComputerIfNeeded());
    EXPECT_EQ(second->computerIdentifier(), identifier);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(), identifier);
    EXPECT_EQ(fixture.requestCount(QStringLiteral("CheckComputer")), 2);
    EXPECT_EQ(fixture.requestCount(QStringLiteral("RegisterComputer")), 1);
    EXPECT_TRUE(fixture.alert->shown.isEmpty());

    // An identifier the service does not know is replaced, and the new one stored.
    const QString forgotten = QStringLiteral("0F8E5B2A-0000-4000-8000-000000000001");
    ASSERT_TRUE(Preferences::shared().setValue(oruNetwork::kComputerIDKey, forgotten));
    const std::unique_ptr<oruNetwork> third = fixture.newClient();
    ASSERT_TRUE(third->registerComputerIfNeeded());
    EXPECT_NE(third->computerIdentifier(), forgotten);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(),
        third->computerIdentifier());
    EXPECT_EQ(fixture.requestCount(QStringLiteral("RegisterComputer")), 2);
    EXPECT_TRUE(third->checkComputer());
}

TEST(IdentityOfflineTest, AStoredIdentifierSurvivesAServiceThatCannotBeReached)
{
    ScratchHome home;
    const quint16 closedPort = LoopbackHttpServer::closedPort();
    ASSERT_NE(closedPort, 0);
    const ServiceEnvironment environment(QStringLiteral("http://127.0.0.1:%1").arg(closedPort));
    const QString stored = QStringLiteral("0F8E5B2A-0000-4000-8000-000000000002");
    ASSERT_TRUE(Preferences::shared().setValue(oruNetwork::kComputerIDKey, stored));

    oruNetwork client(std::make_shared<RecordingAlert>());
    EXPECT_FALSE(client.registerComputerIfNeeded());
    EXPECT_FALSE(client.errorMsg().isEmpty());
    EXPECT_EQ(client.computerIdentifier(), stored);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(), stored);
}

namespace {

QByteArray collectionReply(const QByteArray &operation, const QByteArray &outputs)
{
    return LoopbackHttpServer::response(200,
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><"
            + operation
            + "Response xmlns=\"http://services.trevane.com/Pondrel/CollectionServices\">" + outputs
            + "</" + operation + "Response></soap:Body></soap:Envelope>");
}

} // namespace

TEST(IdentityScriptedTest, OnlyAnExplicitNoReplacesTheIdentifierAndOnlyARegisteredOneIsStored)
{
    ScratchHome home;
    LoopbackHttpServer server;
    const ServiceEnvironment environment(server.url());
    const QString stored = QStringLiteral("0F8E5B2A-0000-4000-8000-000000000003");
    ASSERT_TRUE(Preferences::shared().setValue(oruNetwork::kComputerIDKey, stored));
    const QByteArray fault = LoopbackHttpServer::response(500,
        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
        "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>database busy</faultstring>"
        "</soap:Fault></soap:Body></soap:Envelope>");
    const QByteArray proxyPage
        = LoopbackHttpServer::response(500, "<html><body>Bad gateway</body></html>", "text/html");
    const QByteArray unknown
        = collectionReply("CheckComputer", "<CheckComputerResult>false</CheckComputerResult>");
    const QByteArray registrationFault = fault;

    for (const QList<QByteArray> &replies :
        {QList<QByteArray> {fault}, {proxyPage}, {unknown, registrationFault}}) {
        for (const QByteArray &reply : replies)
            server.enqueue(reply);
        oruNetwork client(std::make_shared<RecordingAlert>());
        EXPECT_FALSE(client.registerComputerIfNeeded());
        EXPECT_EQ(client.computerIdentifier(), stored);
        EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(), stored);
    }
    EXPECT_EQ(server.requests().size(), 4u);

    server.enqueue(unknown);
    server.enqueue(collectionReply("RegisterComputer", ""));
    oruNetwork client(std::make_shared<RecordingAlert>());
    EXPECT_TRUE(client.registerComputerIfNeeded()) << client.errorMsg().toStdString();
    EXPECT_NE(client.computerIdentifier(), stored);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(),
        client.computerIdentifier());
}

TEST_F(IdentityAccountTest, AGoodSignOnFillsTheAccountFieldsAndSignOffForgetsThem)
{
    const std::unique_ptr<oruNetwork> client = fixture.newClient();
    ASSERT_TRUE(client->registerComputerIfNeeded());
    ASSERT_TRUE(client->createNewAccount(
        QStringLiteral("Ada"), QStringLiteral("Lovelace"), RefServiceFixture::kPassword, kEmail))
        << client->errorMsg().toStdString();
    expectSignedOff(*client);
    EXPECT_TRUE(client->sessionIdentifier().isEmpty());

    ASSERT_TRUE(client->signOn(kEmail, RefServiceFixture::kPassword));
    EXPECT_TRUE(client->isLogged());
    EXPECT_FALSE(client->sessionIdentifier().isEmpty());
    EXPECT_EQ(client->firstName(), QStringLiteral("Ada"));
    EXPECT_EQ(client->emailAddress(), kEmail);
    EXPECT_EQ(client->culture(), QStringLiteral("en-US"));
    EXPECT_EQ(client->password(), RefServiceFixture::kPassword);
    EXPECT_TRUE(client->getSessionInfo());
    EXPECT_TRUE(fixture.alert->shown.isEmpty());

    const std::optional<QVariantMap> info = client->getAccountInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value(QStringLiteral("LastName")), QStringLiteral("Lovelace"));
    EXPECT_EQ(info->value(QStringLiteral("Culture")), QStringLiteral("en-US"));

    // A second account for the same address is refused and leaves the signed-on one alone.
    EXPECT_FALSE(client->createNewAccount(
        QStringLiteral("Ada"), QStringLiteral("Again"), RefServiceFixture::kPassword, kEmail));
    EXPECT_TRUE(client->errorMsg().contains(QStringLiteral("already exists")));
    ASSERT_EQ(fixture.alert->shown.size(), 1);
    EXPECT_EQ(fixture.alert->shown.at(0).first, QStringLiteral("Creation of new account failed."));
    EXPECT_TRUE(client->isLogged());

    // Signing off forgets the account and the visit timer but keeps the session text.
    const QString session = client->sessionIdentifier();
    client->setVisitTimer(std::make_unique<QTimer>());
    client->visitTimer()->start(60'000);
    EXPECT_TRUE(client->signOff());
    expectSignedOff(*client);
    EXPECT_EQ(client->visitTimer(), nullptr);
    EXPECT_EQ(client->sessionIdentifier(), session);
    EXPECT_FALSE(client->getSessionInfo());
    EXPECT_FALSE(client->getAccountInfoAsTypedDataSet());
    ASSERT_EQ(fixture.alert->shown.size(), 2);
    EXPECT_EQ(fixture.alert->shown.at(1).first,
        QStringLiteral("Retrieving of infos for account failed."));
}

TEST_F(IdentityAccountTest, ARefusedSignOnClearsTheAccountAndShowsTheFaultAfterItsMarker)
{
    const std::unique_ptr<oruNetwork> client = fixture.signedOnClient(kEmail);
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->isLogged());

    EXPECT_FALSE(client->signOn(kEmail, QStringLiteral("not-the-password")));
    expectSignedOff(*client);
    EXPECT_TRUE(client->errorMsg().contains(QStringLiteral("---> ")))
        << client->errorMsg().toStdString();
    EXPECT_TRUE(client->errorMsg().endsWith(kBadCredentials));
    ASSERT_EQ(fixture.alert->shown.size(), 1);
    EXPECT_EQ(fixture.alert->shown.at(0).first, QStringLiteral("Login failed."));
    EXPECT_EQ(fixture.alert->shown.at(0).second, kBadCredentials);
}

TEST_F(IdentityAccountTest, UpdateWithoutANewPasswordKeepsItAndWithOneReplacesIt)
{
    const std::unique_ptr<oruNetwork> client = fixture.signedOnClient(kEmail);
    ASSERT_TRUE(client);

    ASSERT_TRUE(client->updateAccountInfo(QStringLiteral("Augusta"), QStringLiteral("King"), {}))
        << client->errorMsg().toStdString();
    EXPECT_EQ(client->password(), RefServiceFixture::kPassword);
    const std::unique_ptr<oruNetwork> other = fixture.newClient();
    ASSERT_TRUE(other->registerComputerIfNeeded());
    EXPECT_TRUE(other->signOn(kEmail, RefServiceFixture::kPassword));
    const std::optional<QVariantMap> renamed = client->getAccountInfo();
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->value(QStringLiteral("FirstName")), QStringLiteral("Augusta"));
    EXPECT_EQ(renamed->value(QStringLiteral("LastName")), QStringLiteral("King"));
    EXPECT_EQ(renamed->value(QStringLiteral("EmailAddress")), kEmail);
    EXPECT_EQ(renamed->value(QStringLiteral("Culture")), QStringLiteral("en-US"));

    const QString newPassword = QStringLiteral("analytical-engine");
    ASSERT_TRUE(
        client->updateAccountInfo(QStringLiteral("Augusta"), QStringLiteral("King"), newPassword));
    EXPECT_EQ(client->password(), newPassword);

    EXPECT_FALSE(other->signOn(kEmail, RefServiceFixture::kPassword));
    EXPECT_TRUE(other->signOn(kEmail, newPassword));
    EXPECT_EQ(other->firstName(), QStringLiteral("Augusta"));

    fixture.alert->shown.clear();
    EXPECT_FALSE(client->updateAccountInfo(QStringLiteral("A"), QStringLiteral("K"), "short"));
    EXPECT_EQ(client->password(), newPassword);
    ASSERT_EQ(fixture.alert->shown.size(), 1);
    EXPECT_EQ(fixture.alert->shown.at(0).first, QStringLiteral("Update of the account failed."));
    EXPECT_EQ(fixture.alert->shown.at(0).second,
        QStringLiteral("The password must have at least 6 characters."));
}

TEST_F(IdentityAccountTest, PasswordsNeverReachTheDebugLog)
{
    ASSERT_TRUE(Preferences::shared().setValue(QStringLiteral("Debug"), true));
    const QString newPassword = QStringLiteral("difference-engine");
    QString log;
    {
        StandardErrorCapture capture;
        const std::unique_ptr<oruNetwork> client = fixture.signedOnClient(kEmail);
        ASSERT_TRUE(client);
        ASSERT_TRUE(
            client->updateAccountInfo(QStringLiteral("Ada"), QStringLiteral("L"), newPassword));
        EXPECT_FALSE(client->signOn(kEmail, QStringLiteral("wrong-guess")));
        log = capture.text();
    }
    EXPECT_TRUE(log.contains(kEmail)) << "the debug log was not written";
    EXPECT_TRUE(log.contains(QStringLiteral("newPassword:'********'")));
    EXPECT_FALSE(log.contains(RefServiceFixture::kPassword));
    EXPECT_FALSE(log.contains(newPassword));
    EXPECT_FALSE(log.contains(QStringLiteral("wrong-guess")));
}

} // namespace

} // namespace pondrel
