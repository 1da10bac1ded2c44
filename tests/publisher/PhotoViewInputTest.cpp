// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/publisher/PhotoViewTestSupport.h"

#include <QApplication>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace pondrel {

namespace {

// Ten items in four columns of 150 x 125.
struct KeyboardGrid : ScrolledGrid
{
    KeyboardGrid()
        : ScrolledGrid(600)
    {
        source.count = 10;
        showItemsOf(source);
    }

    IndexSet press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(view, Qt::Key(key), modifiers);
        return source.selection;
    }

    IndexSet pressFrom(const IndexSet &start, int key, Qt::KeyboardModifiers modifiers = {})
    {
        source.selection = start;
        return press(key, modifiers);
    }

    TestSource source;
};

IndexSet range(quint32 first, quint32 last)
{
    return IndexSet::fromRange(first, last);
}

QPoint cellCenter(MUPhotoView *view, quint32 index)
{
    return view->gridRectForIndex(index).center().toPoint();
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint point, quint64 timestamp)
{
    QMouseEvent event(type, point, widget->mapToGlobal(point), Qt::LeftButton,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(PhotoViewMouse, PlainShiftAndCtrlClicksFollowTheSelectionRules)
{
    TestHost host;
    KeyboardGrid grid;
    host.sources.push_back(&grid.source);
    MUPhotoView *view = grid.view;

    QTest::mouseClick(view, Qt::LeftButton, {}, cellCenter(view, 7));
    EXPECT_EQ(grid.source.selection, IndexSet(7));
    EXPECT_EQ(host.resets, 1);

    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, cellCenter(view, 3));
    EXPECT_EQ(grid.source.selection, range(3, 7));

    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, cellCenter(view, 5));
    IndexSet toggled = range(3, 7);
    toggled.remove(5);
    EXPECT_EQ(grid.source.selection, toggled);
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, cellCenter(view, 9));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, cellCenter(view, 5));
    IndexSet expected = range(3, 7);
    expected.add(9);
    EXPECT_EQ(grid.source.selection, expected);

    // A plain press on a selected item keeps the whole selection (so it can be double-clicked).
    const int resetsBefore = host.resets;
    QTest::mouseClick(view, Qt::LeftButton, {}, cellCenter(view, 4));
    EXPECT_EQ(grid.source.selection, expected);
    EXPECT_EQ(host.resets, resetsBefore);

    // Shift from an empty selection selects just the clicked item.
    grid.source.selection = IndexSet();
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, cellCenter(view, 2));
    EXPECT_EQ(grid.source.selection, IndexSet(2));
}

// 220 + 50 = 270 is capped to 250: three columns of ten items use 750 of the 1000.
TEST(PhotoViewMouse, HitTestingAndClicksOutsideCellsFollowTheQuirks)
{
    TestHost host;
    TestSource source;
    source.count = 10;
    host.sources.push_back(&source);
    ScrolledGrid grid(1000);
    grid.view->setDelegate(&source);
    grid.view->setPhotoSize(220);
    grid.view->updateGridAndFrame();
    ASSERT_EQ(grid.view->columns(), 3u);
    ASSERT_EQ(grid.view->gridSize(), QSizeF(250, 245));
    EXPECT_EQ(grid.view->photoIndexForPoint(QPointF(10, 10)), 0u);
    EXPECT_EQ(grid.view->photoIndexForPoint(QPointF(260, 250)), 4u);
    EXPECT_EQ(grid.view->photoIndexForPoint(QPointF(-40, -3)), 0u);
    // Right of the last column the index runs on into the next row's cells; below the last
    // item it lies beyond the count.
    EXPECT_EQ(grid.view->photoIndexForPoint(QPointF(800, 10)), 3u);
    EXPECT_FALSE(grid.view->gridRectForIndex(3).contains(QPointF(800, 10)));
    EXPECT_GE(grid.view->photoIndexForPoint(QPointF(600, 3 * 245 + 5)), 10u);
    const IndexRange middle = grid.view->photoIndexRangeForRect(QRectF(260, 250, 200, 300));
    EXPECT_EQ(middle.location, 4u);
    EXPECT_EQ(middle.length, 4u);
    const IndexRange tail = grid.view->photoIndexRangeForRect(QRectF(0, 700, 1000, 600));
    EXPECT_EQ(tail.location, 6u);
    EXPECT_EQ(tail.location + tail.length - 1, 9u);

    // A click right of the last column of a row with items after it clears everything...
    source.selection = range(1, 2);
    QTest::mouseClick(grid.view, Qt::LeftButton, {}, QPoint(800, 20));
    EXPECT_TRUE(source.selection.isEmpty());
    EXPECT_EQ(host.resets, 1);
    // ...unless Shift is held.
    source.selection = range(1, 2);
    QTest::mouseClick(grid.view, Qt::LeftButton, Qt::ShiftModifier, QPoint(800, 20));
    EXPECT_EQ(source.selection, range(1, 2));
    // Right of the last item of the last row (index 10 and beyond): nothing changes.
    QTest::mouseClick(grid.view, Qt::LeftButton, {}, QPoint(400, 3 * 245 + 20));
    EXPECT_EQ(source.selection, range(1, 2));
    EXPECT_EQ(host.resets, 1);
}

