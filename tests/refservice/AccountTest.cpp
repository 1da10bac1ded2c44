// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/refservice/SoapTestClient.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QString kEmail = "ada@example.org";
const QString kPassword = "analytical-engine";
const QString kComputer = "11111111-2222-3333-4444-555555555555";
const QString kRefused = "Invalid e-mail address or password.";

SoapResult computerCall(const SoapTestClient &soap, const char *operation)
{
    return soap.collection(operation,
        {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", kComputer}});
}

SoapResult updateAccount(
    const SoapTestClient &soap, const QString &password, const QString &newPassword)
{
    return soap.publishing("UpdateAccount",
        {{"serviceKey", SoapTestClient::kServiceKey}, {"accountIdentifier", kEmail},
            {"password", password}, {"newFirstName", "Augusta"}, {"newLastName", "King"},
            {"newEmailAddress", kEmail}, {"newPassword", newPassword}, {"newCulture", "en-GB"}});
}

pugi::xml_node accountInfo(const SoapResult &info)
{
    return info.resultNode().child("AccountInformation").child("AccountInfo");
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

    void ageSessions(int seconds) const
    {
        ASSERT_EQ(SoapTestClient::request(service.baseUrl() + "/Pondrel/Admin/AgeSessions", "POST",
                      QByteArray::number(seconds), {service.adminHeader()})
                      .status,
            200);
    }

    QTemporaryDir logDir;
    RefServiceProcess service {
        {"--log", logDir.filePath("requests.log"), "--visit-interval-ms", "4321"}};
    std::unique_ptr<SoapTestClient> soap;
};

TEST_F(AccountTest, LifeCycleFromCreationToExpiryWithoutPasswordsInTheClear)
{
    ASSERT_TRUE(soap->createAccount(kEmail, kPassword).ok());
    EXPECT_EQ(soap->createAccount(kEmail, kPassword).faultMessage(),
        "An account with the e-mail address ada@example.org already exists.");
    // Addresses differ only in case: still the same account.
    EXPECT_FALSE(soap->createAccount("ADA@example.org", kPassword).ok());
    const SoapResult shortPassword = soap->createAccount("bob@example.org", "12345");
    EXPECT_EQ(shortPassword.http.status, 500);
    EXPECT_TRUE(shortPassword.fault.startsWith("Server was unable to process request. ---> "));
    EXPECT_TRUE(shortPassword.faultMessage().contains("at least 6"));
    EXPECT_FALSE(soap->createAccount("not-an-address", kPassword).ok());
    EXPECT_TRUE(soap->createAccount("bob@example.org", "123456").ok());

    EXPECT_EQ(soap->signOn(kComputer, kEmail, "wrong-password").faultMessage(), kRefused);
    EXPECT_EQ(soap->signOn(kComputer, "nobody@example.org", kPassword).faultMessage(), kRefused);
    const SoapResult signedOn = soap->signOn(kComputer, kEmail, kPassword);
    ASSERT_TRUE(signedOn.ok()) << signedOn.fault.toStdString();
    const QString session = signedOn.result();
    EXPECT_GE(session.size(), 32);
    EXPECT_NE(soap->signOn(kComputer, kEmail, kPassword).result(), session);

    const SoapResult info = soap->inSession("GetAccountInfo", session);
    ASSERT_TRUE(info.ok());
    expectChildren(accountInfo(info),
        {{"FirstName", "Ada"}, {"LastName", "Lovelace"}, {"EmailAddress", kEmail},
            {"Culture", "en-US"}});
    const SoapResult sessionInfo = soap->inSession("GetSessionInfo", session);
    EXPECT_EQ(
        childText(sessionInfo.resultNode().child("SessionInfo"), "ComputerIdentifier"), kComputer);

    EXPECT_EQ(updateAccount(*soap, "wrong-password", "newsecret").faultMessage(), kRefused);
    EXPECT_FALSE(updateAccount(*soap, kPassword, "short").ok());
    ASSERT_TRUE(updateAccount(*soap, kPassword, "newsecret").ok());
    // The change ended every session signed on with the old password.
    EXPECT_FALSE(soap->inSession("GetAccountInfo", session).ok());
    EXPECT_FALSE(soap->signOn(kComputer, kEmail, kPassword).ok());
    const QString renewed = soap->signOn(kComputer, kEmail, "newsecret").result();
    expectChildren(accountInfo(soap->inSession("GetAccountInfo", renewed)),
        {{"FirstName", "Augusta"}, {"LastName", "King"}, {"Culture", "en-GB"}});
    // Sending the same password again, as the client does for a change of name, is no change.
    ASSERT_TRUE(updateAccount(*soap, "newsecret", "newsecret").ok());
    EXPECT_TRUE(soap->inSession("GetAccountInfo", renewed).ok());

    EXPECT_TRUE(soap->inSession("SignOff", session).ok());
    EXPECT_FALSE(soap->inSession("GetAccountInfo", session).ok());

    const QString fresh = soap->signOn(kComputer, kEmail, "newsecret").result();
    // Just under a day of idleness keeps the session; a day and a bit ends it.
    ageSessions(24 * 3600 - 120);
    ASSERT_TRUE(soap->inSession("GetAccountInfo", fresh).ok()); // and this use renews it
    ageSessions(24 * 3600 + 60);
    EXPECT_EQ(soap->inSession("GetAccountInfo", fresh).faultMessage(),
        "Session expired, please sign in again.");

    // Neither password is in the log or anywhere in the stored data.
    service.stop();
    QStringList files {logDir.filePath("requests.log")};
    for (QDirIterator it(service.dataDirectory(), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files.append(it.next());
    ASSERT_GE(files.size(), 2);
    for (const QString &path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray content = file.readAll();
        EXPECT_FALSE(content.contains("analytical-engine")) << path.toStdString();
        EXPECT_FALSE(content.contains("newsecret")) << path.toStdString();
        EXPECT_TRUE(!path.endsWith("requests.log") || content.contains("SignOn"));
    }
}

TEST_F(AccountTest, GuessesWaitAndSessionsEndForGood)
{
    ASSERT_TRUE(soap->createAccount(kEmail, kPassword).ok());
    for (int guess = 0; guess < 5; ++guess)
        EXPECT_EQ(soap->signOn(kComputer, kEmail, "guess" + QString::number(guess)).faultMessage(),
            kRefused);
    EXPECT_TRUE(soap->signOn(kComputer, kEmail, kPassword)
                    .faultMessage()
                    .startsWith("Too many failed attempts"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const QString session = soap->signOn(kComputer, kEmail, kPassword).result();
    ASSERT_FALSE(session.isEmpty());
    EXPECT_EQ(soap->signOn(kComputer, "ADA@example.org", "guess").faultMessage(), kRefused)
        << "a success forgot the failures";

    // Used every day, a session still ends a week after sign-on.
    for (int day = 1; day <= 7; ++day) {
        ageSessions(23 * 3600);
        ASSERT_TRUE(soap->inSession("GetAccountInfo", session).ok()) << day;
    }
    ageSessions(23 * 3600);
    EXPECT_EQ(soap->inSession("GetAccountInfo", session).faultMessage(),
        "Session expired, please sign in again.");

    // Expired sessions are deleted, not just refused.
    ASSERT_TRUE(service.restart()) << service.errorMsg().toStdString();
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2((service.dataDirectory() + "/refservice.sqlite").toUtf8().constData(),
                  &raw, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> database(raw, sqlite3_close);
    sqlite3_stmt *count = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(database.get(), "SELECT count(*) FROM sessions", -1, &count, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 0);
    sqlite3_finalize(count);
}

// With the real iteration count a sign-on takes a noticeable time, which must not hold up the
// requests of others.
TEST(RefServicePasswords, StrongHashesDoNotStallOtherRequests)
{
    RefServiceProcess service {{}, {.quickPasswords = false}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    const SoapTestClient soap(service.baseUrl());
    ASSERT_TRUE(soap.createAccount(kEmail, kPassword).ok());
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(
            sqlite3_open_v2((service.dataDirectory() + "/refservice.sqlite").toUtf8().constData(),
                &raw, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> database(raw, sqlite3_close);
        sqlite3_stmt *iterations = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(database.get(), "SELECT password_iterations FROM accounts", -1,
                      &iterations, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_step(iterations), SQLITE_ROW);
        EXPECT_GE(sqlite3_column_int(iterations, 0), 600000);
        sqlite3_finalize(iterations);
    }

    std::atomic<bool> signingOn {true};
    std::thread signOns([&] {
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(soap.signOn(kComputer, kEmail, kPassword).ok());
        signingOn = false;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(soap.checkComputer(kComputer).ok());
    EXPECT_TRUE(signingOn.load()) << "a cheap request waited for the sign-ons";
    signOns.join();
}

TEST_F(AccountTest, ComputerLifeCycleAndVisit)
{
    EXPECT_EQ(soap->checkComputer(kComputer).result(), "false");
    const SoapResult anonymous
        = soap->collection("CheckComputer", {{"serviceKey", SoapTestClient::kServiceKey}});
    EXPECT_EQ(anonymous.result(), "false");
    EXPECT_FALSE(computerCall(*soap, "Visit").ok());

    ASSERT_TRUE(soap->registerComputer(kComputer).ok());
    EXPECT_EQ(soap->checkComputer(kComputer).result(), "true");
    EXPECT_TRUE(soap->registerComputer(kComputer).ok()) << "registering again is harmless";

    const SoapResult visit = soap->collection("Visit",
        {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", kComputer},
            {"accountIdentifiersHashes", ""}, {"previousCommandBatchesStatuses", ""}});
    ASSERT_TRUE(visit.ok()) << visit.fault.toStdString();
    EXPECT_TRUE(visit.resultNode());
    EXPECT_EQ(visit.output("nextVisitIntervalMilliseconds"), "4321");

    const SoapResult wrongKey = soap->collection(
        "CheckComputer", {{"serviceKey", "someone-else"}, {"computerIdentifier", kComputer}});
    EXPECT_EQ(wrongKey.faultMessage(), "Invalid service key.");

    ASSERT_TRUE(computerCall(*soap, "UnregisterComputer").ok());
    EXPECT_EQ(soap->checkComputer(kComputer).result(), "false");
    EXPECT_FALSE(computerCall(*soap, "UnregisterComputer").ok());
}

TEST(RefServiceProgram, HelpAndCustomKeyElementAndNamespace)
{
    const ProgramRun help = ProgramRun::run(RefServiceProcess::programPath(), {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *option : {"--listen", "--data", "--public-url", "--service-key",
             "--service-key-element", "--namespace", "--visit-interval-ms", "--log"})
        EXPECT_TRUE(help.standardOutput.contains(option)) << option;

    RefServiceProcess service {{"--service-key", "k-123", "--service-key-element", "clientKey",
        "--namespace", "urn:example"}};
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    const SoapTestClient soap(service.baseUrl());
    const QByteArray body
        = SoapTestClient::envelope("CheckComputer", "urn:example/Pondrel/CollectionServices",
            {{"clientKey", "k-123"}, {"computerIdentifier", kComputer}});
    const SoapResult answered = soap.postRaw("/Pondrel/CollectionServices.asmx", body);
    ASSERT_TRUE(answered.ok()) << answered.fault.toStdString();
    EXPECT_STREQ(
        answered.response.attribute("xmlns").value(), "urn:example/Pondrel/CollectionServices");
    // The default element name no longer carries the key.
    EXPECT_FALSE(soap.checkComputer(kComputer).ok());
}

} // namespace

} // namespace pondrel
