// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "imaging/PictureDecoder.h"
#include "imaging/PictureMetadata.h"
#include "imaging/PictureRendering.h"
#include "imaging/PictureTransforms.h"

#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <openjpeg.h>

namespace pondrel {

using namespace TestPictures;

namespace {

RenderRequest request(int width, int height, int cropMode, int orientation = 1)
{
    return {QSizeF(width, height), cropMode, orientation};
}

class LargeJpeg : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(writeJpeg(path, scene(4000, 3000))); }

    QTemporaryDir folder;
    const QString path = folder.filePath("large.jpg");
};

} // namespace

TEST_F(LargeJpeg, DecodesOnceAtTheSmallestScaleEveryRenditionOfTheBatchAllows)
{
    const struct
    {
        QList<RenderRequest> requests;
        double scale;
    } cases[] {
        // 200 x 150 from 4000 x 3000 needs 1/20: 1/8 is the smallest DCT scale; 1/8 exactly is
        // still enough.
        {{request(200, 200, 1)}, 1.0 / 8},
        {{request(500, 500, 1)}, 1.0 / 8},
        {{request(501, 501, 1)}, 1.0 / 4},
        // The largest need of the batch decides: 1024 / 4000 = 0.256 needs 3/8.
        {{request(200, 200, 1), request(1024, 1024, 1)}, 3.0 / 8},
        // Turned upright the picture is 3000 x 4000: 1500 high on a tall canvas needs 3/8.
        {{request(2000, 1500, 1, 6)}, 3.0 / 8},
        // Larger than the picture: decoded whole, never enlarged while decoding.
        {{request(8000, 8000, 1)}, 1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.scale);
        QString errorMsg;
        const std::optional<Picture> picture = decodePictureForRequests(path, c.requests, errorMsg);
        ASSERT_TRUE(picture) << errorMsg.toStdString();
        EXPECT_DOUBLE_EQ(picture->bitmapScale(), c.scale);
    }

    // Cropping 1920 x 1200 uses a 4000 x 2500 part: 0.48 needs 1/2. One decode serves all three.
    const QList<RenderRequest> batch {
        request(200, 200, 1), request(1024, 1024, 1), request(1920, 1200, 2)};
    const int before = PictureDecoder::decodeCount();
    QString errorMsg;
    const std::optional<Picture> picture = decodePictureForRequests(path, batch, errorMsg);
    ASSERT_TRUE(picture);
    EXPECT_DOUBLE_EQ(picture->bitmapScale(), 1.0 / 2);
    const QList<QSize> expected {{200, 150}, {1024, 768}, {1920, 1200}};
    for (int index = 0; index < batch.size(); ++index) {
        const std::optional<RenderedJpeg> rendered = render(*picture, batch.at(index), errorMsg);
        ASSERT_TRUE(rendered) << errorMsg.toStdString();
        EXPECT_EQ(rendered->pixels, expected.at(index));
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
            SCOPED_TRACE(
                testing::Message() << "mode " << cropMode << " orientation " << orientation);
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
    ASSERT_TRUE(writeJpeg(jpeg, scene(200, 150)));
    QFile file(jpeg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const QList<std::pair<QString, QByteArray>> files {{"header-only.jpg", whole.left(40)},
        {"garbage.jpg", QByteArray(5000, 'x')}, {"empty.png", {}},
        {"drawing.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>"}};
    for (const auto &[name, bytes] : files)
        ASSERT_TRUE(writeBytes(folder.filePath(name), bytes));
    ASSERT_TRUE(scene(16, 16).save(folder.filePath("icon.ico"), "ico"));

    for (const QString name :
        {"header-only.jpg", "garbage.jpg", "empty.png", "drawing.svg", "icon.ico"}) {
        SCOPED_TRACE(name.toStdString());
        QString errorMsg;
        EXPECT_FALSE(
            decodePictureForRequests(folder.filePath(name), {request(50, 50, 0)}, errorMsg));
        EXPECT_TRUE(errorMsg.startsWith("not a valid image")) << errorMsg.toStdString();
        EXPECT_FALSE(thumbnailImageWithFile(folder.filePath(name), 100));
    }
    QString errorMsg;
    EXPECT_FALSE(PictureMetadata::read(folder.filePath("garbage.jpg"), errorMsg));
    EXPECT_FALSE(decodePictureForRequests(folder.filePath("absent.jpg"), {}, errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());

    // Cut in the middle of its pixels, a JPEG still decodes: the missing rows come out grey.
    ASSERT_TRUE(writeBytes(folder.filePath("cut.jpg"), whole.left(whole.size() / 2)));
    const std::optional<Picture> cut
        = decodePictureForRequests(folder.filePath("cut.jpg"), {request(50, 50, 0)}, errorMsg);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), QSize(200, 150));
}

TEST(Decoding, MetadataAndThumbnailsGiveSizesWithoutTurning)
{
    QTemporaryDir scratch;
    const QString plain = scratch.filePath("plain.jpg");
    ASSERT_TRUE(writeJpeg(plain, scene(64, 48)));
    QString errorMsg;
    const std::optional<PictureMetadata> untagged = PictureMetadata::read(plain, errorMsg);
    ASSERT_TRUE(untagged) << errorMsg.toStdString();
    EXPECT_FALSE(untagged->orientation);
    EXPECT_EQ(untagged->pixelSize, QSize(64, 48));
    EXPECT_EQ(thumbnailImage(Picture(scene(400, 300)), 100)->bitmap().size(), QSize(100, 75));
    EXPECT_EQ(thumbnailImage(Picture(scene(300, 400)), 100)->bitmap().size(), QSize(75, 100));
    EXPECT_FALSE(thumbnailImage(Picture(), 100));

    REQUIRE_EXIF_PICTURES();
    const QString folder = exifOrientationFolder();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::optional<PictureMetadata> metadata = PictureMetadata::read(
            QStringLiteral("%1/Landscape_%2.jpg").arg(folder).arg(orientation), errorMsg);
        ASSERT_TRUE(metadata) << errorMsg.toStdString();
        EXPECT_EQ(metadata->orientation, orientation);
        EXPECT_EQ(metadata->uprightPixelSize(), QSize(1800, 1200));
        EXPECT_EQ(metadata->pixelSize, orientation >= 5 ? QSize(1200, 1800) : QSize(1800, 1200));
    }
    // Stored 1200 x 1800: the thumbnail is as stored, and turns upright by its orientation.
    const std::optional<Picture> stored = thumbnailImageWithFile(folder + "/Landscape_6.jpg", 100);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->bitmap().size(), QSize(67, 100));
    const std::optional<Picture> upright = rotateAccordingToExifOrientation(*stored, 6);
    const std::optional<Picture> reference
        = thumbnailImageWithFile(folder + "/Landscape_1.jpg", 100);
    ASSERT_TRUE(upright && reference);
    ASSERT_EQ(upright->bitmap().size(), reference->bitmap().size());
    EXPECT_LT(meanDifference(upright->bitmap(), reference->bitmap()), 8.0);
}