TEST(PhotoViewMouse, SecondaryClickSelectsTheItemAndAsksTheHostForItsMenu)
{
    TestHost host;
    KeyboardGrid grid;
    host.sources.push_back(&grid.source);
    grid.view->setTag(3);

    grid.source.selection = range(0, 4);
    QTest::mousePress(grid.view, Qt::RightButton, {}, cellCenter(grid.view, 6));
    EXPECT_EQ(grid.source.selection, IndexSet(6));
    EXPECT_EQ(grid.view->menuForEvent(), &host.menu);
    ASSERT_FALSE(host.menuTags.empty());
    EXPECT_EQ(host.menuTags.back(), 3);
    QTest::mouseRelease(grid.view, Qt::RightButton, {}, cellCenter(grid.view, 6));
    host.menu.hide();

    // Meta (the Control key of one-button mice) makes a primary click a secondary one.
    QTest::mouseClick(grid.view, Qt::LeftButton, Qt::MetaModifier, cellCenter(grid.view, 2));
    EXPECT_EQ(grid.source.selection, IndexSet(2));
    host.menu.hide();

    // Below the last item: the selection is emptied and there is no menu.
    QTest::mousePress(grid.view, Qt::RightButton, {}, QPoint(500, 20 + 2 * 125));
    EXPECT_TRUE(grid.source.selection.isEmpty());
    EXPECT_EQ(grid.view->menuForEvent(), nullptr);
    QTest::mouseRelease(grid.view, Qt::RightButton, {}, QPoint(500, 20 + 2 * 125));
}

// Four columns of 150 x 125: a band from the empty cell after the last item up to item 5 covers
// items 5 to 7 of the second row and 9 of the third.
TEST(PhotoViewMouse, TheSelectionBandSelectsTheCellsItMeetsAndShiftAddsThem)
{
    TestHost host;
    KeyboardGrid grid;
    host.sources.push_back(&grid.source);
    MUPhotoView *view = grid.view;
    const QPoint start(3 * 150 + 75, 2 * 125 + 60);
    const auto dragTo = [view](QPoint point) {
        QMouseEvent move(QEvent::MouseMove, point, view->mapToGlobal(point), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    };
    IndexSet band = range(5, 7);
    band.add(9);

    grid.source.selection = IndexSet(0);
    const QImage before = grid.grabView();
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    dragTo(cellCenter(view, 5));
    EXPECT_EQ(grid.source.selection, band);
    const QPoint inside = start - QPoint(10, 10);
    EXPECT_NE(grid.grabView().pixel(inside), before.pixel(inside)) << "the band is drawn";
    QTest::mouseRelease(view, Qt::LeftButton, {}, cellCenter(view, 5));
    EXPECT_EQ(grid.grabView().pixel(inside), before.pixel(inside)) << "the band is gone";
    EXPECT_EQ(grid.source.selection, band);

    grid.source.selection = IndexSet(0);
    QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, start);
    dragTo(cellCenter(view, 5));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, cellCenter(view, 5));
    band.add(0);
    EXPECT_EQ(grid.source.selection, band);

    // A drag that begins on a cell draws no band.
    grid.source.selection = IndexSet();
    QTest::mousePress(view, Qt::LeftButton, {}, cellCenter(view, 1));
    dragTo(cellCenter(view, 6));
    QTest::mouseRelease(view, Qt::LeftButton, {}, cellCenter(view, 6));
    EXPECT_EQ(grid.source.selection, IndexSet(1));
}

