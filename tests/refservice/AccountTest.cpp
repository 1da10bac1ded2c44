#include "RefServiceProcess.h"
#include "SoapTestClient.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kEmail = QStringLiteral("ada@example.org");
const QString kPassword = QStringLiteral("analytical-engine");
const QString kComputer = QStringLiteral("11111111-2222-3333-4444-555555555555");

SoapResult collectionCall(
    const SoapTestClient &soap, const char *operation, const QString &computer)
{
    return soap.collection(QString::fromLatin1(operation),
        {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
            {QStringLiteral("computerIdentifier"), computer}});
}

SoapResult sessionCall(const SoapTestClient &soap, const char *operation, const QString &session)
{
    return soap.publishing(
        QString::fromLatin1(operation), {{QStringLiteral("sessionIdentifier"), session}});
}

SoapResult updateAccount(const SoapTestClient &soap, const QString &password,
    const QString &newPassword, const QString &newEmail = {})
{
    return soap.publishing(QStringLiteral("UpdateAccount"),
        {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
            {QStringLiteral("accountIdentifier"), kEmail}, {QStringLiteral("password"), password},
            {QStringLiteral("newFirstName"), QStringLiteral("Augusta")},
            {QStringLiteral("newLastName"), QStringLiteral("King")},
            {QStringLiteral("newEmailAddress"), newEmail.isEmpty() ? kEmail : newEmail},
            {QStringLiteral("newPassword"), newPassword},
            {QStringLiteral("newCulture"), QStringLiteral("en-GB")}});
}

class AccountTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(logDir.isValid());
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        soap = std::make_unique<SoapTestClient>(service.baseUrl());
    }

    QTemporaryDir logDir;
    RefServiceProcess service {
        {QStringLiteral("--log"), logDir.filePath(QStringLiteral("requests.log")),
            QStringLiteral("--visit-interval-ms"), QStringLiteral("4321")}};
    std::unique_ptr<SoapTestClient> soap;
};

TEST_F(AccountTest, CreationRefusesBadInputAndDuplicates)
{
    ASSERT_TRUE(soap->createAccount(kEmail, kPassword).ok());
    EXPECT_EQ(soap->createAccount(kEmail, kPassword).faultMessage(),
        QStringLiteral("An account with the e-mail address ada@example.org already exists."));
    // Addresses differ only in case: still the same account.
    EXPECT_FALSE(soap->createAccount(QStringLiteral("ADA@example.org"), kPassword).ok());
    const SoapResult shortPassword
        = soap->createAccount(QStringLiteral("bob@example.org"), "12345");
    EXPECT_EQ(shortPassword.http.status, 500);
    EXPECT_TRUE(shortPassword.fault.startsWith(
        QStringLiteral("Server was unable to process request. ---> ")));
    EXPECT_TRUE(shortPassword.faultMessage().contains(QStringLiteral("at least 6")));
    EXPECT_FALSE(soap->createAccount(QStringLiteral("not-an-address"), kPassword).ok());
    EXPECT_TRUE(soap->createAccount(QStringLiteral("bob@example.org"), "123456").ok());
}

