// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruDownloadPicController.h"
#include "publisher/preview/FullPictureViewRules.h"
#include "publisher/preview/LoadingSpinner.h"
#include "publisher/preview/ORPhotoView.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace pondrel;

namespace {

oruItem pictureWithPreview(QSize size)
{
    oruItem item;
    item.setUniqueID("P1");
    item.setName("Harbour");
    item.setPreviewURL("http://127.0.0.1:1/p.jpg");
    QImage preview(size, QImage::Format_RGB32);
    preview.fill(Qt::darkGreen);
    item.setPreviewPic(preview);
    return item;
}

oruItem remotePicture(quint32 permissions, bool retrievalFailed = false)
{
    oruItem item;
    item.setIsRemote(true);
    item.setPermissions(permissions);
    item.setRetrievalAttemptFailed(retrievalFailed);
    return item;
}

} // namespace

TEST(PhotoViewTest, PreviewIsCentredAndNeverEnlarged)
{
    ORPhotoView view;
    view.resize(800, 680); // 60 points for the texts above, 20 below: 800 x 600 usable
    EXPECT_EQ(view.usableBounds(), QRectF(0, 60, 800, 600));

    view.setItem(pictureWithPreview({320, 240}));
    EXPECT_EQ(view.photoReduction(), 1.0);
    EXPECT_EQ(view.photoRectInImageView(), QRectF(240, 240, 320, 240));

    view.setItem(pictureWithPreview({1600, 1200}));
    EXPECT_EQ(view.photoReduction(), 0.5);
    EXPECT_EQ(view.photoRectInImageView(), QRectF(0, 60, 800, 600));

    view.setItem(pictureWithPreview({1001, 333}));
    const QRectF odd = view.photoRectInImageView();
    EXPECT_EQ(odd.size(), QSizeF(800, 266)); // 266.13 rounds half up
    EXPECT_EQ(odd.topLeft(), QPointF(0, 60 + 167));

    // The picture is drawn into that rectangle, white around it.
    view.setItem(pictureWithPreview({320, 240}));
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(400, 360), QColor(Qt::darkGreen));
    EXPECT_EQ(shot.pixelColor(100, 100), QColor(Qt::white));
}

TEST(PhotoViewTest, LoadingShowsOnlyWhileARequestIsInFlight)
{
    ORPhotoView view;
    view.resize(800, 680);
    oruItem waiting = pictureWithPreview({10, 10});
    waiting.setPreviewPic(std::nullopt);
    view.setItem(waiting);
    view.setPreviewPending(true);
    EXPECT_TRUE(view.loadingSpinner()->isAnimating());
    EXPECT_EQ(view.loadingSpinner()->geometry().center(), QRect(0, 0, 800, 680).center());

    QImage preview(50, 40, QImage::Format_RGB32);
    view.setPreviewPic("another", preview);
    EXPECT_TRUE(view.loadingSpinner()->isAnimating());
    view.setPreviewPic("P1", preview);
    EXPECT_FALSE(view.loadingSpinner()->isAnimating());
    EXPECT_EQ(view.item().previewPic()->size(), QSize(50, 40));

    view.setItem(waiting);
    view.setPreviewPending(false); // the request failed
    EXPECT_FALSE(view.loadingSpinner()->isAnimating());
}

TEST(PhotoViewTest, ArrowsStepAndEscapeGoesBack)
{
    ORPhotoView view;
    QSignalSpy next(&view, &ORPhotoView::nextRequested);
    QSignalSpy previous(&view, &ORPhotoView::previousRequested);
    QSignalSpy back(&view, &ORPhotoView::backRequested);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Left);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(next.size(), 2);
    EXPECT_EQ(previous.size(), 1);
    EXPECT_EQ(back.size(), 1);
}

