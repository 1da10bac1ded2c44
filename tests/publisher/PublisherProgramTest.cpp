// SPDX-License-Identifier: GPL-2.0-or-later
// The pondrel-publisher program on the session bus: org.freedesktop.Application driven with
// gdbus, and a second instance handing its files to the first.
#include "tests/publisher/PublisherTestSupport.h"

#include "support/Preferences.h"
#include "tests/common/ProgramRun.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>

using namespace pondrel;

namespace {

const QString kAnn = QStringLiteral("ann@example.com");

ProgramRun gdbusCall(const QString &method, const QStringList &arguments)
{
    return ProgramRun::run(QStringLiteral("gdbus"),
        QStringList {"call", "--session", "--dest", "com.trevane.pondrel", "--object-path",
            "/com/trevane/pondrel", "--method", "org.freedesktop.Application." + method}
            + arguments);
}

} // namespace

TEST_F(PublisherTest, RunningPublisherAnswersTheDesktopAndTakesFilesFromASecondOne)
{
    ASSERT_FALSE(QStandardPaths::findExecutable("gdbus").isEmpty())
        << "gdbus (Debian package libglib2.0-bin) is needed for this test";
    createAccount(kAnn);
    Preferences::shared().setValue("AutoLogin", true);
    Preferences::shared().setValue("LastLogin", kAnn);
    Preferences::shared().setValue("LastPwd", kPassword);
    Preferences::shared().setValue("Debug", true);

    QProcess publisher;
    publisher.setProcessChannelMode(QProcess::ForwardedChannels);
    publisher.start(ProgramRun::builtProgram("pondrel-publisher"), {});
    ASSERT_TRUE(publisher.waitForStarted());
    const auto logText = [this] {
        QFile log(m_home.desktop() + "/pondrel_publisher.log");
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(requestCount("GetAssets"), 1, 20000);

    // Wait until the listing is in: the refresh command is disabled while the service works.
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains("Count is Empty Album"), 10000);
    const ProgramRun refresh = gdbusCall("ActivateAction", {"refresh", "[]", "{}"});
    EXPECT_EQ(refresh.exitCode, 0) << refresh.standardError.toStdString();
    QTRY_COMPARE_WITH_TIMEOUT(requestCount("GetAssets"), 2, 10000);

    const QString picture = m_home.path() + "/one picture.jpg";
    const QString uri = QUrl::fromLocalFile(picture).toString(QUrl::FullyEncoded);
    const ProgramRun open = gdbusCall("Open", {"['" + uri + "']", "{}"});
    EXPECT_EQ(open.exitCode, 0) << open.standardError.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains("openFile: " + picture), 10000);

    const QString other = m_home.path() + "/other.jpg";
    const ProgramRun second
        = ProgramRun::run(ProgramRun::builtProgram("pondrel-publisher"), {other});
    EXPECT_EQ(second.exitCode, 0) << second.standardError.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains("openFile: " + other), 10000);
    EXPECT_EQ(publisher.state(), QProcess::Running);

    const ProgramRun quit = gdbusCall("ActivateAction", {"quit", "[]", "{}"});
    EXPECT_EQ(quit.exitCode, 0) << quit.standardError.toStdString();
    ASSERT_TRUE(publisher.waitForFinished(20000));
    EXPECT_EQ(publisher.exitCode(), 0);
    EXPECT_EQ(requestCount("SignOff"), 1);
    EXPECT_FALSE(logText().contains(kPassword)) << "the password reached the log";
}

// A terminal without a display: the window system's plug-in cannot load, yet help and version
// answer.
TEST(PublisherProgram, HelpAndVersionAnswerWithoutADisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString program = ProgramRun::builtProgram("pondrel-publisher");
    const ProgramRun version = ProgramRun::run(program, {"--version"}, environment);
    EXPECT_EQ(version.exitCode, 0) << version.standardError.toStdString();
    EXPECT_TRUE(version.standardOutput.startsWith("Pondrel Publisher "));
    const ProgramRun help = ProgramRun::run(program, {"--help"}, environment);
    EXPECT_EQ(help.exitCode, 0) << help.standardError.toStdString();
    EXPECT_TRUE(help.standardOutput.contains("[files...]"));
}
