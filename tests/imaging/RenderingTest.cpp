// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "imaging/JpegMarkers.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureRendering.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>
#include <vector>

namespace pondrel {

using namespace TestPictures;

namespace {

const QStringList kRotateModes {"Nada", "RotateNoneFlipNone", "RotateNoneFlipX",
    "Rotate180FlipNone", "RotateNoneFlipY", "Rotate270FlipY", "Rotate90FlipNone", "Rotate270FlipX",
    "Rotate270FlipNone"};

QVariantMap renderCommand(const QString &id, int width, int height, int cropMode,
    const QString &rotateMode, const QString &url = QStringLiteral("http://127.0.0.1/upload"))
{
    return {{"type", "RenderPicture"}, {"id", id}, {"width", QString::number(width)},
        {"height", QString::number(height)}, {"cropMode", QString::number(cropMode)},
        {"RotateFlipType", rotateMode}, {"url", url}, {"return", "fileSize,width,height"}};
}

// Renditions go to the temporary folder: point it at one of the test's own.
class Rendering : public ::testing::Test
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

    // Renders a picture file through the whole command path and reads the JPEG back.
    static QImage renderFile(const QString &path, const QVariantMap &command)
    {
        QString errorMsg;
        const std::optional<Picture> picture = decodePictureForCommands(path, {command}, errorMsg);
        EXPECT_TRUE(picture) << errorMsg.toStdString();
        const std::optional<RenderedPicture> rendered
            = picture ? renderPictureCommand(command, *picture, errorMsg) : std::nullopt;
        EXPECT_TRUE(rendered) << errorMsg.toStdString();
        return rendered ? QImage(rendered->path) : QImage();
    }
    static QImage renderExample(const QString &name, int orientation, int size, int cropMode)
    {
        return renderFile(exifOrientationFolder() + "/" + name,
            renderCommand(name, size, size, cropMode, kRotateModes.at(orientation)));
    }

    QTemporaryDir m_temporary;
    const std::vector<std::pair<const char *, QByteArray>> m_saved {
        {"XDG_RUNTIME_DIR", qgetenv("XDG_RUNTIME_DIR")},
        {"XDG_CACHE_HOME", qgetenv("XDG_CACHE_HOME")}};
};

std::optional<Picture> thumbnail(const QImage &image, QSizeF canvas, int orientation, int mode)
{
    return makeThumbnail(Picture(image), canvas, orientation, "id", mode);
}

} // namespace

// Each example file holds the same scene stored in one Exif orientation (with its number drawn
// in the middle); turned by its own orientation every one must look like the upright one.
TEST_F(Rendering, EveryOrientationComesOutUpright)
{
    REQUIRE_EXIF_PICTURES();
    // Landscape pictures are 1800 x 1200 upright, portraits 1200 x 1800.
    const QMap<QString, QSize> uprightSizes {{"Landscape0", {240, 240}}, {"Landscape1", {240, 160}},
        {"Landscape2", {240, 240}}, {"Landscape3", {360, 240}}, {"Portrait0", {240, 240}},
        {"Portrait1", {160, 240}}, {"Portrait2", {240, 240}}, {"Portrait3", {360, 240}}};
    for (const QString shape : {"Landscape", "Portrait"}) {
        // Mode 3 lays every upright portrait on its side, whichever way its file is stored.
        for (const int cropMode : {0, 1, 2, 3}) {
            const QImage reference = renderExample(shape + "_1.jpg", 1, 240, cropMode);
            EXPECT_EQ(reference.size(), uprightSizes.value(shape + QString::number(cropMode)));
            for (int orientation = 0; orientation <= 8; ++orientation) {
                SCOPED_TRACE(QStringLiteral("%1 %2 mode %3")
                                 .arg(shape)
                                 .arg(orientation)
                                 .arg(cropMode)
                                 .toStdString());
                const QString name = QStringLiteral("%1_%2.jpg").arg(shape).arg(orientation);
                const QImage upright = renderExample(name, orientation, 240, cropMode);
                ASSERT_EQ(upright.size(), reference.size());
                EXPECT_LT(meanDifference(upright, reference), 6.0);
            }
        }
    }
    // The comparison tells a wrong turn: mirrored or half-turned, the scene differs clearly.
    const QImage reference = renderExample("Landscape_1.jpg", 1, 240, 0);
    EXPECT_GT(meanDifference(renderExample("Landscape_2.jpg", 1, 240, 0), reference), 15.0);
    EXPECT_GT(meanDifference(renderExample("Landscape_3.jpg", 1, 240, 0), reference), 15.0);
}

