#include "TestPictures.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString output;
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess tool;
    // All programs are built into one folder, the test's own.
    const QString programs
        = qEnvironmentVariable("PONDREL_BIN_DIR", QCoreApplication::applicationDirPath());
    tool.start(programs + "/pondrel-tool", QStringList {"render"} + arguments);
    tool.waitForFinished(60000);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
        QString::fromUtf8(tool.readAllStandardOutput()).trimmed()};
}

} // namespace

TEST(RenderTool, RendersOnePictureAndPrintsWhatItMade)
{
    REQUIRE_EXIF_PICTURES();
    QTemporaryDir folder;
    const QString out = folder.filePath("out.jpg");
    const ToolRun run
        = runTool({TestPictures::exifOrientationFolder() + "/Landscape_6.jpg", out, "--width",
            "300", "--height", "300", "--crop-mode", "1", "--rotate-flip", "Rotate90FlipNone"});
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
    const QStringList fields = run.output.split(' ');
    ASSERT_EQ(fields.size(), 2) << run.output.toStdString();
    EXPECT_EQ(fields.at(0), "300x200");
    EXPECT_EQ(fields.at(1).toLongLong(), QFileInfo(out).size());
    EXPECT_EQ(QImage(out).size(), QSize(300, 200));
}

TEST(RenderTool, ExitStatusTellsBadUsageFromFailure)
{
    QTemporaryDir folder;
    EXPECT_EQ(runTool({"--width", "10", "--height", "10"}).exitCode, 2);
    EXPECT_EQ(runTool({"picture.jpg", "--width", "10", "--height", "10"}).exitCode, 2);
    EXPECT_EQ(runTool({"picture.jpg", "out.jpg", "--width", "ten", "--height", "10"}).exitCode, 2);
    const QString text = folder.filePath("notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    EXPECT_EQ(
        runTool({text, folder.filePath("x.jpg"), "--width", "10", "--height", "10"}).exitCode, 1);
}
