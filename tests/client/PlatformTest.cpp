// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"

#include "client/oruPlatform.h"
#include "support/Preferences.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(contents);
    return path;
}

TEST(ComputerNameTest, PrettyHostnameWinsOverTheHostNameInEveryQuotingStyle)
{
    EXPECT_EQ(
        oruPlatform::prettyHostname("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ada's \\\"Engine\\\"\"\n"),
        QStringLiteral("Ada's \"Engine\""));
    EXPECT_EQ(
        oruPlatform::prettyHostname("PRETTY_HOSTNAME='Lab Mac'\n"), QStringLiteral("Lab Mac"));
    EXPECT_EQ(oruPlatform::prettyHostname("PRETTY_HOSTNAME=plain"), QStringLiteral("plain"));
    EXPECT_EQ(oruPlatform::prettyHostname("# PRETTY_HOSTNAME=commented\nCHASSIS=vm\n"), QString());
    EXPECT_EQ(oruPlatform::prettyHostname("PRETTY_HOSTNAME=\"\"\n"), QString());

    QTemporaryDir dir;
    EXPECT_EQ(oruPlatform::computerName(writeFile(dir, "named", "PRETTY_HOSTNAME=\"Büro PC\"\n")),
        QStringLiteral("Büro PC"));
    EXPECT_EQ(oruPlatform::computerName(writeFile(dir, "unnamed", "CHASSIS=desktop\n")),
        QSysInfo::machineHostName());
    EXPECT_EQ(oruPlatform::computerName(dir.filePath("missing")), QSysInfo::machineHostName());
}

TEST(DebuggerTest, OnlyANonZeroTracerPidCounts)
{
    QTemporaryDir dir;
    EXPECT_FALSE(oruPlatform::isDebuggerAttached(
        writeFile(dir, "free", "Name:\tpondrel\nTracerPid:\t0\nUid:\t1000\n")));
    EXPECT_TRUE(oruPlatform::isDebuggerAttached(
        writeFile(dir, "traced", "Name:\tpondrel\nTracerPid:\t4242\nUid:\t1000\n")));
    EXPECT_FALSE(oruPlatform::isDebuggerAttached(dir.filePath("missing")));
    EXPECT_FALSE(oruPlatform::isDebuggerAttached());
}

TEST(BacktickTest, ReturnsTheToolsOutputOrNone)
{
    EXPECT_FALSE(oruNetwork::backtick({}, {QStringLiteral("-s")}));
    EXPECT_EQ(oruNetwork::backtick(QStringLiteral("/bin/echo"), {QStringLiteral("Grüße"), "x"}),
        QStringLiteral("Grüße x\n"));
    EXPECT_FALSE(oruNetwork::backtick(QStringLiteral("/bin/true"), {}));
    EXPECT_FALSE(
        oruNetwork::backtick(QStringLiteral("/bin/printf"), {QStringLiteral("\\377\\376")}));
    EXPECT_FALSE(oruNetwork::backtick(QStringLiteral("/nonexistent/tool"), {}));

    // Output larger than a pipe's buffer must not dead-lock the wait for the tool.
    const std::optional<QString> large = oruNetwork::backtick(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("head -c 300000 /dev/zero | tr '\\0' a")});
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size(), 300000);
}

TEST(AlertTest, ShowsOnlyTheTextAfterTheFirstMarker)
{
    EXPECT_EQ(
        oruNetwork::messageForAlert(QStringLiteral("A ---> B ---> C")), QStringLiteral("B ---> C"));
    EXPECT_EQ(oruNetwork::messageForAlert(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(oruNetwork::messageForAlert(QStringLiteral("no blank --->x")),
        QStringLiteral("no blank --->x"));
}

TEST(UserAgentTest, NamesTheProgramAndTheSystemAndIsStoredForRequests)
{
    ScratchHome home;
    Preferences::setApplicationDomain(QStringLiteral("com.trevane.pondrel-test"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2"));
    oruNetwork client;
    client.makeUserAgent();

    const QString program = QCoreApplication::applicationFilePath().section('/', -1);
    QProcess uname;
    uname.start(QStringLiteral("uname"), {QStringLiteral("-v")});
    ASSERT_TRUE(uname.waitForFinished());
    const QString build = QString::fromUtf8(uname.readAllStandardOutput()).trimmed();
    const QString expected
        = QStringLiteral(" %1 1.2 (Linux %2 %3)").arg(program, QSysInfo::kernelVersion(), build);
    EXPECT_EQ(client.userAgent(), expected);
    EXPECT_EQ(Preferences::application().value(QStringLiteral("UserAgent")).toString(), expected);
    EXPECT_FALSE(Preferences::shared().contains(QStringLiteral("UserAgent")));
}

} // namespace

} // namespace pondrel