TEST_F(Rendering, MarginsAreWhiteAndCropsShowOnlyTheCentre)
{
    // The fitted picture fills exactly its rectangle of the canvas: 200 x 150 between white
    // bands at the top and bottom, or, quarter-turned (300 x 400 upright), at the sides.
    for (const auto &[orientation, inside] :
        {std::pair {1, QRect(0, 25, 200, 150)}, std::pair {8, QRect(25, 0, 150, 200)}}) {
        const std::optional<Picture> fitted
            = thumbnail(filled(400, 300, Qt::red), {200, 200}, orientation, 0);
        ASSERT_TRUE(fitted);
        QImage expected = filled(200, 200, Qt::white);
        QPainter(&expected).fillRect(inside, Qt::red);
        EXPECT_EQ(fitted->bitmap().convertToFormat(QImage::Format_RGB32), expected) << orientation;
    }
    // Blue and green eighths at the sides; the central 300 x 300 of 400 x 300 is all red.
    QImage bands = filled(400, 300, Qt::red);
    QPainter(&bands).fillRect(0, 0, 50, 300, Qt::blue);
    QPainter(&bands).fillRect(350, 0, 50, 300, Qt::green);
    const std::optional<Picture> cropped = thumbnail(bands, {200, 200}, 1, 2);
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->bitmap().convertToFormat(QImage::Format_RGB32), filled(200, 200, Qt::red));
    // A canvas wider than the picture crops top and bottom instead and keeps the sides.
    const std::optional<Picture> wide = thumbnail(bands, {400, 100}, 1, 2);
    ASSERT_TRUE(wide);
    EXPECT_TRUE(isNear(wide->bitmap().pixel(2, 50), Qt::blue));
    EXPECT_TRUE(isNear(wide->bitmap().pixel(397, 50), Qt::green));
    // Enlarged, colours and edges stay where they were.
    const std::optional<Picture> larger
        = thumbnail(bands.scaled(40, 30, Qt::IgnoreAspectRatio), {400, 300}, 1, 1);
    ASSERT_TRUE(larger);
    EXPECT_TRUE(isNear(larger->bitmap().pixel(20, 150), Qt::blue));
    EXPECT_TRUE(isNear(larger->bitmap().pixel(200, 150), Qt::red));
    EXPECT_TRUE(isNear(larger->bitmap().pixel(380, 150), Qt::green));

    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_TRUE(isNear(thumbnail(clear, {20, 20}, 1, 1)->bitmap().pixel(10, 10), Qt::white));
}

