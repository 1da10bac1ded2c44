// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/oruItem.h"
#include "publisher/dialogs/oruFolderInfoController.h"
#include "publisher/dialogs/oruPictureInfoController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace pondrel;

namespace {

// The dialog's widget of that outlet name.
template<typename Widget> Widget *outlet(QWidget &dialog, const char *name)
{
    Widget *widget = dialog.findChild<Widget *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

struct RecordedAlert
{
    QStringList shown;
    InfoDialogSupport::Alert alert()
    {
        return [this](const QString &title, const QString &text) { shown << title << text; };
    }
};

oruItem picture(quint32 permissions)
{
    oruItem item;
    item.setName("p.jpg");
    item.setPermissions(permissions);
    return item;
}

TEST(InfoDialogs, ClearedBoxesGivePictureEightAndAlbumZero)
{
    oruPictureInfoController pictureDialog(picture(31));
    for (const char *name : {"allowCommentCheckBox", "allowExportCheckBox",
             "allowDownloadCheckBox", "allowWallPaperDownloadCheckBox"}) {
        QCheckBox *box = outlet<QCheckBox>(pictureDialog, name);
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
    }
    EXPECT_TRUE(outlet<QPlainTextEdit>(pictureDialog, "descField")->isReadOnly());
    QTest::mouseClick(outlet<QPushButton>(pictureDialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(pictureDialog.result(), QDialog::Accepted);
    EXPECT_EQ(pictureDialog.item().permissions(), 8u);

    oruItem album = oruItem::initWithEmptyAlbum();
    album.setName("Trip");
    oruFolderInfoController albumDialog(album, false);
    outlet<QCheckBox>(albumDialog, "allowCommentCheckBox")->setChecked(false);
    outlet<QCheckBox>(albumDialog, "allowExportCheckBox")->setChecked(false);
    QTest::mouseClick(outlet<QPushButton>(albumDialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(albumDialog.item().permissions(), 0u);
    EXPECT_EQ(albumDialog.item().thumbnailOptions(), 1u);
}

TEST(InfoDialogs, EmptyNamesAreRefusedAndTheDialogStaysOpen)
{
    RecordedAlert alerts;
    oruPictureInfoController pictureDialog(picture(8), nullptr, alerts.alert());
    pictureDialog.show();
    outlet<QLineEdit>(pictureDialog, "nameField")->clear();
    QTest::mouseClick(outlet<QPushButton>(pictureDialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(alerts.shown, (QStringList {"Invalid Name.", "The picture name can not be empty."}));
    EXPECT_TRUE(pictureDialog.isVisible());

    oruFolderInfoController creation(oruItem::initWithEmptyAlbum(), true, nullptr, alerts.alert());
    QPushButton *ok = outlet<QPushButton>(creation, "okButton");
    QLineEdit *name = outlet<QLineEdit>(creation, "nameField");
    QComboBox *rating = outlet<QComboBox>(creation, "ratingPopUp");
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(outlet<QComboBox>(creation, "thumbnailOptionsPopUp")->count(), 4)
        << "no \"none\" option for a new album";
    QTest::keyClicks(name, "Trip");
    EXPECT_TRUE(ok->isEnabled());
    name->clear();
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(name, "Holidays");
    rating->setCurrentIndex(rating->findData(3));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(creation.result(), QDialog::Accepted);
    EXPECT_EQ(creation.item().name(), "Holidays");
    EXPECT_EQ(creation.item().rating(), 3u);
    EXPECT_TRUE(creation.item().isFolder());
}

TEST(InfoDialogs, UncheckingCommentsRestoresTheDescription)
{
    oruItem item = picture(1);
    item.setComment("original");
    oruPictureInfoController dialog(item);
    QPlainTextEdit *description = outlet<QPlainTextEdit>(dialog, "descField");
    description->setPlainText("edited");
    outlet<QCheckBox>(dialog, "allowCommentCheckBox")->setChecked(false);
    EXPECT_EQ(description->toPlainText(), "original");
    EXPECT_TRUE(description->isReadOnly());
}

} // namespace
