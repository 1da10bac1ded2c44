// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/soap/SoapTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

ProgramRun runTool(const QStringList &arguments)
{
    return ProgramRun::tool(QStringList {QStringLiteral("call")} + arguments);
}

class CallCommand : public ::testing::Test
{
protected:
    ServiceFixture fixture;
};

TEST_F(CallCommand, FillsInTheKeyConvertsKindsAndPrintsTheReplyAsJson)
{
    ScopedEnvironment key("PONDREL_SERVICE_KEY", "key-from-settings");
    fixture.server.respondWith(LoopbackHttpServer::response(200,
        replyEnvelope("<GetAssetsResponse><GetAssetsResult><Assets /><Count>2</Count>"
                      "<Tag>a</Tag><Tag>b</Tag></GetAssetsResult></GetAssetsResponse>")));
    const ProgramRun run = runTool({QStringLiteral("publishing"), QStringLiteral("GetAssets"),
        QStringLiteral("sessionIdentifier=S-1"), QStringLiteral("parentIdentifier=F & G"),
        QStringLiteral("commentsFilteringMode=None"), QStringLiteral("includeSymbolicLinks=true"),
        QStringLiteral("includeExportLinks=0")});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    const QJsonObject printed = QJsonDocument::fromJson(run.standardOutput.toUtf8()).object();
    EXPECT_EQ(printed,
        QJsonObject({{QStringLiteral("GetAssetsResult"),
            QJsonObject({{QStringLiteral("Assets"), QJsonValue::Null},
                {QStringLiteral("Count"), QStringLiteral("2")},
                {QStringLiteral("Tag"),
                    QJsonArray({QStringLiteral("a"), QStringLiteral("b")})}})}}))
        << run.standardOutput.toStdString();

    fixture.server.respondWith(LoopbackHttpServer::response(200,
        replyEnvelope("<CheckComputerResponse><CheckComputerResult>true</CheckComputerResult>"
                      "</CheckComputerResponse>")));
    const ProgramRun check = runTool({QStringLiteral("collection"), QStringLiteral("CheckComputer"),
        QStringLiteral("computerIdentifier=C-1")});
    EXPECT_EQ(check.exitCode, 0) << check.standardError.toStdString();

    const std::vector<LoopbackHttpServer::Request> requests = fixture.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(
        requests[0].body.contains("\t\t<sessionIdentifier>S-1</sessionIdentifier>\n"
                                  "\t\t<parentIdentifier>F &amp; G</parentIdentifier>\n"
                                  "\t\t<commentsFilteringMode>None</commentsFilteringMode>\n"
                                  "\t\t<includeSymbolicLinks>1</includeSymbolicLinks>\n"
                                  "\t\t<includeExportLinks>0</includeExportLinks>\n  </"))
        << requests[0].body.data();
    EXPECT_TRUE(requests[1].body.contains("\t\t<serviceKey>key-from-settings</serviceKey>\n"
                                          "\t\t<computerIdentifier>C-1</computerIdentifier>\n"))
        << requests[1].body.data();
}

TEST_F(CallCommand, AnErrorReplyExitsWithOneAndBadWordsWithTwo)
{
    fixture.server.respondWith(LoopbackHttpServer::response(500,
        replyEnvelope("<soap:Fault><faultcode>soap:Client</faultcode><faultstring>Unknown "
                      "session</faultstring></soap:Fault>")));
    const ProgramRun fault = runTool({QStringLiteral("publishing"), QStringLiteral("SignOff"),
        QStringLiteral("sessionIdentifier=S-0")});
    EXPECT_EQ(fault.exitCode, 1);
    EXPECT_EQ(QJsonDocument::fromJson(fault.standardOutput.toUtf8())
                  .object()
                  .value(QStringLiteral("error")),
        QStringLiteral("Unknown session"));

    const QList<QStringList> badCalls {
        {QStringLiteral("publishing"), QStringLiteral("GetAssets"),
            QStringLiteral("sessionIdentifier=S"), QStringLiteral("parentIdentifier=P"),
            QStringLiteral("commentsFilteringMode=None"),
            QStringLiteral("includeSymbolicLinks=maybe")},
        {QStringLiteral("publishing"), QStringLiteral("RequestPictureFileAssetWallpaperRendition"),
            QStringLiteral("sessionIdentifier=S"), QStringLiteral("width=1280")},
        {QStringLiteral("publishing"), QStringLiteral("SignOff"), QStringLiteral("nobody=1")},
        {QStringLiteral("publishing"), QStringLiteral("AddComment")},
        {QStringLiteral("storage"), QStringLiteral("SignOff")},
    };
    for (const QStringList &arguments : badCalls) {
        const ProgramRun run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(run.standardError.isEmpty());
    }
    // Nothing that was refused reached the service.
    EXPECT_EQ(fixture.server.requests().size(), 1u);
}

TEST_F(CallCommand, HelpListsEveryOperationWithItsParameters)
{
    const ProgramRun help = runTool({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.standardOutput.contains(
        "  RequestPictureFileAssetWallpaperRendition sessionIdentifier pictureFileAssetIdentifier "
        "width:integer height:integer\n"));
    EXPECT_TRUE(help.standardOutput.contains("  CheckComputer [serviceKey] computerIdentifier\n"));
    qsizetype listed = 0;
    for (const QByteArray &line : help.standardOutput.toUtf8().split('\n'))
        listed += line.startsWith("  ") ? 1 : 0;
    EXPECT_EQ(listed, 6 + 26);
}

} // namespace

} // namespace pondrel
