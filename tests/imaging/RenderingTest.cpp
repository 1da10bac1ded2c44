#include "TestPictures.h"

#include "imaging/JpegMarkers.h"
#include "imaging/NSImage_extras.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureRendering.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestPictures;

namespace {

const QStringList kRotateModes {"Nada", "RotateNoneFlipNone", "RotateNoneFlipX",
    "Rotate180FlipNone", "RotateNoneFlipY", "Rotate270FlipY", "Rotate90FlipNone", "Rotate270FlipX",
    "Rotate270FlipNone"};

// Points the temporary folder at a folder of the test's own while it lives.
class ScratchTemporaryFolder
{
public:
    ScratchTemporaryFolder()
        : m_saved(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", m_dir.path().toLocal8Bit());
    }
    ~ScratchTemporaryFolder() { qputenv("TMPDIR", m_saved); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

QVariantMap renderCommand(const QString &id, int width, int height, int cropMode,
    const QString &rotateMode, const QString &url = QStringLiteral("http://127.0.0.1/upload"))
{
    return {{"type", "RenderPicture"}, {"id", id}, {"width", QString::number(width)},
        {"height", QString::number(height)}, {"cropMode", QString::number(cropMode)},
        {"RotateFlipType", rotateMode}, {"url", url}, {"return", "fileSize,width,height"}};
}

// Renders the example picture through the whole command path and reads the JPEG back.
QImage renderExample(const QString &name, int orientation, int width, int height, int cropMode)
{
    const QString path = exifOrientationFolder() + "/" + name;
    const QVariantMap command
        = renderCommand(name, width, height, cropMode, kRotateModes.at(orientation));
    QString errorMsg;
    const std::optional<Picture> picture = decodePictureForCommands(path, {command}, errorMsg);
    EXPECT_TRUE(picture) << errorMsg.toStdString();
    if (!picture)
        return {};
    const std::optional<RenderedPicture> rendered
        = renderPictureCommand(command, *picture, errorMsg);
    EXPECT_TRUE(rendered) << errorMsg.toStdString();
    return rendered ? QImage(rendered->path) : QImage();
}

} // namespace

// Each example file holds the same scene stored in one Exif orientation (with its number drawn
// in the middle); turned by its own orientation every one must look like the upright one.
TEST(Rendering, EveryOrientationComesOutUpright)
{
    REQUIRE_EXIF_PICTURES();
    ScratchTemporaryFolder temporary;
    for (const QString shape : {"Landscape", "Portrait"}) {
        // Mode 3 lays every upright portrait on its side, whichever way its file is stored.
        for (const int cropMode : {0, 1, 2, 3}) {
            const QImage reference = renderExample(shape + "_1.jpg", 1, 240, 240, cropMode);
            ASSERT_FALSE(reference.isNull());
            for (int orientation = 0; orientation <= 8; ++orientation) {
                SCOPED_TRACE(QStringLiteral("%1 %2 mode %3")
                                 .arg(shape)
                                 .arg(orientation)
                                 .arg(cropMode)
                                 .toStdString());
                const QString name = QStringLiteral("%1_%2.jpg").arg(shape).arg(orientation);
                const QImage upright = renderExample(name, orientation, 240, 240, cropMode);
                ASSERT_EQ(upright.size(), reference.size());
                EXPECT_LT(meanDifference(upright, reference), 6.0);
            }
        }
    }
}

TEST(Rendering, AWrongOrientationIsTold)
{
    REQUIRE_EXIF_PICTURES();
    ScratchTemporaryFolder temporary;
    // Guards the comparison above: the same scene turned the wrong way must differ clearly.
    const QImage reference = renderExample("Landscape_1.jpg", 1, 240, 240, 0);
    const QImage mirrored = renderExample("Landscape_2.jpg", 1, 240, 240, 0);
    const QImage halfTurned = renderExample("Landscape_3.jpg", 1, 240, 240, 0);
    EXPECT_GT(meanDifference(mirrored, reference), 15.0);
    EXPECT_GT(meanDifference(halfTurned, reference), 15.0);
}

TEST(Rendering, RenditionSizesFollowTheCropModes)
{
    REQUIRE_EXIF_PICTURES();
    ScratchTemporaryFolder temporary;
    // Landscape_6 is stored 1200 x 1800 and is 1800 x 1200 upright.
    EXPECT_EQ(renderExample("Landscape_6.jpg", 6, 300, 300, 0).size(), QSize(300, 300));
    EXPECT_EQ(renderExample("Landscape_6.jpg", 6, 300, 300, 1).size(), QSize(300, 200));
    EXPECT_EQ(renderExample("Landscape_6.jpg", 6, 300, 300, 2).size(), QSize(300, 300));
    EXPECT_EQ(renderExample("Landscape_6.jpg", 6, 300, 300, 3).size(), QSize(450, 300));
    EXPECT_EQ(renderExample("Portrait_1.jpg", 1, 300, 300, 1).size(), QSize(200, 300));
    EXPECT_EQ(renderExample("Portrait_1.jpg", 1, 300, 300, 3).size(), QSize(450, 300));
    EXPECT_EQ(renderExample("Portrait_6.jpg", 6, 300, 300, 3).size(), QSize(450, 300));
}

TEST(Rendering, FitWithMarginsLeavesWhiteBands)
{
    QImage filled(400, 300, QImage::Format_RGB32);
    filled.fill(Qt::red);
    const std::optional<Picture> bitmap = makeThumbnail(Picture(filled), {200, 200}, 1, "id", 0);
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->bitmap().size(), QSize(200, 200));
    for (int y = 0; y < 200; ++y) {
        const bool band = y < 25 || y >= 175;
        for (const int x : {0, 100, 199}) {
            const QRgb colour = pixel(*bitmap, x, y);
            EXPECT_TRUE(band ? isWhite(colour) : isNear(colour, Qt::red, 0)) << x << "," << y;
        }
    }

