#include "TestPictures.h"

#include "imaging/NSImage_extras.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureMetadata.h"
#include "imaging/PictureRendering.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef PONDREL_HAVE_OPENJPEG
#include <openjpeg.h>
#endif

using namespace TestPictures;

namespace {

QVariantMap command(int width, int height, int cropMode, const QString &rotateMode = {})
{
    return {{"type", "RenderPicture"}, {"id", "c"}, {"width", QString::number(width)},
        {"height", QString::number(height)}, {"cropMode", QString::number(cropMode)},
        {"RotateFlipType", rotateMode}};
}

class LargeJpeg : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = folder.filePath("large.jpg");
        ASSERT_TRUE(writeJpeg(scene(4000, 3000), path));
    }

    double decodedScale(const QVariantList &commands)
    {
        QString errorMsg;
        const std::optional<Picture> picture = decodePictureForCommands(path, commands, errorMsg);
        EXPECT_TRUE(picture) << errorMsg.toStdString();
        return picture ? picture->bitmapScale() : 0;
    }

    QTemporaryDir folder;
    QString path;
};

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST_F(LargeJpeg, DecodesAtTheSmallestScaleEveryCommandOfTheBatchAllows)
{
    // 200 x 150 from 4000 x 3000 needs 1/20: 1/8 is the smallest DCT scale.
    EXPECT_DOUBLE_EQ(decodedScale({command(200, 200, 1)}), 1.0 / 8);
    // Exactly 1/8 is still enough.
    EXPECT_DOUBLE_EQ(decodedScale({command(500, 500, 1)}), 1.0 / 8);
    EXPECT_DOUBLE_EQ(decodedScale({command(501, 501, 1)}), 1.0 / 4);
    // The largest need of the batch decides: 1024 / 4000 = 0.256 needs 3/8.
    EXPECT_DOUBLE_EQ(decodedScale({command(200, 200, 1), command(1024, 1024, 1)}), 3.0 / 8);
    // Cropping 1920 x 1200 uses a 4000 x 2500 part: 0.48 needs 1/2.
    EXPECT_DOUBLE_EQ(
        decodedScale({command(200, 200, 1), command(1920, 1200, 2), command(1024, 1024, 1)}),
        1.0 / 2);
    // Turned upright the picture is 3000 x 4000: 1500 high on a tall canvas needs 3/8.
    EXPECT_DOUBLE_EQ(decodedScale({command(2000, 1500, 1, "Rotate90FlipNone")}), 3.0 / 8);
    // Larger than the picture: decoded whole, never enlarged while decoding.
    EXPECT_DOUBLE_EQ(decodedScale({command(8000, 8000, 1)}), 1.0);
    // Commands of another type do not count.
    QVariantMap other = command(4000, 3000, 1);
    other.insert("type", "Other");
    EXPECT_DOUBLE_EQ(decodedScale({command(200, 200, 1), other}), 1.0 / 8);
}

TEST_F(LargeJpeg, OneDecodeServesTheWholeBatch)
{
    QTemporaryDir output;
    const QVariantList batch {command(200, 200, 1), command(1024, 1024, 1), command(1920, 1200, 2)};
    const int before = PictureDecoder::decodeCount();
    QString errorMsg;
    const std::optional<Picture> picture = decodePictureForCommands(path, batch, errorMsg);
    ASSERT_TRUE(picture);
    const QList<QSize> expected {{200, 150}, {1024, 768}, {1920, 1200}};
    for (int index = 0; index < batch.size(); ++index) {
        const std::optional<RenderedPicture> rendered
            = renderPictureCommandToFile(batch.at(index).toMap(), *picture,
                output.filePath(QString::number(index) + ".jpg"), 0.6f, errorMsg);
        ASSERT_TRUE(rendered) << errorMsg.toStdString();
        EXPECT_EQ(QSize(rendered->width, rendered->height), expected.at(index));
    }
    EXPECT_EQ(PictureDecoder::decodeCount() - before, 1);
}

