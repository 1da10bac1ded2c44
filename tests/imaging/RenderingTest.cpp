// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/imaging/TestPictures.h"

#include "imaging/JpegMarkers.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureRendering.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pondrel {

using namespace TestPictures;

namespace {

class Rendering : public ::testing::Test
{
protected:
    QString temporaryFile(const QString &name) const { return m_temporary.filePath(name); }

    // Decodes a picture file for one rendition, renders it and reads the JPEG back.
    static QImage renderFile(const QString &path, const RenderRequest &request)
    {
        QString errorMsg;
        const std::optional<Picture> picture = decodePictureForRequests(path, {request}, errorMsg);
        EXPECT_TRUE(picture) << errorMsg.toStdString();
        const std::optional<RenderedJpeg> rendered
            = picture ? render(*picture, request, errorMsg) : std::nullopt;
        EXPECT_TRUE(rendered) << errorMsg.toStdString();
        if (!rendered)
            return {};
        const QImage image = QImage::fromData(rendered->bytes);
        EXPECT_EQ(image.size(), rendered->pixels);
        return image;
    }
    static QImage renderExample(const QString &name, int orientation, int size, int cropMode)
    {
        return renderFile(exifOrientationFolder() + "/" + name,
            RenderRequest {QSizeF(size, size), cropMode, orientation});
    }

    QTemporaryDir m_temporary;
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

TEST_F(Rendering, ColourProfileIsCarriedIntoTheRendition)
{
    const QByteArray displayP3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    ASSERT_FALSE(displayP3.isEmpty());
    const QString source = temporaryFile("wide-gamut.jpg");
    ASSERT_TRUE(writeJpeg(source, scene(800, 600), Metadata().profile(displayP3)));
    const RenderRequest request {{200, 200}, 2, 3};
    QString errorMsg;
    const std::optional<Picture> decoded = decodePictureForRequests(source, {request}, errorMsg);
    ASSERT_TRUE(decoded) << errorMsg.toStdString();
    EXPECT_EQ(decoded->iccProfile(), displayP3);
    const std::optional<RenderedJpeg> rendered = render(*decoded, request, errorMsg);
    ASSERT_TRUE(rendered) << errorMsg.toStdString();
    EXPECT_EQ(JpegMarkers::iccProfile(rendered->bytes), displayP3);
    // Qt's own JPEG reader must see the same colour space, and a PNG's profile travels too.
    EXPECT_EQ(QImage::fromData(rendered->bytes).colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    QImage withSpace = scene(80, 60);
    withSpace.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(withSpace.save(temporaryFile("wide-gamut.png")));
    EXPECT_EQ(renderFile(temporaryFile("wide-gamut.png"), request).colorSpace(),
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
    const qint64 standard = sizeAt(0.6f, "standard.jpg");
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
