// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/support/QtPrinters.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "support/Preferences.h"
#include "support/oruLog.h"

#include <QFile>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

const QString kPrefix
    = QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} oru_log_probe\[(\d+):(\d+)\] )");

ProgramRun runProbe()
{
    return ProgramRun::run(ProgramRun::builtProgram(QStringLiteral("oru_log_probe")), {});
}

QStringList linesOf(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// "FATAL: condition in class:method (in file at line)", written whatever "Debug" says.
void expectFatalLine(const QString &line)
{
    const QRegularExpression fatal(kPrefix
        + R"(FATAL: an image without a bitmap in Renderer:render )"
          R"(\(in \S*tests/support/oruLogProbe\.cpp at \d+\)$)");
    EXPECT_TRUE(fatal.match(line).hasMatch()) << line.toStdString();
}

} // namespace

TEST(oruLog, WorkerThreadLineCarriesThePlatformPrefixAndSourcePosition)
{
    ScratchHome home;
    ASSERT_TRUE(Preferences::shared().setValue("Debug", true));

    const ProgramRun probe = runProbe();
    ASSERT_EQ(probe.exitCode, 0) << probe.standardError.toStdString();
    const QStringList lines = linesOf(probe.standardError);
    ASSERT_EQ(lines.size(), 2) << probe.standardError.toStdString();

    const QRegularExpression diagnostic(kPrefix
        + QStringLiteral(R"(oruLogProbe\.cpp:%1 writeFromWorker; hello from a worker$)")
              .arg(probe.standardOutput.trimmed()));
    const QRegularExpressionMatch match = diagnostic.match(lines.at(0));
    ASSERT_TRUE(match.hasMatch()) << lines.at(0).toStdString();
    EXPECT_EQ(match.captured(1).toLongLong(), probe.processId);
    EXPECT_NE(match.captured(2), match.captured(1)) << "the thread is the worker, not the main one";
    expectFatalLine(lines.at(1));

    // The first row creates the activity file, the next run appends to it.
    ASSERT_EQ(runProbe().exitCode, 0);
    QFile activity(home.desktop() + "/pondrel_files.csv");
    ASSERT_TRUE(activity.open(QIODevice::ReadOnly));
    const QStringList rows = linesOf(QString::fromUtf8(activity.readAll()));
    ASSERT_EQ(rows.size(), 2);
    const QRegularExpression row(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4},uploaded,42$)");
    for (const QString &text : rows)
        EXPECT_TRUE(row.match(text).hasMatch()) << text.toStdString();
}

TEST(oruLog, WithDebugOffOnlyTheFatalLineIsWritten)
{
    ScratchHome home;
    for (const bool writeFalse : {false, true}) {
        if (writeFalse) {
            ASSERT_TRUE(Preferences::shared().setValue("Debug", false));
        }
        const ProgramRun probe = runProbe();
        ASSERT_EQ(probe.exitCode, 0);
        const QStringList lines = linesOf(probe.standardError);
        ASSERT_EQ(lines.size(), 1) << probe.standardError.toStdString();
        expectFatalLine(lines.at(0));
        EXPECT_FALSE(QFile::exists(home.desktop() + "/pondrel_files.csv"));
    }
}

TEST(oruLog, AnotherProcessSwitchesDebugOnWithoutARestartAndOffMessagesAreNeverBuilt)
{
    ScratchHome home;
    ASSERT_TRUE(Preferences::shared().setValue("Debug", false));
    StandardErrorCapture standardError;
    int messagesBuilt = 0;
    const auto message = [&messagesBuilt](const char *text) {
        ++messagesBuilt;
        return QString::fromLatin1(text);
    };
    ORU_LOG(message("while off"));
    EXPECT_EQ(messagesBuilt, 0);

    const ProgramRun write
        = ProgramRun::tool({"defaults", "write", "com.trevane.pondrel", "Debug", "-bool", "true"});
    ASSERT_EQ(write.exitCode, 0) << write.standardError.toStdString();
    // The switch is looked at no more than once a second: give it a few.
    QElapsedTimer waited;
    waited.start();
    while (!standardError.text().contains("while on") && waited.elapsed() < 5000) {
        ORU_LOG(message("while on"));
        QThread::msleep(20);
    }
    const QString written = QString::fromUtf8(standardError.finish());
    EXPECT_TRUE(written.contains(QRegularExpression(
        R"(oruLogTest\.cpp:\d+ oruLog_AnotherProcess\w+_Test::TestBody; while on\n)")))
        << written.toStdString();
    EXPECT_FALSE(written.contains("while off"));
    EXPECT_GT(messagesBuilt, 0);
}

} // namespace pondrel
