#include "ClientTestSupport.h"

#include "support/Preferences.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList &arguments, const QString &password = {})
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!password.isNull())
        environment.insert(QStringLiteral("PONDREL_PASSWORD"), password);
    tool.setProcessEnvironment(environment);
    tool.start(
        qEnvironmentVariable("PONDREL_BIN_DIR") + QStringLiteral("/pondrel-tool"), arguments);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30'000))
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
        QString::fromUtf8(tool.readAllStandardError())};
}

class ToolCommandTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fixture.start()) << fixture.errorMsg().toStdString(); }

    RefServiceFixture fixture;
};

TEST_F(ToolCommandTest, WhoamiShowsTheSharedComputerIdentifierOnceThereIsOne)
{
    const ToolRun before = runTool({QStringLiteral("whoami")});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_TRUE(before.out.contains(QStringLiteral("Computer identifier: (none)")));

    const std::unique_ptr<oruNetwork> client = fixture.newClient();
    ASSERT_TRUE(client->registerComputerIfNeeded());
    const ToolRun after = runTool({QStringLiteral("whoami")});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(after.out.contains(
        QStringLiteral("Computer identifier: %1").arg(client->computerIdentifier())));
    EXPECT_TRUE(after.out.contains(fixture.service->baseUrl()));
    EXPECT_EQ(runTool({QStringLiteral("whoami"), QStringLiteral("extra")}).exitCode, 2);
}

TEST_F(ToolCommandTest, AssetsListsAnAlbumAfterSigningOnWithTheSharedIdentity)
{
    const std::unique_ptr<oruNetwork> client = fixture.signedOnClient();
    ASSERT_TRUE(client);
    const QString trip = RefServiceFixture::createAlbum(*client, {}, QStringLiteral("Trip"));
    const QString shot = RefServiceFixture::createPicture(*client, trip, QStringLiteral("a.jpg"));
    const QString inner = RefServiceFixture::createAlbum(*client, trip, QStringLiteral("Inner"));

    const ToolRun listed
        = runTool({QStringLiteral("assets"), QStringLiteral("ada@example.com"), trip},
            RefServiceFixture::kPassword);
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out,
        QStringLiteral("FolderAsset\t%1\tInner\nPictureFileAsset\t%2\ta.jpg\n").arg(inner, shot));
    // The tool used the workstation's identity instead of registering one of its own.
    EXPECT_EQ(fixture.requestCount(QStringLiteral("RegisterComputer")), 1);
    EXPECT_EQ(Preferences::shared().value(oruNetwork::kComputerIDKey).toString(),
        client->computerIdentifier());

    const ToolRun empty
        = runTool({QStringLiteral("assets"), QStringLiteral("ada@example.com"), inner},
            RefServiceFixture::kPassword);
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.out.isEmpty());
}

TEST_F(ToolCommandTest, AssetsReportsARefusedSignOnWithTheFaultText)
{
    const std::unique_ptr<oruNetwork> client = fixture.signedOnClient();
    ASSERT_TRUE(client);
    const ToolRun refused = runTool(
        {QStringLiteral("assets"), QStringLiteral("ada@example.com")}, QStringLiteral("wrong"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(
        refused.err.contains(QStringLiteral("Login failed. Invalid e-mail address or password.")))
        << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains(QStringLiteral("---> ")));
    EXPECT_EQ(runTool({QStringLiteral("assets")}).exitCode, 2);
}

} // namespace
