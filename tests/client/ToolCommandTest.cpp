// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"
#include "tests/common/ProgramRun.h"

#include "support/Preferences.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

ProgramRun runTool(const QStringList &arguments, const QString &password = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!password.isNull())
        environment.insert(QStringLiteral("PONDREL_PASSWORD"), password);
    return ProgramRun::tool(arguments, environment);
}

class ToolCommandTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fixture.start()) << fixture.errorMsg().toStdString(); }

    RefServiceFixture fixture;
};

// whoami, then assets with the workstation's identity, then a refused sign-on.
TEST_F(ToolCommandTest, WhoamiAndAssetsUseTheSharedIdentity)
{
    const ProgramRun before = runTool({QStringLiteral("whoami")});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_TRUE(before.standardOutput.contains(QStringLiteral("Computer identifier: (none)")));
    EXPECT_EQ(runTool({QStringLiteral("whoami"), QStringLiteral("extra")}).exitCode, 2);
    EXPECT_EQ(runTool({QStringLiteral("assets")}).exitCode, 2);

    const std::unique_ptr<oruNetwork> client = fixture.signedOnClient();
    ASSERT_TRUE(client);
    const ProgramRun after = runTool({QStringLiteral("whoami")});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(after.standardOutput.contains(
        QStringLiteral("Computer identifier: %1").arg(client->computerIdentifier())));
    EXPECT_TRUE(after.standardOutput.contains(fixture.service->baseUrl()));

    const QString trip = RefServiceFixture::createAlbum(*client, {}, QStringLiteral("Trip"));
    const QString shot = RefServiceFixture::createPicture(*client, trip, QStringLiteral("a.jpg"));
    const QString inner = RefServiceFixture::createAlbum(*client, trip, QStringLiteral("Inner"));
    const auto assets = [](const QString &album, const QString &password) {
        QStringList arguments {QStringLiteral("assets"), QStringLiteral("ada@example.com")};
        if (!album.isNull())
            arguments.append(album);
        return runTool(arguments, password);
    };
    const ProgramRun listed = assets(trip, RefServiceFixture::kPassword);
    EXPECT_EQ(listed.exitCode, 0) << listed.standardError.toStdString();
    EXPECT_EQ(listed.standardOutput,
        QStringLiteral("FolderAsset\t%1\tInner\nPictureFileAsset\t%2\ta.jpg\n").arg(inner, shot));
    // The tool used the workstation's identity instead of registering one of its own.
    EXPECT_EQ(fixture.requestCount(QStringLiteral("RegisterComputer")), 1);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(),
        client->computerIdentifier());
    const ProgramRun empty = assets(inner, RefServiceFixture::kPassword);
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.standardOutput.isEmpty());

    const ProgramRun refused = assets({}, QStringLiteral("wrong"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.standardError.contains(
        QStringLiteral("Login failed. Invalid e-mail address or password.")))
        << refused.standardError.toStdString();
    EXPECT_FALSE(refused.standardError.contains(QStringLiteral("---> ")));
}

} // namespace

} // namespace pondrel
