// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/publisher/PhotoViewTestSupport.h"

#include "publisher/views/KeyCommand.h"

#include <QPainter>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

bool isColor(QRgb pixel, QColor expected, int tolerance = 8)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance
        && std::abs(qGreen(pixel) - expected.green()) <= tolerance
        && std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

// How many pixels of the rectangle are dark, as text is and the band and box are not.
int darkPixels(const QImage &shot, const QRect &rect)
{
    int dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            dark += qGray(shot.pixel(x, y)) < 100 ? 1 : 0;
    return dark;
}

} // namespace

TEST(PhotoViewGeometry, WithoutItemsTheViewIsContentWideAndFlatAndTakesNoFocus)
{
    TestHost host;
    TestSource source;
    ScrolledGrid grid(640);
    grid.showItemsOf(source);
    EXPECT_EQ(grid.view->size(), QSize(640, 0));
    EXPECT_EQ(grid.view->columns(), 0u);
    EXPECT_EQ(grid.view->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(grid.view->photoRectForIndex(0), QRectF());
    EXPECT_EQ(grid.view->photoIndexRangeForRect(QRectF(0, 0, 640, 600)).length, 0u);
    // Items arriving make the view focusable; leaving again takes the focus back.
    source.count = 2;
    grid.view->updateGridAndFrame();
    EXPECT_EQ(grid.view->focusPolicy(), Qt::StrongFocus);
    source.count = 0;
    grid.view->updateGridAndFrame();
    EXPECT_EQ(grid.view->focusPolicy(), Qt::NoFocus);
}

TEST(PhotoViewGeometry, ColumnsShareTheWidthInCellsOfAtMost250)
{
    const struct
    {
        int width;
        quint32 count, columns, rows;
        double cellWidth;
        int height;
    } cases[] {
        // Few items in a wide area: one cell each, capped at 250.
        {1500, 3, 3, 1, 250, 125},
        // floor(1000 / 150) = 6 columns share the spare 100; 20 items need 4 rows of 125.
        {1000, 20, 6, 4, 150 + 100.0 / 6, 500},
        // Narrower than one cell still gives one column, as wide as the area.
        {90, 20, 1, 20, 90, 2500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.width);
        TestSource source;
        source.count = c.count;
        ScrolledGrid grid(c.width);
        grid.showItemsOf(source);
        EXPECT_EQ(grid.view->columns(), c.columns);
        EXPECT_EQ(grid.view->rows(), c.rows);
        EXPECT_NEAR(grid.view->gridSize().width(), c.cellWidth, 1e-4);
        EXPECT_EQ(grid.view->height(), c.height);
        const quint32 last = c.count - 1;
        EXPECT_NEAR(grid.view->gridRectForIndex(last).x(), last % c.columns * c.cellWidth, 1e-3);
        EXPECT_EQ(grid.view->gridRectForIndex(last).y(), last / c.columns * 125);
    }
}

TEST(PhotoViewGeometry, PictureIsScaledToPhotoSizeAndSitsLeftAndLow)
{
    TestSource source;
    source.count = 2;
    source.picture = solidPicture(400, 300, Qt::blue);
    ScrolledGrid grid(300);
    grid.showItemsOf(source);

    // Cells are 150 x 125: the picture is 100 x 75, 15 from the left, its bottom 15 above the
    // cell's bottom.
    EXPECT_EQ(grid.view->photoRectForIndex(0), QRectF(15, 35, 100, 75));
    EXPECT_EQ(grid.view->photoRectForIndex(1), QRectF(165, 35, 100, 75));
    EXPECT_EQ(grid.view->scaledPhotoSizeForSize(QSizeF(300, 400)), QSizeF(75, 100));
    EXPECT_EQ(grid.view->scaledPhotoSizeForSize(QSizeF(20, 10)), QSizeF(100, 50));

    const QImage shot = grid.grabView();
    const QColor blue(Qt::blue);
    EXPECT_TRUE(isColor(shot.pixel(17, 37), blue));
    EXPECT_TRUE(isColor(shot.pixel(112, 107), blue));
    EXPECT_TRUE(isColor(shot.pixel(65, 72), blue));
    EXPECT_FALSE(isColor(shot.pixel(65, 33), blue));
    EXPECT_FALSE(isColor(shot.pixel(65, 111), blue));
    EXPECT_FALSE(isColor(shot.pixel(13, 72), blue));
    EXPECT_FALSE(isColor(shot.pixel(117, 72), blue));
    EXPECT_TRUE(isColor(shot.pixel(215, 72), blue));
}

TEST(PhotoViewGeometry, MissingPictureIsAWhitePlaceholderSquare)
{
    TestSource source;
    source.count = 1;
    ScrolledGrid grid(300);
    grid.view->setDelegate(&source);
    grid.view->setUseOutlineBorder(false);
    grid.view->updateGridAndFrame();

    EXPECT_EQ(grid.view->photoRectForIndex(0), QRectF(15, 10, 100, 100));
    const QImage shot = grid.grabView();
    EXPECT_TRUE(isColor(shot.pixel(65, 60), Qt::white));
    // Its black outline lies just inside the square.
    EXPECT_LT(qGray(shot.pixel(15, 60)), 40);
    EXPECT_LT(qGray(shot.pixel(65, 109)), 40);
    EXPECT_GT(qGray(shot.pixel(16, 60)), 200);
}

TEST(PhotoViewGeometry, OnlyTheCellsOfTheDirtyRectangleAreAsked)
{
    struct CountingSource : TestSource
    {
        std::vector<quint32> asked;
        QString titleAtIndex(MUPhotoView *, quint32 index) override
        {
            asked.push_back(index);
            return QString::number(index);
        }
    } source;
    source.count = 100000;
    ScrolledGrid grid(600);
    grid.showItemsOf(source);

    QImage target(600, 250, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.translate(0, -125 * 500);
    grid.view->drawRect(painter, QRectF(0, 125 * 500, 600, 250));
    // Rows 500 and 501 only: the index of the far corner lies a column past row 502, outside.
    ASSERT_FALSE(source.asked.empty());
    EXPECT_EQ(source.asked.front(), 2000u);
    EXPECT_EQ(source.asked.back(), 2007u);
    EXPECT_EQ(source.asked.size(), 8u);
}

TEST(PhotoViewGeometry, ScrollingToTheEndWithoutItemsDoesNothing)
{
    TestSource source;
    ScrolledGrid grid(400, 200);
    grid.area.setWidgetResizable(false);
    grid.showItemsOf(source);
    EXPECT_TRUE(grid.view->doCommand(KeyCommand::scrollToEndOfDocument));
    EXPECT_EQ(grid.area.verticalScrollBar()->value(), 0);
    source.count = 100;
    grid.view->updateGridAndFrame();
    grid.view->doCommand(KeyCommand::scrollToEndOfDocument);
    EXPECT_EQ(grid.area.verticalScrollBar()->value(), grid.area.verticalScrollBar()->maximum());
    EXPECT_GT(grid.area.verticalScrollBar()->maximum(), 0);
}

// Until a second has passed since the last size change, cells are drawn from the cheap pictures
// (the delegate's fast ones, or the view's own small copies).
TEST(PhotoViewGeometry, WhileSizesSettleCellsAreDrawnFromTheCheapPictures)
{
    struct TwoPictureSource : TestSource
    {
        QImage fastPhotoAtIndex(MUPhotoView *, quint32) override
        {
            return solidPicture(40, 30, Qt::red);
        }
    } source;
    source.count = 1;
    source.picture = solidPicture(400, 300, Qt::blue);
    ScrolledGrid grid(300);
    grid.showItemsOf(source);
    EXPECT_TRUE(grid.view->isDonePhotoResizing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return isColor(grid.grabView().pixel(65, 72), Qt::blue); }));

    grid.view->setPhotoSize(90);
    QTest::qWait(700);
    grid.view->setPhotoSize(80);
    grid.view->updateGridAndFrame();
    // 80 x 60, 15 from the left, bottom 15 above the cell's (105 high) bottom.
    EXPECT_EQ(grid.view->photoRectForIndex(0), QRectF(15, 30, 80, 60));
    EXPECT_TRUE(isColor(grid.grabView().pixel(55, 60), Qt::red));
    QTest::qWait(700);
    // Ticks have run, but the last change is younger than a second.
    EXPECT_FALSE(grid.view->isDonePhotoResizing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid.view->isDonePhotoResizing(); }, 3000));
    EXPECT_TRUE(isColor(grid.grabView().pixel(55, 60), Qt::blue));

    ScrolledGrid own(300);
    own.view->setPhotosArray({solidPicture(400, 200, Qt::green)});
    own.view->updateGridAndFrame();
    EXPECT_EQ(own.view->photoRectForIndex(0), QRectF(15, 60, 100, 50));
    own.view->setPhotoSize(120);
    own.view->updateGridAndFrame();
    // The fast copy (100 x 50) is drawn at the new size all the same.
    EXPECT_EQ(own.view->photoRectForIndex(0), QRectF(15, 70, 120, 60));
    EXPECT_TRUE(isColor(own.grabView().pixel(75, 100), Qt::green));
    EXPECT_FALSE(isColor(own.grabView().pixel(75, 68), Qt::green));
}