TEST_F(Rendering, ShrinkingAveragesFineDetailInsteadOfAliasing)
{
    // One-pixel black and white stripes, shrunk by a factor that is not a whole number.
    QImage stripes(1001, 700, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const std::optional<Picture> shrunk = thumbnail(stripes, {97, 97}, 1, 1);
    ASSERT_TRUE(shrunk);
    int darkest = 255, brightest = 0;
    for (int y = 0; y < shrunk->bitmap().height(); ++y) {
        for (int x = 0; x < shrunk->bitmap().width(); ++x) {
            darkest = std::min(darkest, qGray(shrunk->bitmap().pixel(x, y)));
            brightest = std::max(brightest, qGray(shrunk->bitmap().pixel(x, y)));
        }
    }
    // Each output pixel covers about ten stripes: mid-grey everywhere, within one stripe's share.
    EXPECT_GE(darkest, 115);
    EXPECT_LE(brightest, 140);
}

TEST_F(Rendering, CommandWritesItsFileAndReportsWhatWasMade)
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

TEST_F(Rendering, PrintUrlRendersAnUprightPortraitInLandscape)
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

TEST_F(Rendering, BadIdentifiersAndSizesFailWithAReasonAndWriteNothing)
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

TEST_F(Rendering, RenditionsArePrivateAndNeverFollowALink)
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

TEST_F(Rendering, ColourProfileIsCarriedIntoTheRendition)
{
    const QByteArray displayP3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    ASSERT_FALSE(displayP3.isEmpty());
    const QString source = temporaryFile("wide-gamut.jpg");
    ASSERT_TRUE(writeJpeg(source, scene(800, 600), Metadata().profile(displayP3)));
    const QVariantMap command = renderCommand("with-profile", 200, 200, 2, "Rotate180FlipNone");
    QString errorMsg;
    EXPECT_EQ(decodePictureForCommands(source, {command}, errorMsg)->iccProfile(), displayP3);
    renderFile(source, command);
    QFile file(renditionFile("with-profile.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(JpegMarkers::iccProfile(file.readAll()), displayP3);
    // Qt's own JPEG reader must see the same colour space, and a PNG's profile travels too.
    EXPECT_EQ(QImage(file.fileName()).colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    QImage withSpace = scene(80, 60);
    withSpace.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(withSpace.save(temporaryFile("wide-gamut.png")));
    EXPECT_EQ(renderFile(temporaryFile("wide-gamut.png"), command).colorSpace(),
        QColorSpace(QColorSpace::DisplayP3));

    // A profile larger than one marker segment is written in chunks and read back whole.
    QByteArray large(150000, '\0');
    for (int index = 0; index < large.size(); ++index)
        large[index] = char(index * 7);
    ASSERT_TRUE(writeJpeg(temporaryFile("big.jpg"), scene(64, 48), Metadata().profile(large)));
    QFile big(temporaryFile("big.jpg"));
    ASSERT_TRUE(big.open(QIODevice::ReadOnly));
    const QByteArray jpeg = big.readAll();
    EXPECT_EQ(JpegMarkers::iccProfile(jpeg), large);
    EXPECT_FALSE(QImage::fromData(jpeg).isNull());
}

TEST_F(Rendering, QualityTradesSizeForFidelity)
{
    const QImage original = scene(800, 600);
    const auto sizeAt = [&](float quality, const QString &name) {
        EXPECT_TRUE(saveBMAsJPEG(Picture(original), quality, temporaryFile(name)));
        return QFileInfo(temporaryFile(name)).size();
    };
    const qint64 standard = sizeAt(kRenditionJpegQuality, "standard.jpg");
    EXPECT_LT(sizeAt(0.2f, "low.jpg"), standard);
    EXPECT_LT(standard, sizeAt(0.95f, "high.jpg"));
    // A smooth 800 x 600 picture at quality 0.6 is a few tens of kilobytes, and looks the same.
    EXPECT_LT(standard, 100 * 1024);
    EXPECT_LT(meanDifference(QImage(temporaryFile("standard.jpg")), original, {200, 150}), 2.0);
    EXPECT_FALSE(saveBMAsJPEG(Picture(original), 0.6f, temporaryFile("missing/folder/x.jpg")));

    // A picture decoded at a reduced scale is written at its full size.
    ASSERT_TRUE(saveAsJPEG(
        Picture(scene(50, 40), {}, QSize(100, 80), 0.5), 0.6f, temporaryFile("full.jpg")));
    EXPECT_EQ(QImage(temporaryFile("full.jpg")).size(), QSize(100, 80));
    EXPECT_FALSE(saveAsJPEG(Picture(), 0.6f, temporaryFile("none.jpg")));
}

} // namespace pondrel
