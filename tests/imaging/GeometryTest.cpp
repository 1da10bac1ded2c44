// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/RenderGeometry.h"

#include <gtest/gtest.h>

namespace pondrel {

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

TEST(RenderGeometry, EveryCropModeGivesItsOutputAndTakesItsPart)
{
    struct Case
    {
        QSize picture;
        QSizeF canvas;
        int orientation, cropMode;
        QSize output;
        QRectF sourcePart, drawRect; // checked when not null
        int renderedOrientation;
    };
    const Case cases[] {
        // Fit with margins: centred on the canvas, margins top and bottom or, turned, at the sides.
        {{400, 300}, {200, 200}, 1, 0, {200, 200}, {0, 0, 400, 300}, {0, 25, 200, 150}, 1},
        {{400, 300}, {200, 200}, 6, 0, {200, 200}, {}, {25, 0, 150, 200}, 6},
        // An unknown mode fits with margins.
        {{400, 300}, {200, 200}, 1, 7, {200, 200}, {}, {0, 25, 200, 150}, 1},
        // Fit without margins shrinks the output; 1000 / 3 rounds to the nearest pixel.
        {{400, 300}, {200, 200}, 1, 1, {200, 150}, {}, {}, 1},
        {{400, 300}, {200, 200}, 8, 1, {150, 200}, {}, {}, 8},
        {{3000, 1000}, {1000, 1000}, 1, 1, {1000, 333}, {}, {}, 1},
        // Fill and crop takes the centre.
        {{400, 300}, {200, 200}, 1, 2, {200, 200}, {50, 0, 300, 300}, {0, 0, 200, 200}, 1},
        {{400, 300}, {400, 100}, 1, 2, {400, 100}, {0, 100, 400, 100}, {}, 1},
        // Fit to height; an upright portrait is laid on its side (a stored portrait gets 8, a
        // landscape stored with 6 is printed as stored), other modes keep the orientation.
        {{400, 300}, {50, 100}, 1, 3, {133, 100}, {}, {}, 1},
        {{300, 400}, {100, 100}, 1, 3, {133, 100}, {}, {}, 8},
        {{400, 300}, {100, 100}, 6, 3, {133, 100}, {}, {}, 1},
        {{300, 400}, {100, 100}, 1, 0, {100, 100}, {}, {}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
            << c.picture.width() << "x" << c.picture.height() << " on " << c.canvas.width() << "x"
            << c.canvas.height() << " o" << c.orientation << " mode " << c.cropMode);
        const RenderGeometry geometry = geometryOf(c.picture, c.canvas, c.orientation, c.cropMode);
        EXPECT_EQ(geometry.outputPixels, c.output);
        EXPECT_EQ(geometry.orientation, c.renderedOrientation);
        if (!c.sourcePart.isNull()) {
            EXPECT_EQ(geometry.sourcePart, c.sourcePart);
        }
        if (!c.drawRect.isNull()) {
            EXPECT_EQ(geometry.drawRect, c.drawRect);
        }
    }
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

} // namespace pondrel