TEST_F(AccountTest, SignOnUpdateSignOffAndExpiry)
{
    ASSERT_TRUE(soap->createAccount(kEmail, kPassword).ok());
    const SoapResult refused = soap->signOn(kComputer, kEmail, QStringLiteral("wrong-password"));
    EXPECT_EQ(refused.faultMessage(), QStringLiteral("Invalid e-mail address or password."));
    EXPECT_EQ(
        soap->signOn(kComputer, QStringLiteral("nobody@example.org"), kPassword).faultMessage(),
        QStringLiteral("Invalid e-mail address or password."));

    const SoapResult signedOn = soap->signOn(kComputer, kEmail, kPassword);
    ASSERT_TRUE(signedOn.ok()) << signedOn.fault.toStdString();
    const QString session = signedOn.result();
    EXPECT_GE(session.size(), 32);
    EXPECT_NE(soap->signOn(kComputer, kEmail, kPassword).result(), session);

    const SoapResult info = sessionCall(*soap, "GetAccountInfo", session);
    ASSERT_TRUE(info.ok());
    const pugi::xml_node account
        = info.resultNode().child("AccountInformation").child("AccountInfo");
    EXPECT_EQ(childText(account, "FirstName"), QStringLiteral("Ada"));
    EXPECT_EQ(childText(account, "LastName"), QStringLiteral("Lovelace"));
    EXPECT_EQ(childText(account, "EmailAddress"), kEmail);
    EXPECT_EQ(childText(account, "Culture"), QStringLiteral("en-US"));
    const SoapResult typed = soap->publishing(QStringLiteral("GetAccountInfoAsTypedDataSet"),
        {{QStringLiteral("sessionIdentifier"), session},
            {QStringLiteral("trimSchema"), QStringLiteral("0")}});
    EXPECT_TRUE(typed.ok());
    const SoapResult sessionInfo = sessionCall(*soap, "GetSessionInfo", session);
    ASSERT_TRUE(sessionInfo.ok());
    EXPECT_EQ(
        childText(sessionInfo.resultNode().child("SessionInfo"), "ComputerIdentifier"), kComputer);

    EXPECT_EQ(updateAccount(*soap, QStringLiteral("wrong-password"), QStringLiteral("newsecret"))
                  .faultMessage(),
        QStringLiteral("Invalid e-mail address or password."));
    EXPECT_FALSE(updateAccount(*soap, kPassword, QStringLiteral("short")).ok());
    ASSERT_TRUE(updateAccount(*soap, kPassword, QStringLiteral("newsecret")).ok());
    const SoapResult updatedInfo = sessionCall(*soap, "GetAccountInfo", session);
    const pugi::xml_node updated
        = updatedInfo.resultNode().child("AccountInformation").child("AccountInfo");
    EXPECT_EQ(childText(updated, "FirstName"), QStringLiteral("Augusta"));
    EXPECT_EQ(childText(updated, "LastName"), QStringLiteral("King"));
    EXPECT_EQ(childText(updated, "Culture"), QStringLiteral("en-GB"));
    EXPECT_FALSE(soap->signOn(kComputer, kEmail, kPassword).ok());
    EXPECT_TRUE(soap->signOn(kComputer, kEmail, QStringLiteral("newsecret")).ok());

    EXPECT_TRUE(sessionCall(*soap, "SignOff", session).ok());
    EXPECT_FALSE(sessionCall(*soap, "GetAccountInfo", session).ok());

    const QString fresh = soap->signOn(kComputer, kEmail, QStringLiteral("newsecret")).result();
    // Just under a day of idleness keeps the session; a day and a bit ends it.
    ASSERT_EQ(SoapTestClient::request(service.baseUrl() + "/Pondrel/Admin/AgeSessions", "POST",
                  QByteArray::number(24 * 3600 - 120))
                  .status,
        200);
    ASSERT_TRUE(sessionCall(*soap, "GetAccountInfo", fresh).ok()); // and this use renews it
    SoapTestClient::request(service.baseUrl() + "/Pondrel/Admin/AgeSessions", "POST",
        QByteArray::number(24 * 3600 + 60));
    EXPECT_EQ(sessionCall(*soap, "GetAccountInfo", fresh).faultMessage(),
        QStringLiteral("Session expired, please sign in again."));
}

