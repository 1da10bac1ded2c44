// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pondrel {

using TestPictures::runTool;

TEST(RenderTool, RendersOnePictureAndPrintsWhatItMade)
{
    REQUIRE_EXIF_PICTURES();
    QTemporaryDir folder;
    const QString out = folder.filePath("out.jpg");
    const TestPictures::ToolRun run = runTool(
        {"render", TestPictures::exifOrientationFolder() + "/Landscape_6.jpg", out, "--width",
            "300", "--height", "300", "--crop-mode", "1", "--rotate-flip", "Rotate90FlipNone"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_EQ(
        run.standardOutput.trimmed(), QStringLiteral("300x200 %1").arg(QFileInfo(out).size()));
    EXPECT_EQ(QImage(out).size(), QSize(300, 200));
}

TEST(RenderTool, ExitStatusTellsBadUsageFromFailure)
{
    QTemporaryDir folder;
    EXPECT_EQ(runTool({"render", "--width", "10", "--height", "10"}).exitCode, 2);
    EXPECT_EQ(runTool({"render", "picture.jpg", "--width", "10", "--height", "10"}).exitCode, 2);
    EXPECT_EQ(
        runTool({"render", "a.jpg", "b.jpg", "--width", "ten", "--height", "10"}).exitCode, 2);
    const QString text = folder.filePath("notes.txt");
    ASSERT_TRUE(TestPictures::writeBytes(text, "not a picture"));
    EXPECT_EQ(runTool({"render", text, folder.filePath("x.jpg"), "--width", "10", "--height", "10"})
                  .exitCode,
        1);
}

} // namespace pondrel