TEST(FullPictureViewRulesTest, ButtonsFollowPermissionsAndDrafts)
{
    using namespace FullPictureViewRules;
    const FullPictureViewButtons allOn {true, true, true, true};
    const FullPictureViewButtons allOff {};

    const auto noDownload = buttonsForItem(remotePicture(16), true, allOn);
    EXPECT_FALSE(noDownload.download);
    EXPECT_TRUE(noDownload.wallpaper);
    EXPECT_FALSE(noDownload.rotateRight || noDownload.rotateLeft);

    const auto downloadOnly = buttonsForItem(remotePicture(4), true, allOff);
    EXPECT_TRUE(downloadOnly.download);
    EXPECT_FALSE(downloadOnly.wallpaper);
    EXPECT_FALSE(buttonsForItem(remotePicture(20, true), true, allOn).wallpaper);

    oruItem draft;
    draft.setIsDraft(true);
    const auto draftWithout = buttonsForItem(draft, false, allOn);
    EXPECT_TRUE(draftWithout.rotateRight && draftWithout.rotateLeft);
    EXPECT_FALSE(draftWithout.download || draftWithout.wallpaper);
    const auto draftWith = buttonsForItem(draft, true, {true, false, false, false});
    EXPECT_TRUE(draftWith.rotateRight && draftWith.rotateLeft);
    EXPECT_TRUE(draftWith.download);
    EXPECT_FALSE(draftWith.wallpaper);
}

TEST(FullPictureViewRulesTest, SteppingWrapsAround)
{
    using namespace FullPictureViewRules;
    EXPECT_EQ(nextPosition(5, 4), 0);
    EXPECT_EQ(nextPosition(5, 1), 2);
    EXPECT_EQ(nextPosition(5, std::nullopt), 0);
    EXPECT_EQ(previousPosition(5, std::nullopt), 4);
    EXPECT_EQ(previousPosition(5, 0), 4);
    EXPECT_EQ(previousPosition(5, 3), 2);
    EXPECT_EQ(nextPosition(0, std::nullopt), std::nullopt);
    EXPECT_EQ(previousPosition(0, std::nullopt), std::nullopt);
}

TEST(DownloadPicControllerTest, ListsRenditionsAndEnablesOkWithASelection)
{
    const QVariantList renditions {
        QVariantMap {{"Name", "Thumbnail"}, {"Url", "u1"}, {"Width", "200"}, {"Height", "150"},
            {"FileSize", "512"}},
        QVariantMap {{"Name", "Preview"}, {"Url", "u2"}, {"Width", "1024"}, {"Height", "768"},
            {"FileSize", "20480"}},
        QVariantMap {{"Name", "Wallpaper"}, {"Width", "1920"}, {"Height", "1200"}},
    };
    oruDownloadPicController dialog(renditions, "Harbour");
    EXPECT_EQ(dialog.windowTitle(), "Download Picture:Harbour");
    EXPECT_EQ(dialog.pictureName(), "Harbour");
    EXPECT_EQ(dialog.assetRenditionList(), renditions);

    auto *table = dialog.findChild<QTableWidget *>("renditionTable");
    auto *ok = dialog.findChild<QPushButton *>("okButton");
    ASSERT_TRUE(table && ok);
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 0)->text(), "Thumbnail");
    EXPECT_EQ(table->item(0, 1)->text(), "200 x 150");
    EXPECT_EQ(table->item(0, 2)->text(), "1.00k");
    EXPECT_EQ(table->item(1, 2)->text(), "20.00k");
    EXPECT_EQ(table->item(2, 2)->text(), "1.00k"); // no size given
    EXPECT_EQ(oruDownloadPicController::cellText(renditions[0].toMap(), "other"), "");

    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(dialog.selectedRendition(), -1);
    table->selectRow(1);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.selectedRendition(), 1);
    table->clearSelection();
    EXPECT_FALSE(ok->isEnabled());

    table->selectRow(0);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    ok->click();
    EXPECT_EQ(accepted.size(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