// A lossless JP2 file of `image` with six resolution levels.
bool writeJpeg2000(const QImage &image, const QString &path)
{
    const auto width = OPJ_UINT32(image.width()), height = OPJ_UINT32(image.height());
    opj_image_cmptparm_t parameters[3] {};
    for (opj_image_cmptparm_t &component : parameters) {
        component.dx = component.dy = 1;
        component.w = width;
        component.h = height;
        component.prec = 8;
    }
    std::unique_ptr<opj_image_t, void (*)(opj_image_t *)> picture(
        opj_image_create(3, parameters, OPJ_CLRSPC_SRGB), opj_image_destroy);
    picture->x1 = width;
    picture->y1 = height;
    for (int at = 0; at < image.width() * image.height(); ++at) {
        const QRgb colour = image.pixel(at % image.width(), at / image.width());
        picture->comps[0].data[at] = qRed(colour);
        picture->comps[1].data[at] = qGreen(colour);
        picture->comps[2].data[at] = qBlue(colour);
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

TEST(Decoding, Jpeg2000SkipsResolutionLevelsItDoesNotNeed)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("picture.jp2");
    const QImage original = scene(1024, 768);
    ASSERT_TRUE(writeJpeg2000(original, path));
    QString errorMsg;
    const std::optional<Picture> small
        = decodePictureForRequests(path, {request(100, 100, 1)}, errorMsg);
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

// A JP2 file that declares 60000 x 60000 pixels in one tile but holds the data of a small one.
TEST(Decoding, Jpeg2000DeclaringTooManyPixelsIsRefusedBeforeDecoding)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("huge.jp2");
    ASSERT_TRUE(writeJpeg2000(scene(64, 48), path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const auto putSize = [&](qsizetype at) {
        for (int byte = 0; byte < 4; ++byte)
            bytes[at + byte] = char((60000u >> (24 - 8 * byte)) & 0xff);
    };
    const qsizetype header = bytes.indexOf("ihdr");
    const qsizetype siz = bytes.indexOf(QByteArray("\xff\x4f\xff\x51", 4));
    ASSERT_GT(header, 0);
    ASSERT_GT(siz, 0);
    for (const qsizetype at : {header + 4, header + 8, siz + 8, siz + 12, siz + 24, siz + 28})
        putSize(at);
    file.seek(0);
    file.write(bytes);
    file.close();

    QString errorMsg;
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
    ASSERT_TRUE(decoder) << errorMsg.toStdString();
    EXPECT_EQ(decoder->size(), QSize(60000, 60000));
    EXPECT_FALSE(decoder->decode(1.0, errorMsg));
    EXPECT_TRUE(errorMsg.contains("too large")) << errorMsg.toStdString();
}

// libjpeg-turbo decodes every scan it is given; a few bytes repeated make thousands of them.
TEST(Decoding, ProgressiveJpegWithEndlessScansIsRefused)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("scans.jpg");
    QImageWriter writer(path, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(scene(64, 48)));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype lastScan = bytes.lastIndexOf(QByteArray("\xff\xda", 2));
    ASSERT_GT(lastScan, 0);
    ASSERT_TRUE(bytes.endsWith("\xff\xd9"));
    const QByteArray scan = bytes.mid(lastScan, bytes.size() - 2 - lastScan);
    bytes.insert(bytes.size() - 2, scan.repeated(600));
    file.seek(0);
    file.write(bytes);
    file.close();

    QString errorMsg;
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
    ASSERT_TRUE(decoder) << errorMsg.toStdString();
    EXPECT_FALSE(decoder->decode(1.0, errorMsg));
    EXPECT_TRUE(errorMsg.contains("500 scans")) << errorMsg.toStdString();
}

} // namespace pondrel