TEST_F(AccountTest, PasswordsAreNeitherStoredNorLoggedAsText)
{
    ASSERT_TRUE(soap->createAccount(kEmail, kPassword).ok());
    ASSERT_TRUE(soap->signOn(kComputer, kEmail, kPassword).ok());
    ASSERT_TRUE(updateAccount(*soap, kPassword, QStringLiteral("second-secret")).ok());
    service.stop();
    QStringList files {logDir.filePath(QStringLiteral("requests.log"))};
    QDirIterator it(service.dataDirectory(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    ASSERT_GE(files.size(), 2);
    for (const QString &path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray content = file.readAll();
        EXPECT_FALSE(content.contains("analytical-engine")) << path.toStdString();
        EXPECT_FALSE(content.contains("second-secret")) << path.toStdString();
    }
    QFile log(logDir.filePath(QStringLiteral("requests.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("SignOn"));
}

TEST_F(AccountTest, ComputerLifeCycleAndVisit)
{
    EXPECT_EQ(collectionCall(*soap, "CheckComputer", kComputer).result(), QStringLiteral("false"));
    const SoapResult anonymous = soap->collection(QStringLiteral("CheckComputer"),
        {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)}});
    EXPECT_EQ(anonymous.result(), QStringLiteral("false"));
    EXPECT_FALSE(collectionCall(*soap, "Visit", kComputer).ok());

    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    EXPECT_EQ(collectionCall(*soap, "CheckComputer", kComputer).result(), QStringLiteral("true"));
    // Registering again is harmless.
    EXPECT_TRUE(soap->registerComputer(kComputer).ok());

    const SoapResult visit = soap->collection(QStringLiteral("Visit"),
        {{QStringLiteral("serviceKey"), QString::fromLatin1(SoapTestClient::kServiceKey)},
            {QStringLiteral("computerIdentifier"), kComputer},
            {QStringLiteral("accountIdentifiersHashes"), QString()},
            {QStringLiteral("previousCommandBatchesStatuses"), QString()}});
    ASSERT_TRUE(visit.ok()) << visit.fault.toStdString();
    EXPECT_TRUE(visit.resultNode());
    EXPECT_EQ(
        visit.output(QStringLiteral("nextVisitIntervalMilliseconds")), QStringLiteral("4321"));

    const SoapResult wrongKey = soap->collection(QStringLiteral("CheckComputer"),
        {{QStringLiteral("serviceKey"), QStringLiteral("someone-else")},
            {QStringLiteral("computerIdentifier"), kComputer}});
    EXPECT_EQ(wrongKey.faultMessage(), QStringLiteral("Invalid service key."));

    ASSERT_TRUE(collectionCall(*soap, "UnregisterComputer", kComputer).ok());
    EXPECT_EQ(collectionCall(*soap, "CheckComputer", kComputer).result(), QStringLiteral("false"));
    EXPECT_FALSE(collectionCall(*soap, "UnregisterComputer", kComputer).ok());
}

TEST(RefServiceOptions, CustomKeyElementAndNamespace)
{
    RefServiceProcess service {{QStringLiteral("--service-key"), QStringLiteral("k-123"),
        QStringLiteral("--service-key-element"), QStringLiteral("clientKey"),
        QStringLiteral("--namespace"), QStringLiteral("urn:example")}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    const SoapTestClient soap(service.baseUrl());
    const QByteArray body = SoapTestClient::envelope(QStringLiteral("CheckComputer"),
        QStringLiteral("urn:example/Pondrel/CollectionServices"),
        {{QStringLiteral("clientKey"), QStringLiteral("k-123")},
            {QStringLiteral("computerIdentifier"), kComputer}});
    const SoapResult answered
        = soap.postRaw(QStringLiteral("/Pondrel/CollectionServices.asmx"), body);
    ASSERT_TRUE(answered.ok()) << answered.fault.toStdString();
    EXPECT_EQ(QString::fromUtf8(answered.response.attribute("xmlns").value()),
        QStringLiteral("urn:example/Pondrel/CollectionServices"));
    // The default element name no longer carries the key.
    EXPECT_FALSE(collectionCall(soap, "CheckComputer", kComputer).ok());
}

TEST(RefServiceProgram, HelpNamesEveryOption)
{
    QProcess process;
    process.start(RefServiceProcess::programPath(), {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray help = process.readAllStandardOutput();
    for (const char *option : {"--listen", "--data", "--public-url", "--service-key",
             "--service-key-element", "--namespace", "--visit-interval-ms", "--log"})
        EXPECT_TRUE(help.contains(option)) << option;
}

} // namespace