    // Quarter-turned, the same picture is 300 x 400 upright: bands left and right.
    const std::optional<Picture> turned = makeThumbnail(Picture(filled), {200, 200}, 8, "id", 0);
    ASSERT_TRUE(turned);
    EXPECT_TRUE(isWhite(pixel(*turned, 10, 100)));
    EXPECT_TRUE(isNear(pixel(*turned, 100, 10), Qt::red, 0));
    EXPECT_TRUE(isWhite(pixel(*turned, 190, 100)));
}

TEST(Rendering, FillAndCropShowsOnlyTheCentre)
{
    // Blue and green eighths at the sides; the central 300 x 300 of 400 x 300 is all red.
    const std::optional<Picture> cropped
        = makeThumbnail(Picture(bands(400, 300)), {200, 200}, 1, "id", 2);
    ASSERT_TRUE(cropped);
    ASSERT_EQ(cropped->bitmap().size(), QSize(200, 200));
    for (int y = 0; y < 200; y += 199)
        for (int x = 0; x < 200; ++x)
            ASSERT_TRUE(isNear(pixel(*cropped, x, y), Qt::red, 0)) << x << "," << y;

    // A canvas wider than the picture crops top and bottom instead and keeps the sides.
    const std::optional<Picture> wide
        = makeThumbnail(Picture(bands(400, 300)), {400, 100}, 1, "id", 2);
    ASSERT_TRUE(wide);
    EXPECT_TRUE(isNear(pixel(*wide, 2, 50), Qt::blue, 0));
    EXPECT_TRUE(isNear(pixel(*wide, 397, 50), Qt::green, 0));
}

TEST(Rendering, ShrinkingAveragesFineDetailInsteadOfAliasing)
{
    // One-pixel black and white stripes, shrunk by a factor that is not a whole number.
    QImage stripes(1001, 700, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const std::optional<Picture> shrunk = makeThumbnail(Picture(stripes), {97, 97}, 1, "id", 1);
    ASSERT_TRUE(shrunk);
    int darkest = 255, brightest = 0;
    for (int y = 0; y < shrunk->bitmap().height(); ++y) {
        for (int x = 0; x < shrunk->bitmap().width(); ++x) {
            darkest = std::min(darkest, qGray(pixel(*shrunk, x, y)));
            brightest = std::max(brightest, qGray(pixel(*shrunk, x, y)));
        }
    }
    // Each output pixel covers about ten stripes: mid-grey everywhere, within one stripe's share.
    EXPECT_GE(darkest, 115);
    EXPECT_LE(brightest, 140);
}

TEST(Rendering, EnlargingKeepsColoursAndEdges)
{
    const std::optional<Picture> larger
        = makeThumbnail(Picture(bands(40, 30)), {400, 300}, 1, "id", 1);
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->bitmap().size(), QSize(400, 300));
    EXPECT_TRUE(isNear(pixel(*larger, 20, 150), Qt::blue, 0));
    EXPECT_TRUE(isNear(pixel(*larger, 200, 150), Qt::red, 0));
    EXPECT_TRUE(isNear(pixel(*larger, 380, 150), Qt::green, 0));
}

TEST(Rendering, TransparencyIsLaidOnWhite)
{
    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const std::optional<Picture> bitmap = makeThumbnail(Picture(clear), {20, 20}, 1, "id", 1);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(isWhite(pixel(*bitmap, 10, 10)));
}

TEST(Rendering, CommandWritesItsFileAndReportsWhatWasMade)
{
    ScratchTemporaryFolder temporary;
    const Picture picture(scene(400, 300));
    const QVariantMap command = renderCommand("cmd-42", 200, 200, 1, "Rotate90FlipNone");
    QString errorMsg;
    const std::optional<RenderedPicture> rendered
        = renderPictureCommand(command, picture, errorMsg);
    ASSERT_TRUE(rendered) << errorMsg.toStdString();
    EXPECT_EQ(rendered->path, QDir(temporary.path()).filePath("cmd-42.jpg"));
    EXPECT_EQ(rendered->fileSize, QFileInfo(rendered->path).size());
    EXPECT_EQ(QSize(rendered->width, rendered->height), QSize(150, 200));
    EXPECT_EQ(QImage(rendered->path).size(), QSize(150, 200));

    const QVariantList parameters = rendered->returnParameters("fileSize,width,height");
    ASSERT_EQ(parameters.size(), 3);
    const auto entry
        = [&](int index) { return parameters.at(index).toMap().value("ReturnParameter").toMap(); };
    EXPECT_EQ(entry(0).value("Name"), "fileSize");
    EXPECT_EQ(entry(0).value("Value"), QString::number(rendered->fileSize));
    EXPECT_EQ(entry(1).value("Value"), "150");
    EXPECT_EQ(entry(2).value("Name"), "height");
    EXPECT_EQ(entry(2).value("Value"), "200");
    EXPECT_TRUE(rendered->returnParameters("").isEmpty());
    const QVariantList unknown = rendered->returnParameters("colour");
    ASSERT_EQ(unknown.size(), 1);
    EXPECT_FALSE(unknown.at(0).toMap().value("ReturnParameter").toMap().contains("Value"));
}

TEST(Rendering, PrintUrlRendersAnUprightPortraitInLandscape)
{
    ScratchTemporaryFolder temporary;
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

TEST(Rendering, CommandIdentifiersCannotSteerTheFileElsewhere)
{
    ScratchTemporaryFolder temporary;
    const Picture picture(scene(40, 30));
    for (const QString id : {"../escape", "a/b", "..", ""}) {
        QString errorMsg;
        EXPECT_FALSE(renderPictureCommand(renderCommand(id, 20, 20, 0, ""), picture, errorMsg))
            << id.toStdString();
        EXPECT_FALSE(errorMsg.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(QDir(temporary.path()).filePath("../escape.jpg")));
}

TEST(Rendering, InvalidCommandSizesFailWithAReason)
{
    ScratchTemporaryFolder temporary;
    QString errorMsg;
    EXPECT_FALSE(renderPictureCommand(
        renderCommand("zero", 0, 200, 0, ""), Picture(scene(40, 30)), errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());
    EXPECT_FALSE(QFile::exists(QDir(temporary.path()).filePath("zero.jpg")));
}

TEST(Rendering, ColourProfileIsCarriedIntoTheRendition)
{
    ScratchTemporaryFolder temporary;
    const QByteArray displayP3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    ASSERT_FALSE(displayP3.isEmpty());
    const QString source = QDir(temporary.path()).filePath("wide-gamut.jpg");
    ASSERT_TRUE(writeJpeg(scene(800, 600), source, 0.9f, displayP3));

    const QVariantMap command = renderCommand("with-profile", 200, 200, 2, "Rotate180FlipNone");
    QString errorMsg;
    const std::optional<Picture> picture = decodePictureForCommands(source, {command}, errorMsg);
    ASSERT_TRUE(picture) << errorMsg.toStdString();
    EXPECT_EQ(picture->iccProfile(), displayP3);
    const std::optional<RenderedPicture> rendered
        = renderPictureCommand(command, *picture, errorMsg);
    ASSERT_TRUE(rendered) << errorMsg.toStdString();

    QFile file(rendered->path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(JpegMarkers::iccProfile(file.readAll()), displayP3);
    // Qt's own JPEG reader must see the same colour space.
    EXPECT_EQ(QImage(rendered->path).colorSpace(), QColorSpace(QColorSpace::DisplayP3));

    // A PNG's profile travels the same way.
    const QString png = QDir(temporary.path()).filePath("wide-gamut.png");
    QImage withSpace = scene(80, 60);
    withSpace.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(withSpace.save(png));
    const std::optional<Picture> fromPng = decodePictureForCommands(png, {command}, errorMsg);
    ASSERT_TRUE(fromPng) << errorMsg.toStdString();
    const std::optional<RenderedPicture> pngRendition
        = renderPictureCommand(command, *fromPng, errorMsg);
    ASSERT_TRUE(pngRendition);
    EXPECT_EQ(QImage(pngRendition->path).colorSpace(), QColorSpace(QColorSpace::DisplayP3));
}

TEST(Rendering, ProfilesLargerThanOneSegmentSurviveInChunks)
{
    QByteArray profile(150000, '\0');
    for (int index = 0; index < profile.size(); ++index)
        profile[index] = char(index * 7);
    QTemporaryDir folder;
    const QString path = folder.filePath("big-profile.jpg");
    ASSERT_TRUE(writeJpeg(scene(64, 48), path, 0.8f, profile));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray jpeg = file.readAll();
    EXPECT_EQ(JpegMarkers::iccProfile(jpeg), profile);
    EXPECT_FALSE(QImage::fromData(jpeg).isNull());
}

TEST(Rendering, QualityTradesSizeForFidelity)
{
    QTemporaryDir folder;
    const QImage original = scene(800, 600);
    const QString low = folder.filePath("low.jpg");
    const QString standard = folder.filePath("standard.jpg");
    const QString high = folder.filePath("high.jpg");
    ASSERT_TRUE(saveBMAsJPEG(Picture(original), 0.2f, low));
    ASSERT_TRUE(saveBMAsJPEG(Picture(original), kRenditionJpegQuality, standard));
    ASSERT_TRUE(saveBMAsJPEG(Picture(original), 0.95f, high));
    EXPECT_LT(QFileInfo(low).size(), QFileInfo(standard).size());
    EXPECT_LT(QFileInfo(standard).size(), QFileInfo(high).size());
    // A smooth 800 x 600 picture at quality 0.6 is a few tens of kilobytes, and looks the same.
    EXPECT_LT(QFileInfo(standard).size(), 100 * 1024);
    EXPECT_LT(meanDifference(QImage(standard), original, QSize(200, 150)), 2.0);
    EXPECT_FALSE(saveBMAsJPEG(Picture(original), 0.6f, folder.filePath("missing/folder/x.jpg")));
}

TEST(Rendering, SaveAsJpegWritesAReducedPictureAtItsOwnSize)
{
    QTemporaryDir folder;
    const Picture reduced(scene(50, 40), {}, QSize(100, 80), 0.5);
    const QString path = folder.filePath("full.jpg");
    ASSERT_TRUE(saveAsJPEG(reduced, 0.6f, path));
    EXPECT_EQ(QImage(path).size(), QSize(100, 80));
    EXPECT_FALSE(saveAsJPEG(Picture(), 0.6f, folder.filePath("none.jpg")));
}
