#include "imaging/Orientation.h"
#include "imaging/NSImage_extras.h"
#include "imaging/oruUtils.h"

#include <QPointF>

#include <gtest/gtest.h>

namespace {

// Where the upright picture receives the stored point (x, y), with the origin at the bottom-left
// corner and y growing upward, W and H the stored size.
QPointF uprightPoint(int orientation, QPointF p, double W, double H)
{
    const double x = p.x(), y = p.y();
    switch (orientation) {
    case 2:
        return {W - x, y};
    case 3:
        return {W - x, H - y};
    case 4:
        return {x, H - y};
    case 5:
        return {H - y, W - x};
    case 6:
        return {y, W - x};
    case 7:
        return {y, x};
    case 8:
        return {H - y, x};
    default:
        return {x, y};
    }
}

// A 3 x 2 bitmap whose every pixel is distinct.
QImage numberedPixels()
{
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, qRgb(10 + x, 20 + y, 30));
    return image;
}

} // namespace

TEST(oruUtils, NamesAndOrientationsRoundTrip)
{
    const QStringList names {"RotateNoneFlipNone", "RotateNoneFlipX", "Rotate180FlipNone",
        "RotateNoneFlipY", "Rotate270FlipY", "Rotate90FlipNone", "Rotate270FlipX",
        "Rotate270FlipNone"};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        EXPECT_EQ(oruUtils::rotateModeFromOrientation(orientation), names.at(orientation - 1));
        EXPECT_EQ(oruUtils::orientationFromRotateMode(names.at(orientation - 1)), orientation);
    }
    EXPECT_EQ(oruUtils::orientationFromRotateMode("Nada"), 0);
}

TEST(oruUtils, UnknownValuesFallBackToUpright)
{
    EXPECT_EQ(oruUtils::rotateModeFromOrientation(0), "RotateNoneFlipNone");
    EXPECT_EQ(oruUtils::rotateModeFromOrientation(-3), "RotateNoneFlipNone");
    EXPECT_EQ(oruUtils::rotateModeFromOrientation(9), "RotateNoneFlipNone");
    EXPECT_EQ(oruUtils::orientationFromRotateMode(QString()), 1);
    EXPECT_EQ(oruUtils::orientationFromRotateMode("Rotate45FlipZ"), 1);
    EXPECT_EQ(oruUtils::orientationFromRotateMode("rotatenoneflipx"), 1);
}

TEST(Orientation, EveryOrientationMovesPixelsAsTheOrientationTableSays)
{
    const QImage stored = numberedPixels();
    const double W = stored.width(), H = stored.height();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage upright = Orientation::orientedImage(stored, orientation);
        const bool quarter = orientation >= 5;
        ASSERT_EQ(upright.size(), quarter ? stored.size().transposed() : stored.size());
        for (int y = 0; y < stored.height(); ++y) {
            for (int x = 0; x < stored.width(); ++x) {
                // Pixel centres, turned into bottom-left coordinates and back.
                const QPointF centre(x + 0.5, H - (y + 0.5));
                const QPointF moved = uprightPoint(orientation, centre, W, H);
                const int ux = int(moved.x() - 0.5);
                const int uy = int(upright.height() - moved.y() - 0.5);
                EXPECT_EQ(upright.pixel(ux, uy), stored.pixel(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(Orientation, StoredRectIsThePartThatTurnsIntoTheUprightRect)
{
    const QImage stored = numberedPixels();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage upright = Orientation::orientedImage(stored, orientation);
        // Every single upright pixel must map back onto the stored pixel that holds its colour.
        for (int y = 0; y < upright.height(); ++y) {
            for (int x = 0; x < upright.width(); ++x) {
                const QRectF part = Orientation::storedRect(
                    QRectF(x, y, 1, 1), QSizeF(stored.size()), orientation);
                ASSERT_EQ(part.size(), QSizeF(1, 1));
                EXPECT_EQ(stored.pixel(int(part.x()), int(part.y())), upright.pixel(x, y));
            }
        }
    }
}

TEST(Orientation, LayingOnTheSideComposesWithTheQuarterTurn)
{
    const QImage stored = numberedPixels();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage laidDown
            = Orientation::orientedImage(Orientation::orientedImage(stored, orientation), 8);
        const int composed = Orientation::followedByQuarterTurnCounterClockwise(orientation);
        EXPECT_EQ(Orientation::orientedImage(stored, composed), laidDown);
    }
    EXPECT_EQ(Orientation::followedByQuarterTurnCounterClockwise(0), 8);
}

TEST(NSImageExtras, RotateAccordingToExifOrientation)
{
    const Picture picture(QImage(400, 300, QImage::Format_RGB32), QByteArray("profile"));
    const std::optional<Picture> turned = rotateAccordingToExifOrientation(picture, 6);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->bitmap().size(), QSize(300, 400));
    EXPECT_EQ(turned->size(), QSize(300, 400));
    EXPECT_EQ(turned->iccProfile(), "profile");

    for (const int unsupported : {0, 9}) {
        const std::optional<Picture> same = rotateAccordingToExifOrientation(picture, unsupported);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->bitmap().size(), QSize(400, 300));
    }
    EXPECT_FALSE(rotateAccordingToExifOrientation(Picture(), 6));
}

TEST(NSImageExtras, RotateImageTurnsByAQuarter)
{
    const Picture picture(numberedPixels());
    const std::optional<Picture> clockwise = rotateImage(picture, true);
    const std::optional<Picture> counter = rotateImage(picture, false);
    ASSERT_TRUE(clockwise && counter);
    EXPECT_EQ(clockwise->bitmap().size(), QSize(2, 3));
    // Clockwise: the stored bottom-left pixel becomes the top-left one.
    EXPECT_EQ(clockwise->bitmap().pixel(0, 0), picture.bitmap().pixel(0, 1));
    // Counter-clockwise: the stored top-right pixel becomes the top-left one.
    EXPECT_EQ(counter->bitmap().pixel(0, 0), picture.bitmap().pixel(2, 0));
    EXPECT_EQ(rotateClockwise(picture)->bitmap(), clockwise->bitmap());
}

TEST(NSImageExtras, RescaleRectKeepsOriginAndFitsTheTighterSide)
{
    EXPECT_EQ(rescaleRect(QRectF(5, 7, 400, 300), QSizeF(200, 200)), QRectF(5, 7, 200, 150));
    EXPECT_EQ(
        rescaleRect(QRectF(0, 0, 100, 300), QSizeF(200, 200)), QRectF(0, 0, 100.0 / 1.5, 200));
}