// Titles are drawn from a cache: a long one is cut to its cell, and a changed one is shown as
// it now is, at either pixel density.
TEST(PhotoViewGeometry, TitlesAreCutToTheirCellAndFollowTheirText)
{
    struct TitledSource : TestSource
    {
        QString title;
        QString titleAtIndex(MUPhotoView *, quint32) override { return title; }
    } source;
    source.count = 2;
    source.picture = solidPicture(400, 300, Qt::blue);
    source.title = QStringLiteral("Hiking the ridge and all the long way back home again");
    ScrolledGrid grid(300);
    grid.showItemsOf(source);

    // Cells are 150 wide; the band is the 25 points under the box's top edge at 5.
    const QRect firstBand(16, 8, 120, 20);
    const QRect betweenBands(146, 8, 9, 20);
    for (const qreal scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        QPixmap canvas(QSize(300, 125) * scale);
        canvas.setDevicePixelRatio(scale);
        const auto shot = [&] {
            grid.view->render(&canvas);
            return canvas.toImage().scaled(300, 125);
        };
        source.title = QStringLiteral("Hiking the ridge and all the long way back home again");
        QImage image = shot();
        EXPECT_GT(darkPixels(image, firstBand), 40);
        EXPECT_EQ(darkPixels(image, betweenBands), 0);

        source.title.clear();
        image = shot();
        EXPECT_EQ(darkPixels(image, firstBand), 0);
    }
}

} // namespace pondrel
