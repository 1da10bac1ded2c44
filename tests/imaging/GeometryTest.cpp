#include "imaging/RenderGeometry.h"

#include <gtest/gtest.h>

namespace {

RenderGeometry geometryOf(QSize picture, QSizeF canvas, int orientation, int cropMode)
{
    QString errorMsg;
    const std::optional<RenderGeometry> geometry
        = RenderGeometry::compute(picture, canvas, orientation, cropMode, errorMsg);
    EXPECT_TRUE(geometry) << errorMsg.toStdString();
    return geometry.value_or(RenderGeometry {});
}

} // namespace

TEST(RenderGeometry, FitWithMarginsCentresThePictureOnTheCanvas)
{
    const RenderGeometry landscape = geometryOf({400, 300}, {200, 200}, 1, 0);
    EXPECT_EQ(landscape.outputPixels, QSize(200, 200));
    EXPECT_EQ(landscape.sourcePart, QRectF(0, 0, 400, 300));
    EXPECT_EQ(landscape.drawRect, QRectF(0, 25, 200, 150));

    // Quarter-turned: the upright picture is 300 x 400, so the margins are left and right.
    const RenderGeometry turned = geometryOf({400, 300}, {200, 200}, 6, 0);
    EXPECT_EQ(turned.upright, QSizeF(300, 400));
    EXPECT_EQ(turned.drawRect, QRectF(25, 0, 150, 200));
}

TEST(RenderGeometry, FitWithoutMarginsShrinksTheOutput)
{
    EXPECT_EQ(geometryOf({400, 300}, {200, 200}, 1, 1).outputPixels, QSize(200, 150));
    EXPECT_EQ(geometryOf({400, 300}, {200, 200}, 8, 1).outputPixels, QSize(150, 200));
    // 1000 / 3 = 333.33 rounds to the nearest whole pixel.
    EXPECT_EQ(geometryOf({3000, 1000}, {1000, 1000}, 1, 1).outputPixels, QSize(1000, 333));
}

TEST(RenderGeometry, FillAndCropTakesTheCentreOfThePicture)
{
    const RenderGeometry square = geometryOf({400, 300}, {200, 200}, 1, 2);
    EXPECT_EQ(square.outputPixels, QSize(200, 200));
    EXPECT_EQ(square.sourcePart, QRectF(50, 0, 300, 300));
    EXPECT_EQ(square.drawRect, QRectF(0, 0, 200, 200));

    const RenderGeometry wide = geometryOf({400, 300}, {400, 100}, 1, 2);
    EXPECT_EQ(wide.sourcePart, QRectF(0, 100, 400, 100));
}

TEST(RenderGeometry, FitToHeightFollowsTheProportions)
{
    const RenderGeometry print = geometryOf({400, 300}, {50, 100}, 1, 3);
    EXPECT_EQ(print.outputPixels, QSize(133, 100));
    EXPECT_EQ(print.orientation, 1);
}

TEST(RenderGeometry, PrintsOfUprightPortraitsAreLaidOnTheirSide)
{
    // Stored portrait, upright as stored.
    const RenderGeometry stored = geometryOf({300, 400}, {100, 100}, 1, 3);
    EXPECT_EQ(stored.orientation, 8);
    EXPECT_EQ(stored.upright, QSizeF(400, 300));
    EXPECT_GT(stored.outputPixels.width(), stored.outputPixels.height());

    // A camera held upright stores landscape with orientation 6: that is a portrait too, and its
    // print comes out the way the file is stored.
    const RenderGeometry camera = geometryOf({400, 300}, {100, 100}, 6, 3);
    EXPECT_EQ(camera.orientation, 1);
    EXPECT_EQ(camera.outputPixels, QSize(133, 100));

    // A landscape picture and a portrait in any other crop mode keep their orientation.
    EXPECT_EQ(geometryOf({400, 300}, {100, 100}, 1, 3).orientation, 1);
    EXPECT_EQ(geometryOf({300, 400}, {100, 100}, 1, 0).orientation, 1);
}

TEST(RenderGeometry, UnknownCropModesFitWithMargins)
{
    const RenderGeometry unknown = geometryOf({400, 300}, {200, 200}, 1, 7);
    EXPECT_EQ(unknown.outputPixels, QSize(200, 200));
    EXPECT_EQ(unknown.drawRect, QRectF(0, 25, 200, 150));
}

TEST(RenderGeometry, RefusesEmptyAndOversizedRenditions)
{
    QString errorMsg;
    EXPECT_FALSE(RenderGeometry::compute({400, 300}, {0, 200}, 1, 0, errorMsg));
    EXPECT_FALSE(errorMsg.isEmpty());
    EXPECT_FALSE(RenderGeometry::compute({400, 300}, {-5, 200}, 1, 0, errorMsg));
    EXPECT_FALSE(RenderGeometry::compute({0, 0}, {200, 200}, 1, 0, errorMsg));
    // A thin panorama fitted to a tall canvas's height would be a million pixels wide.
    EXPECT_FALSE(RenderGeometry::compute({100000, 10}, {100, 10000}, 1, 3, errorMsg));
}

TEST(RenderGeometry, RequiredScaleIsOutputPixelsPerSourcePixel)
{
    EXPECT_DOUBLE_EQ(geometryOf({4000, 3000}, {200, 200}, 1, 1).requiredScale(), 0.05);
    // Cropping uses only part of the picture, so it needs more of its pixels.
    EXPECT_NEAR(geometryOf({4000, 3000}, {1920, 1200}, 1, 2).requiredScale(), 0.48, 1e-6);
    EXPECT_DOUBLE_EQ(geometryOf({4000, 3000}, {3000, 3000}, 1, 2).requiredScale(), 1.0);
}
