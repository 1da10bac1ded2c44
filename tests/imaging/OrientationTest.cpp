// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/Orientation.h"
#include "imaging/PictureTransforms.h"

#include <QTransform>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

// The upright picture by Qt's own transforms: mirrored left to right (or not), then turned
// clockwise by the given degrees.
QImage uprightByQt(const QImage &stored, int orientation)
{
    static const std::pair<bool, int> steps[] {{false, 0}, {true, 0}, {false, 180}, {true, 180},
        {true, 270}, {false, 90}, {true, 90}, {false, 270}};
    const auto [mirror, degrees] = steps[orientation - 1];
    return stored.mirrored(mirror, false).transformed(QTransform().rotate(degrees));
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

// Every pixel moves as the orientation table says; storedRect maps each upright pixel back to
// the stored one that holds its colour; laying on the side composes with the quarter turn.
TEST(Orientation, EveryOrientationMovesPixelsAsTheTableSays)
{
    const QImage stored = numberedPixels();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage upright = Orientation::orientedImage(stored, orientation);
        EXPECT_EQ(upright, uprightByQt(stored, orientation));
        for (int y = 0; y < upright.height(); ++y) {
            for (int x = 0; x < upright.width(); ++x) {
                const QRectF part = Orientation::storedRect(
                    QRectF(x, y, 1, 1), QSizeF(stored.size()), orientation);
                ASSERT_EQ(part.size(), QSizeF(1, 1));
                EXPECT_EQ(stored.pixel(int(part.x()), int(part.y())), upright.pixel(x, y));
            }
        }
        const int composed = Orientation::followedByQuarterTurnCounterClockwise(orientation);
        EXPECT_EQ(
            Orientation::orientedImage(stored, composed), Orientation::orientedImage(upright, 8));
    }
    EXPECT_EQ(Orientation::followedByQuarterTurnCounterClockwise(0), 8);
}

TEST(PictureTransforms, TurnsKeepTheProfileAndGoTheRightWay)
{
    const Picture picture(QImage(400, 300, QImage::Format_RGB32), QByteArray("profile"));
    const std::optional<Picture> turned = rotateAccordingToExifOrientation(picture, 6);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->bitmap().size(), QSize(300, 400));
    EXPECT_EQ(turned->size(), QSize(300, 400));
    EXPECT_EQ(turned->iccProfile(), "profile");
    for (const int unsupported : {0, 9})
        EXPECT_EQ(rotateAccordingToExifOrientation(picture, unsupported)->bitmap().size(),
            QSize(400, 300));
    EXPECT_FALSE(rotateAccordingToExifOrientation(Picture(), 6));

    // Clockwise the stored bottom-left pixel becomes the top-left one; counter-clockwise the
    // stored top-right one does.
    const Picture numbered(numberedPixels());
    EXPECT_EQ(rotateImage(numbered, true)->bitmap(), uprightByQt(numbered.bitmap(), 6));
    EXPECT_EQ(rotateImage(numbered, false)->bitmap(), uprightByQt(numbered.bitmap(), 8));
    EXPECT_EQ(rotateImage(numbered, true)->bitmap().pixel(0, 0), numbered.bitmap().pixel(0, 1));
}

} // namespace pondrel
