// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "client/oruNetwork_render.h"
#include "client/oruUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>
#include <vector>

namespace pondrel {

using namespace TestPictures;

namespace {

QVariantMap renderCommand(const QString &id, int width, int height, int cropMode,
    const QString &rotateMode, const QString &url = QStringLiteral("http://127.0.0.1/upload"))
{
    return {{"type", "RenderPicture"}, {"id", id}, {"width", QString::number(width)},
        {"height", QString::number(height)}, {"cropMode", QString::number(cropMode)},
        {"RotateFlipType", rotateMode}, {"url", url}, {"return", "fileSize,width,height"}};
}

// Renditions go to the temporary folder: point it at one of the test's own.
class RenderCommand : public ::testing::Test
{
protected:
    // One level down, so that a file steered to ".." would still land in the scratch folder.
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(temporaryFile("")));
        ASSERT_TRUE(QDir().mkpath(m_temporary.filePath("runtime")));
        qputenv("XDG_RUNTIME_DIR", m_temporary.filePath("runtime").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", m_temporary.filePath("cache").toLocal8Bit());
    }
    void TearDown() override
    {
        for (const auto &[name, value] : m_saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    QString temporaryFile(const QString &name) const { return m_temporary.filePath("tmp/" + name); }
    QString renditionFile(const QString &name) const
    {
        return m_temporary.filePath("runtime/pondrel-renditions/" + name);
    }

    QTemporaryDir m_temporary;
    const std::vector<std::pair<const char *, QByteArray>> m_saved {
        {"XDG_RUNTIME_DIR", qgetenv("XDG_RUNTIME_DIR")},
        {"XDG_CACHE_HOME", qgetenv("XDG_CACHE_HOME")}};
};

} // namespace

TEST(oruUtils, NamesAndOrientationsRoundTripAndUnknownsAreUpright)
{
    const QStringList names {"RotateNoneFlipNone", "RotateNoneFlipX", "Rotate180FlipNone",
        "RotateNoneFlipY", "Rotate270FlipY", "Rotate90FlipNone", "Rotate270FlipX",
        "Rotate270FlipNone"};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        EXPECT_EQ(oruUtils::rotateModeFromOrientation(orientation), names.at(orientation - 1));
        EXPECT_EQ(oruUtils::orientationFromRotateMode(names.at(orientation - 1)), orientation);
    }
    EXPECT_EQ(oruUtils::orientationFromRotateMode("Nada"), 0);
    for (const int odd : {0, -3, 9})
        EXPECT_EQ(oruUtils::rotateModeFromOrientation(odd), "RotateNoneFlipNone");
    for (const QString odd : {"", "Rotate45FlipZ", "rotatenoneflipx"})
        EXPECT_EQ(oruUtils::orientationFromRotateMode(odd), 1) << odd.toStdString();
}

TEST_F(RenderCommand, FieldsAreReadAsTheServiceWritesThem)
{
    QVariantMap command = renderCommand("c", 0, 0, 0, "Rotate270FlipX");
    command.insert("width", "200.7");
    command.insert("height", "150px");
    const RenderRequest request = renderRequestFromCommand(command);
    EXPECT_EQ(request.size, QSizeF(200, 0));
    EXPECT_EQ(request.orientation, 7);
    EXPECT_EQ(request.cropMode, 0);
    EXPECT_FLOAT_EQ(request.quality, kRenditionJpegQuality);

    // Only RenderPicture commands decide the decoding scale: 100 x 100 of 800 x 600 allows 1/8.
    ASSERT_TRUE(writeJpeg(temporaryFile("p.jpg"), scene(800, 600)));
    QVariantMap other = renderCommand("o", 8000, 8000, 1, "");
    other.insert("type", "Other");
    QString errorMsg;
    const std::optional<Picture> picture = decodePictureForCommands(
        temporaryFile("p.jpg"), {renderCommand("r", 100, 100, 1, ""), other}, errorMsg);
    ASSERT_TRUE(picture) << errorMsg.toStdString();
    EXPECT_DOUBLE_EQ(picture->bitmapScale(), 1.0 / 8);
}

TEST_F(RenderCommand, WritesItsFileAndReportsWhatWasMade)
{
    const QVariantMap command = renderCommand("cmd-42", 200, 200, 1, "Rotate90FlipNone");
    QString errorMsg;
    const std::optional<RenderedPicture> rendered
        = renderPictureCommand(command, Picture(scene(400, 300)), errorMsg);
    ASSERT_TRUE(rendered) << errorMsg.toStdString();
    EXPECT_EQ(rendered->path, renditionFile("cmd-42.jpg"));
    EXPECT_EQ(rendered->fileSize, QFileInfo(rendered->path).size());
    EXPECT_EQ(QSize(rendered->width, rendered->height), QSize(150, 200));
    EXPECT_EQ(QImage(rendered->path).size(), QSize(150, 200));

    QStringList parameters;
    for (const QVariant &entry : rendered->returnParameters("fileSize,width,height,colour")) {
        const QVariantMap parameter = entry.toMap().value("ReturnParameter").toMap();
        parameters << parameter.value("Name").toString() + "="
                + parameter.value("Value", "none").toString();
    }
    EXPECT_EQ(parameters,
        (QStringList {"fileSize=" + QString::number(rendered->fileSize), "width=150", "height=200",
            "colour=none"}));
    EXPECT_TRUE(rendered->returnParameters("").isEmpty());
}

TEST_F(RenderCommand, PrintUrlRendersAnUprightPortraitInLandscape)
{
    const Picture portrait(scene(300, 400));
    QString errorMsg;
    const std::optional<RenderedPicture> print = renderPictureCommand(
        renderCommand("print-1", 200, 200, 0, "RotateNoneFlipNone", "http://127.0.0.1/x/print.jpg"),
        portrait, errorMsg);
    ASSERT_TRUE(print) << errorMsg.toStdString();
    EXPECT_EQ(QSize(print->width, print->height), QSize(267, 200));
    // Laid on its side counter-clockwise: the picture's top-left corner (the black block) ends
    // up at the bottom-left.
    const QImage written(print->path);
    EXPECT_LT(qGray(written.pixel(20, 180)), 40);
    EXPECT_GT(qGray(written.pixel(20, 20)), 60);

    const std::optional<RenderedPicture> plain = renderPictureCommand(
        renderCommand("plain-1", 200, 200, 0, "RotateNoneFlipNone"), portrait, errorMsg);
    ASSERT_TRUE(plain);
    EXPECT_EQ(QSize(plain->width, plain->height), QSize(200, 200));
}

TEST_F(RenderCommand, BadIdentifiersAndSizesFailWithAReasonAndWriteNothing)
{
    const Picture picture(scene(40, 30));
    const QList<QVariantMap> commands {renderCommand("../escape", 20, 20, 0, ""),
        renderCommand("a/b", 20, 20, 0, ""), renderCommand("..", 20, 20, 0, ""),
        renderCommand("", 20, 20, 0, ""), renderCommand("zero", 0, 200, 0, "")};
    for (const QVariantMap &command : commands) {
        SCOPED_TRACE(command.value("id").toString().toStdString());
        QString errorMsg;
        EXPECT_FALSE(renderPictureCommand(command, picture, errorMsg));
        EXPECT_FALSE(errorMsg.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(m_temporary.filePath("runtime/escape.jpg")));
    EXPECT_FALSE(QFile::exists(renditionFile("zero.jpg")));
}

TEST_F(RenderCommand, RenditionsArePrivateAndNeverFollowALink)
{
    const Picture picture(scene(40, 30));
    QString errorMsg;
    const std::optional<RenderedPicture> first
        = renderPictureCommand(renderCommand("own", 20, 20, 0, ""), picture, errorMsg);
    ASSERT_TRUE(first) << errorMsg.toStdString();
    EXPECT_EQ(first->path, renditionFile("own.jpg"));
    const auto modeOf = [](const QString &path) {
        struct stat status
        {
        };
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                          : 01;
    };
    EXPECT_EQ(modeOf(renditionFile("")), 0700u);
    EXPECT_EQ(modeOf(first->path), 0600u);

    // A link planted where a rendition goes is replaced, never written through.
    const QString victim = temporaryFile("victim");
    ASSERT_TRUE(writeBytes(victim, "keep"));
    ASSERT_TRUE(QFile::link(victim, renditionFile("planted.jpg")));
    ASSERT_TRUE(renderPictureCommand(renderCommand("planted", 20, 20, 0, ""), picture, errorMsg));
    EXPECT_FALSE(QFileInfo(renditionFile("planted.jpg")).isSymLink());
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");

    // Without a runtime folder, the caches folder holds them.
    qunsetenv("XDG_RUNTIME_DIR");
    const std::optional<RenderedPicture> cached
        = renderPictureCommand(renderCommand("cached", 20, 20, 0, ""), picture, errorMsg);
    ASSERT_TRUE(cached) << errorMsg.toStdString();
    EXPECT_TRUE(cached->path.startsWith(m_temporary.filePath("cache/")))
        << cached->path.toStdString();
    EXPECT_EQ(modeOf(QFileInfo(cached->path).path()), 0700u);
}

} // namespace pondrel