TEST_F(LargeJpeg, ScaledDecodingRendersLikeAFullDecode)
{
    QString errorMsg;
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
    ASSERT_TRUE(decoder);
    const std::optional<Picture> full = decoder->decode(1.0, errorMsg);
    const std::optional<Picture> eighth = decoder->decode(0.1, errorMsg);
    ASSERT_TRUE(full && eighth);
    EXPECT_EQ(full->bitmap().size(), QSize(4000, 3000));
    EXPECT_EQ(eighth->bitmap().size(), QSize(500, 375));
    EXPECT_EQ(eighth->size(), QSize(4000, 3000));

    // Every mode and a quarter turn: the crop must take the same part of the scene.
    for (const int cropMode : {0, 1, 2, 3}) {
        for (const int orientation : {1, 6, 7}) {
            SCOPED_TRACE(QStringLiteral("mode %1 orientation %2")
                             .arg(cropMode)
                             .arg(orientation)
                             .toStdString());
            const auto fromFull = makeThumbnail(*full, {300, 200}, orientation, "f", cropMode);
            const auto fromEighth = makeThumbnail(*eighth, {300, 200}, orientation, "e", cropMode);
            ASSERT_TRUE(fromFull && fromEighth);
            ASSERT_EQ(fromFull->bitmap().size(), fromEighth->bitmap().size());
            EXPECT_LT(meanDifference(fromFull->bitmap(), fromEighth->bitmap()), 2.0);
        }
    }
}

TEST(Decoding, OtherFormatsGoThroughQtReaders)
{
    QTemporaryDir folder;
    const QImage original = scene(120, 90);
    for (const char *format : {"png", "tiff", "bmp", "webp"}) {
        SCOPED_TRACE(format);
        const QString path = folder.filePath(QStringLiteral("picture.%1").arg(format));
        ASSERT_TRUE(original.save(path, format, 100));
        QString errorMsg;
        const std::optional<Picture> picture = decodePictureForRequests(path, {}, errorMsg);
        ASSERT_TRUE(picture) << errorMsg.toStdString();
        EXPECT_EQ(picture->size(), QSize(120, 90));
        EXPECT_LT(meanDifference(picture->bitmap(), original), 3.0);
    }
}

TEST(Decoding, BrokenAndUnsupportedFilesAreNotValidImages)
{
    QTemporaryDir folder;
    const QString jpeg = folder.filePath("whole.jpg");
    ASSERT_TRUE(writeJpeg(scene(200, 150), jpeg));
    QFile file(jpeg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();

    writeBytes(folder.filePath("header-only.jpg"), whole.left(40));
    writeBytes(folder.filePath("garbage.jpg"), QByteArray(5000, 'x'));
    writeBytes(folder.filePath("empty.png"), QByteArray());
    writeBytes(folder.filePath("drawing.svg"),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>");
    ASSERT_TRUE(scene(16, 16).save(folder.filePath("icon.ico"), "ico"));

    for (const QString name :
        {"header-only.jpg", "garbage.jpg", "empty.png", "drawing.svg", "icon.ico"}) {
        SCOPED_TRACE(name.toStdString());
        QString errorMsg;
        EXPECT_FALSE(
            decodePictureForCommands(folder.filePath(name), {command(50, 50, 0)}, errorMsg));
        EXPECT_TRUE(errorMsg.startsWith("not a valid image")) << errorMsg.toStdString();
        EXPECT_FALSE(thumbnailImageWithFile(folder.filePath(name), 100));
    }
    QString errorMsg;
    EXPECT_FALSE(decodePictureForCommands(folder.filePath("absent.jpg"), {}, errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());

    // Cut in the middle of its pixels, a JPEG still decodes: the missing rows come out grey.
    writeBytes(folder.filePath("cut.jpg"), whole.left(whole.size() / 2));
    const std::optional<Picture> cut
        = decodePictureForCommands(folder.filePath("cut.jpg"), {command(50, 50, 0)}, errorMsg);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), QSize(200, 150));
}

TEST(Decoding, MetadataGivesOrientationAndSizeWithoutDecoding)
{
    REQUIRE_EXIF_PICTURES();
    const QString folder = exifOrientationFolder();
    QString errorMsg;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::optional<PictureMetadata> metadata = PictureMetadata::read(
            QStringLiteral("%1/Landscape_%2.jpg").arg(folder).arg(orientation), errorMsg);
        ASSERT_TRUE(metadata) << errorMsg.toStdString();
        EXPECT_EQ(metadata->orientation, orientation);
        EXPECT_EQ(metadata->uprightPixelSize(), QSize(1800, 1200));
    }
    const std::optional<PictureMetadata> six
        = PictureMetadata::read(folder + "/Landscape_6.jpg", errorMsg);
    ASSERT_TRUE(six);
    EXPECT_EQ(six->pixelSize, QSize(1200, 1800));

    QTemporaryDir scratch;
    const QString plain = scratch.filePath("plain.jpg");
    ASSERT_TRUE(writeJpeg(scene(64, 48), plain));
    const std::optional<PictureMetadata> untagged = PictureMetadata::read(plain, errorMsg);
    ASSERT_TRUE(untagged);
    EXPECT_FALSE(untagged->orientation);
    EXPECT_EQ(untagged->pixelSize, QSize(64, 48));
    writeBytes(scratch.filePath("garbage.jpg"), QByteArray(100, 'x'));
    EXPECT_FALSE(PictureMetadata::read(scratch.filePath("garbage.jpg"), errorMsg));
}