TEST(PhotoViewMouse, SelectedPicturesAreFramedInTheSelectionBorderColor)
{
    KeyboardGrid grid;
    grid.source.picture = solidPicture(100, 80, Qt::white);
    grid.view->setSelectionBorderColor(Qt::blue);
    grid.source.selection = IndexSet(2);
    const QRectF photo = grid.view->photoRectForIndex(2);
    const QPoint edge(int(photo.left()), int(photo.center().y()));
    EXPECT_EQ(QColor(grid.grabView().pixel(edge)), QColor(Qt::blue));
}

TEST(PhotoViewMouse, DoubleClickReportsEachSelectedItemReadingTheSelectionAgain)
{
    KeyboardGrid grid;
    grid.source.selection = IndexSet(1);
    grid.source.selection.add(4);
    // The host's handler of item 1 changes the selection; the reports follow the new one.
    IndexSet changed(2);
    changed.add(4);
    changed.add(0);
    grid.source.selectionAfterDoubleClick = changed;

    const QPoint point = cellCenter(grid.view, 1);
    QTest::mouseClick(grid.view, Qt::LeftButton, {}, point);
    EXPECT_TRUE(grid.source.doubleClicked.empty());
    QTest::mouseDClick(grid.view, Qt::LeftButton, {}, point);
    QTest::mouseRelease(grid.view, Qt::LeftButton, {}, point);
    EXPECT_EQ(grid.source.doubleClicked, (std::vector<quint32> {1, 2, 4}));
}

TEST(PhotoViewMouse, TripleClickSendsNoFurtherReport)
{
    KeyboardGrid grid;
    const QPoint point = cellCenter(grid.view, 5);
    // As the platform delivers them: the second press comes as a press and a double click.
    sendMouse(grid.view, QEvent::MouseButtonPress, point, 10000);
    sendMouse(grid.view, QEvent::MouseButtonRelease, point, 10050);
    sendMouse(grid.view, QEvent::MouseButtonPress, point, 10150);
    sendMouse(grid.view, QEvent::MouseButtonDblClick, point, 10150);
    sendMouse(grid.view, QEvent::MouseButtonRelease, point, 10200);
    EXPECT_EQ(grid.source.doubleClicked, (std::vector<quint32> {5}));
    sendMouse(grid.view, QEvent::MouseButtonPress, point, 10300);
    sendMouse(grid.view, QEvent::MouseButtonRelease, point, 10350);
    EXPECT_EQ(grid.source.doubleClicked, (std::vector<quint32> {5}));
    // A slow click afterwards is a single click again.
    sendMouse(grid.view, QEvent::MouseButtonPress, point, 20000);
    sendMouse(grid.view, QEvent::MouseButtonRelease, point, 20050);
    EXPECT_EQ(grid.source.doubleClicked.size(), 1u);
}

