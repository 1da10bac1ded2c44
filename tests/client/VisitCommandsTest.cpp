// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "tests/common/ScratchHome.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QVariantMap kExpectedCommand = {{"type", "RenderPicture"}, {"id", "c-1"}, {"width", "200"},
    {"height", "150"}, {"cropMode", "1"}, {"RotateFlipType", "Rotate90FlipNone"},
    {"url", "http://127.0.0.1:1/Pondrel/Upload/abc?x=1&y=2"}, {"return", "fileSize,width,height"}};

} // namespace

TEST(ParseCommands, AttributesElementsAndMixedGiveTheSameRecord)
{
    const QString attributes = R"(<Commands><Command type="RenderPicture" id="c-1" width="200" )"
                               R"(height="150" cropMode="1" RotateFlipType="Rotate90FlipNone" )"
                               R"(url="http://127.0.0.1:1/Pondrel/Upload/abc?x=1&amp;y=2" )"
                               R"(return="fileSize,width,height"/></Commands>)";
    const QString elements
        = "<Commands><Command><type>RenderPicture</type><id>c-1</id><width>200</width>"
          "<height>150</height><cropMode>1</cropMode><RotateFlipType>Rotate90FlipNone"
          "</RotateFlipType><url>http://127.0.0.1:1/Pondrel/Upload/abc?x=1&amp;y=2</url>"
          "<return>fileSize,width,height</return></Command></Commands>";
    const QString mixed
        = R"(<Commands><Command type="RenderPicture" id="c-1"><width>200</width>)"
          "<height>150</height><cropMode>1</cropMode><RotateFlipType>Rotate90FlipNone"
          "</RotateFlipType><url><![CDATA[http://127.0.0.1:1/Pondrel/Upload/abc?x=1&y=2]]></url>"
          "<return>fileSize,width,height</return></Command></Commands>";
    for (const QString &document : {attributes, elements, mixed}) {
        const QVariantList commands = oruNetwork::parseCommands(document);
        ASSERT_EQ(commands.size(), 1) << document.toStdString();
        EXPECT_EQ(commands.at(0).toMap(), kExpectedCommand) << document.toStdString();
    }
}

TEST(ParseCommands, FindsCommandsAtAnyDepthFlattensTheirFieldsAndIgnoresBrokenDocuments)
{
    const QVariantList commands = oruNetwork::parseCommands(
        "<?xml version=\"1.0\"?><Batch><Command id=\"first\"/><Group><Inner><Command "
        "id=\"second\"><width>10</width></Command></Inner></Group><Command id=\"third\"/>"
        "<Other id=\"no\"/></Batch>");
    ASSERT_EQ(commands.size(), 3);
    EXPECT_EQ(commands.at(0).toMap().value("id"), "first");
    // A "Command" with a single child element takes that child's text as a field of its own.
    EXPECT_EQ(commands.at(1).toMap(),
        (QVariantMap {{"id", "second"}, {"width", "10"}, {"Command", "10"}}));
    EXPECT_EQ(commands.at(2).toMap().value("id"), "third");

    // The "id" attribute comes first in document order, the nested leaf element replaces it;
    // an element with several children is no field of its own, an empty leaf neither.
    EXPECT_EQ(oruNetwork::parseSingleCommand(
                  "<Command id=\"outer\" type=\"RenderPicture\"><Size><width>640</width>"
                  "<height>480</height></Size><Extra><id>inner</id></Extra><empty></empty>"
                  "<url/></Command>"),
        (QVariantMap {{"id", "inner"}, {"type", "RenderPicture"}, {"width", "640"},
            {"height", "480"}, {"Extra", "inner"}}));

    for (const char *broken : {"<Commands><Command id=\"a\">", "", "not xml at all"})
        EXPECT_TRUE(oruNetwork::parseCommands(broken).isEmpty()) << broken;
    EXPECT_TRUE(oruNetwork::parseSingleCommand("<Command").isEmpty());
}

TEST(VisitTimer, SchedulesOnlyAboveFiveSecondsInWholeSeconds)
{
    ScratchHome home;
    oruNetwork client;
    client.scheduleNextVisit(5000);
    EXPECT_FALSE(client.visitPending());
    client.scheduleNextVisit(-60000);
    EXPECT_FALSE(client.visitPending());

    client.scheduleNextVisit(5001);
    ASSERT_TRUE(client.visitPending());
    EXPECT_EQ(client.visitTimer()->interval(), 5000);
    EXPECT_TRUE(client.visitTimer()->isSingleShot());

    client.scheduleNextVisit(7999);
    EXPECT_EQ(client.visitTimer()->interval(), 7000);
    client.scheduleNextVisit(std::numeric_limits<qint32>::max());
    EXPECT_EQ(client.visitTimer()->interval(), 2147483000);
}

TEST(VisitTimer, LoginWithoutAddressLeavesTheEmptyText)
{
    ScratchHome home;
    oruNetwork client;
    client.takeLoginNotification({{"LastLogin", "ann@example.com"}});
    EXPECT_EQ(client.emailAddress(), "ann@example.com");
    client.takeLoginNotification({});
    EXPECT_FALSE(client.emailAddress().isNull());
    EXPECT_TRUE(client.emailAddress().isEmpty());
}

TEST(ParseCommands, TakesOnlyOutermostCommandsAndRefusesDeepNesting)
{
    const QVariantList nested = oruNetwork::parseCommands(
        R"(<Commands><Command id="outer" type="RenderPicture"><Command id="inner"/></Command>)"
        R"(<Command id="next"/></Commands>)");
    ASSERT_EQ(nested.size(), 2);
    EXPECT_EQ(nested.at(0).toMap().value("type"), "RenderPicture");
    EXPECT_EQ(nested.at(1).toMap().value("id"), "next");

    // Deep enough to exhaust the stack of a recursive walk.
    constexpr int kDepth = 1'000'000;
    const QString deep = "<Commands><Command id=\"c\">" + QString("<a>").repeated(kDepth)
        + QString("</a>").repeated(kDepth) + "</Command></Commands>";
    EXPECT_TRUE(oruNetwork::parseCommands(deep).isEmpty());
    EXPECT_TRUE(oruNetwork::parseSingleCommand(deep.mid(10, deep.size() - 21)).isEmpty());
}

} // namespace pondrel