TEST(Decoding, ThumbnailsKeepProportionsAndStoredOrientation)
{
    const std::optional<Picture> wide = thumbnailImage(Picture(scene(400, 300)), 100);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->bitmap().size(), QSize(100, 75));
    const std::optional<Picture> tall = thumbnailImage(Picture(scene(300, 400)), 100);
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->bitmap().size(), QSize(75, 100));
    EXPECT_FALSE(thumbnailImage(Picture(), 100));

    REQUIRE_EXIF_PICTURES();
    // Stored 1200 x 1800: the thumbnail is as stored, and turns upright by its orientation.
    const std::optional<Picture> stored
        = thumbnailImageWithFile(exifOrientationFolder() + "/Landscape_6.jpg", 100);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->bitmap().size(), QSize(67, 100));
    const std::optional<Picture> upright = rotateAccordingToExifOrientation(*stored, 6);
    const std::optional<Picture> reference
        = thumbnailImageWithFile(exifOrientationFolder() + "/Landscape_1.jpg", 100);
    ASSERT_TRUE(upright && reference);
    ASSERT_EQ(upright->bitmap().size(), reference->bitmap().size());
    EXPECT_LT(meanDifference(upright->bitmap(), reference->bitmap()), 8.0);
}

#ifdef PONDREL_HAVE_OPENJPEG
namespace {

// Writes `image` losslessly as a JP2 file with six resolution levels.
bool writeJpeg2000(const QImage &image, const QString &path)
{
    opj_image_cmptparm_t parameters[3] {};
    for (opj_image_cmptparm_t &component : parameters) {
        component.dx = component.dy = 1;
        component.w = OPJ_UINT32(image.width());
        component.h = OPJ_UINT32(image.height());
        component.prec = 8;
    }
    opj_image_t *raw = opj_image_create(3, parameters, OPJ_CLRSPC_SRGB);
    std::unique_ptr<opj_image_t, void (*)(opj_image_t *)> picture(raw, opj_image_destroy);
    picture->x1 = OPJ_UINT32(image.width());
    picture->y1 = OPJ_UINT32(image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y);
            const int at = y * image.width() + x;
            picture->comps[0].data[at] = qRed(colour);
            picture->comps[1].data[at] = qGreen(colour);
            picture->comps[2].data[at] = qBlue(colour);
        }
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.numresolution = 6;
    std::unique_ptr<opj_codec_t, void (*)(opj_codec_t *)> codec(
        opj_create_compress(OPJ_CODEC_JP2), opj_destroy_codec);
    std::unique_ptr<opj_stream_t, void (*)(opj_stream_t *)> stream(
        opj_stream_create_default_file_stream(QFile::encodeName(path).constData(), 0),
        opj_stream_destroy);
    return codec && stream && opj_setup_encoder(codec.get(), &settings, picture.get())
        && opj_start_compress(codec.get(), picture.get(), stream.get())
        && opj_encode(codec.get(), stream.get()) && opj_end_compress(codec.get(), stream.get());
}

} // namespace

TEST(Decoding, Jpeg2000SkipsResolutionLevelsItDoesNotNeed)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("picture.jp2");
    const QImage original = scene(1024, 768);
    ASSERT_TRUE(writeJpeg2000(original, path));

    QString errorMsg;
    const std::optional<Picture> small
        = decodePictureForCommands(path, {command(100, 100, 1)}, errorMsg);
    ASSERT_TRUE(small) << errorMsg.toStdString();
    EXPECT_EQ(small->size(), QSize(1024, 768));
    EXPECT_DOUBLE_EQ(small->bitmapScale(), 1.0 / 8);
    EXPECT_EQ(small->bitmap().size(), QSize(128, 96));

    const std::optional<Picture> full = decodePictureForRequests(path, {}, errorMsg);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->bitmap().size(), QSize(1024, 768));
    EXPECT_LT(meanDifference(full->bitmap(), original), 1.0);
    const auto fromSmall = makeThumbnail(*small, {100, 100}, 1, "s", 1);
    const auto fromFull = makeThumbnail(*full, {100, 100}, 1, "f", 1);
    ASSERT_TRUE(fromSmall && fromFull);
    EXPECT_LT(meanDifference(fromSmall->bitmap(), fromFull->bitmap()), 2.0);
}
#endif