// A key reaches the navigation rules and the grid scrolls to what they name: End in a grid
// taller than its window brings the last row into view.
TEST(PhotoViewKeyboard, KeysMoveTheSelectionAndScrollToIt)
{
    KeyboardGrid grid;
    EXPECT_EQ(grid.pressFrom(IndexSet(5), Qt::Key_Down), IndexSet(9));
    EXPECT_EQ(grid.pressFrom(IndexSet(3), Qt::Key_A, Qt::ControlModifier), range(0, 9));

    ScrolledGrid tall(600, 200);
    TestSource source;
    source.count = 40;
    tall.showItemsOf(source);
    QTest::keyClick(tall.view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(source.selection, IndexSet(39));
    const QRect visible = tall.view->visibleRegion().boundingRect();
    EXPECT_TRUE(visible.intersects(tall.view->gridRectForIndex(39).toRect()));
    QTest::keyClick(tall.view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(tall.view->visibleRegion().boundingRect().top(), 0);
}

TEST(PhotoViewKeyboard, DeleteAsksTheDelegateOrRemovesTheViewsOwnPictures)
{
    KeyboardGrid grid;
    grid.pressFrom(range(2, 3), Qt::Key_Backspace);
    ASSERT_EQ(grid.source.removalRequests.size(), 1u);
    EXPECT_EQ(grid.source.removalRequests.front(), range(2, 3));
    // The host removes items itself (it answered nothing to remove), so the selection stays.
    EXPECT_EQ(grid.source.selection, range(2, 3));
    grid.pressFrom({}, Qt::Key_Delete);
    EXPECT_EQ(grid.source.removalRequests.size(), 1u);

    ScrolledGrid own(600);
    QList<QImage> pictures;
    for (int i = 0; i < 5; ++i)
        pictures.append(solidPicture(10 + i, 10, Qt::red));
    own.view->setPhotosArray(pictures);
    own.view->setSelectedPhotoIndexes(IndexSet());
    own.view->updateGridAndFrame();
    IndexSet doomed(1);
    doomed.add(3);
    own.view->setSelectionIndexes(doomed);
    QTest::keyClick(own.view, Qt::Key_Delete);
    QList<int> widths;
    for (const QImage &picture : own.view->photosArray())
        widths << picture.width();
    EXPECT_EQ(widths, (QList<int> {10, 12, 14}));
    EXPECT_TRUE(own.view->selectionIndexes().isEmpty());
}

TEST(PhotoViewDrop, EachDroppedFileReachesTheHostOnceInOrder)
{
    TestHost host;
    KeyboardGrid grid;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/pictures/b.jpg"),
        QUrl(QStringLiteral("https://example.com/x.jpg")),
        QUrl::fromLocalFile("/tmp/pictures/a b.png")});

    QDragEnterEvent enter(
        QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);

    QDropEvent drop(
        QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.view, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(host.openedFiles,
        (QStringList {
            QStringLiteral("/tmp/pictures/b.jpg"), QStringLiteral("/tmp/pictures/a b.png")}));
}

TEST(PhotoViewBadges, ASourceThatDoesNotAnswerShowsTheRetrievalFailedBadge)
{
    struct SharedSource : TestSource
    {
        void attribsAtIndex(MUPhotoView *, quint32, bool &isShared, bool &emailShared,
            bool &webShared, bool &retrievalFailed) override
        {
            isShared = true;
            emailShared = webShared = retrievalFailed = false;
        }
    } shared;
    TestSource silent;
    ScrolledGrid grid(300);
    grid.view->setBackgroundColor(Qt::white);
    // The picture is (15, 35, 100, 75): the first badge stands at (130, 94), 16 x 16.
    const QPoint insideBadgeRing(132, 102);
    QList<QRgb> firstBadge;
    for (TestSource *source : {&silent, static_cast<TestSource *>(&shared)}) {
        source->count = 1;
        source->picture = solidPicture(400, 300, Qt::blue);
        grid.view->setDelegate(source);
        grid.view->updateGridAndFrame();
        const QImage shot = grid.grabView();
        firstBadge << shot.pixel(insideBadgeRing);
        // Nothing is drawn where no further flag is set.
        EXPECT_EQ(shot.pixel(insideBadgeRing + QPoint(20, 0)), qRgb(255, 255, 255));
    }
    EXPECT_GT(qRed(firstBadge[0]), 170);
    EXPECT_LT(qGreen(firstBadge[0]), 90);
    EXPECT_LT(qBlue(firstBadge[0]), 90);
    EXPECT_GT(qGreen(firstBadge[1]), qRed(firstBadge[1]) + 40);
}

} // namespace pondrel
